// The batch engine's no-replace mode, which `morvane-batch convert --existing refuse|skip`
// relies on for an output that appears after its check.

#include "convert/batchconversion.h"
#include "convert/codecregistry.h"
#include "convert/outputformats.h"

#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(BatchNoReplaceTest, AnOutputThatExistsIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(
        testimages::write(testimages::quadrants(16, 16), folder + QStringLiteral("a.png"), "PNG"));
    ASSERT_TRUE(
        testimages::write(testimages::quadrants(16, 16), folder + QStringLiteral("b.png"), "PNG"));
    ASSERT_TRUE(testimages::writeBytes(folder + QStringLiteral("a.BMP"), "already here"));

    const convert::CodecRegistry registry = convert::CodecRegistry::system();
    convert::BatchSettings settings;
    settings.replaceExisting = false;
    settings.supOriginal = 1;
    const auto results = convert::runBatch(
        registry, {folder + QStringLiteral("a.png"), folder + QStringLiteral("b.png")},
        *convert::outputFormatForCode(convert::formatCodeBmp), settings);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, convert::BatchResult::Outcome::Failed);
    EXPECT_EQ(results[0].status, convert::Status::DestinationExists);
    EXPECT_FALSE(results[0].originalDeleted);
    EXPECT_EQ(results[1].outcome, convert::BatchResult::Outcome::Converted);

    QFile kept(folder + QStringLiteral("a.BMP"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("already here"));
    // Nothing left under a temporary name; b's original went once its output was in place.
    EXPECT_EQ(
        QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
        (QStringList{QStringLiteral("a.BMP"), QStringLiteral("a.png"), QStringLiteral("b.BMP")}));
}

} // namespace
