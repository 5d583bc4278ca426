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

#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(BatchNoReplaceTest, AnOutputThatExistsIsNeverReplaced)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    for (const char* name : {"a.png", "b.png"})
        ASSERT_TRUE(testimages::write(testimages::quadrants(16, 16), folder + name, "PNG"));
    ASSERT_TRUE(testimages::writeBytes(folder + "a.BMP", "already here"));
    // Staging files: one of a killed run of this machine (its process is gone), one of a
    // run still going (this process), and a user's file that only looks like one.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString own = convert::stagingPath(folder + "x.BMP");
    const QString ownName = own.mid(own.lastIndexOf('/') + 1);
    const QString stale = folder + QString(ownName).replace(QString("-%1-").arg(::getpid()),
                                                            QString("-%1-").arg(gone));
    for (const QString& file : QStringList{own, stale, folder + ".morvane-notes"})
        ASSERT_TRUE(testimages::writeBytes(file, "x"));

    const convert::CodecRegistry registry = convert::CodecRegistry::system();
    convert::BatchSettings settings;
    settings.replaceExisting = false;
    settings.supOriginal = 1;
    const auto results =
        convert::runBatch(registry, {folder + "a.png", folder + "b.png"},
                          *convert::outputFormatForCode(convert::formatCodeBmp), settings);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].outcome, convert::BatchResult::Outcome::Failed);
    EXPECT_EQ(results[0].status, convert::Status::DestinationExists);
    EXPECT_FALSE(results[0].originalDeleted);
    EXPECT_EQ(results[1].outcome, convert::BatchResult::Outcome::Converted);

    QFile kept(folder + "a.BMP");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("already here"));
    // Nothing left under a temporary name but what was not the killed run's; b's original
    // went once its output was in place.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{ownName, ".morvane-notes", "a.BMP", "a.png", "b.BMP"}));
}

} // namespace
