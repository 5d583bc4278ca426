#include "convert/batchconversion.h"
#include "convert/outputformats.h"
#include "convert/preflight.h"

#include "fileops/fileops.h"

#include "convertfixture.h"

#include <algorithm>
#include <cerrno>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace convert;
using namespace converttest;
using namespace Qt::StringLiterals;
using Outcome = BatchResult::Outcome;

namespace {

class BatchTest : public ConvertTest
{
protected:
    BatchTest() { settings.supOriginal = 1; }
    void TearDown() override
    {
        fileops::testing::setFailureHook({});
        convert::testing::setDeletionCheckHook({});
    }

    // Writes a plain picture; its name, not its content, decides what the batch does with it.
    QString make(const QString& name, QColor colour = QColor(200, 30, 30), int width = 48)
    {
        QImage picture(width, width * 3 / 4, QImage::Format_RGB32);
        picture.fill(colour);
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        EXPECT_TRUE(testimages::write(picture, file, "PNG"));
        return file;
    }

    BatchSettings settings; // originals deleted unless a test says otherwise
};

} // namespace

TEST_F(BatchTest, EachTargetConvertsTheOtherTypesAndSkipsTheRest)
{
    const QStringList names{u"a.bmp"_s, u"b.png"_s, u"c.jpg"_s,  u"d.JPEG"_s, u"e.gif"_s,
                            u"f.ico"_s, u"g.tif"_s, u"h.TIFF"_s, u"i.webp"_s};
    // Format position, TIFF and WebP sources, each entry's output type ("-": skipped).
    const std::vector<std::tuple<int, bool, const char*>> rows{
        {0, false, "- BMP BMP BMP BMP BMP - - -"},
        {1, false, "GIF GIF GIF GIF - GIF - - -"},
        {2, false, "JPG JPG - - JPG JPG - - -"},
        {3, false, "PNG - PNG PNG PNG PNG - - -"},
        {3, true, "PNG - PNG PNG PNG PNG PNG PNG PNG"},
        {4, true, "TIF TIF TIF TIF TIF TIF - - TIF"},
        {5, true, "WEBP WEBP WEBP WEBP WEBP WEBP WEBP WEBP -"},
    };
    for (const auto& [position, tiffWebp, row] : rows) {
        SCOPED_TRACE(row);
        const QString folder = u"t%1%2/"_s.arg(position).arg(tiffWebp);
        QStringList sources;
        for (const QString& name : names)
            sources.append(make(folder + name));
        settings.tiffWebp = tiffWebp;
        const std::vector<BatchResult> results =
            runBatch(registry, sources, *outputFormatAt(position), settings);
        ASSERT_EQ(results.size(), std::size_t(names.size()));
        const QStringList types = QString::fromLatin1(row).split(u' ');
        QStringList left; // skipped entries are kept, converted ones deleted
        for (int i = 0; i < names.size(); ++i) {
            const BatchResult& result = results[std::size_t(i)];
            const bool skipped = types[i] == u"-"_s;
            EXPECT_EQ(result.outcome, skipped ? Outcome::Skipped : Outcome::Converted) << i;
            left.append(skipped ? names[i] : names[i].left(2) + types[i]);
            if (!skipped) {
                EXPECT_EQ(result.output, path(folder + left.last()));
                EXPECT_FALSE(QImage(result.output).isNull());
            }
        }
        left.sort();
        EXPECT_EQ(entries(path(folder)), left);
    }
}

// Turned pictures fit the box upright: see ConversionTest.MetadataIsKeptUprightWithoutThumbnail...
TEST_F(BatchTest, MaxSizeScalesDownAndNeverUp)
{
    const QStringList sources{make(u"wide.bmp"_s, Qt::red, 300), make(u"small.png"_s)};
    settings.maxSize = QSize(100, 100);
    const std::vector<BatchResult> results =
        runBatch(registry, sources, *outputFormatAt(1), settings);
    EXPECT_EQ(QImage(results[0].output).size(), QSize(100, 75));
    EXPECT_EQ(QImage(results[1].output).size(), QSize(48, 36));
}

TEST_F(BatchTest, ResultsFollowTheWorkListUnderParallelConversion)
{
    // Big pictures first, failures between them: workers finish out of order.
    QStringList sources;
    const auto broken = [](int i) { return i % 4 == 3; };
    for (int i = 0; i < 14; ++i) {
        const QString name = u"f%1.bmp"_s.arg(i, 2, 10, QChar(u'0'));
        sources.append(broken(i) ? path(name)
                                 : make(name, QColor(i * 15, 0, 0), i < 3 ? 1200 : 16));
        ASSERT_TRUE(!broken(i) || testimages::writeBytes(path(name), "BM broken"));
    }
    settings.threads = 4;
    settings.memoryBudget = 1; // every picture is over it: one at a time, and each still runs
    int reported = 0;
    const std::vector<BatchResult> results = runBatch(
        registry, sources, *outputFormatAt(3), settings, [&](int index, const BatchResult& result) {
            // Reported in list order, each original deleted before its report.
            EXPECT_EQ(index, reported++);
            EXPECT_EQ(QFile::exists(sources[index]), result.outcome != Outcome::Converted);
        });
    EXPECT_EQ(reported, sources.size());
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(results[std::size_t(i)].outcome, broken(i) ? Outcome::Failed : Outcome::Converted)
            << i;
}

TEST_F(BatchTest, CancelStopsAfterTheFilesInProgress)
{
    QStringList sources;
    for (int i = 0; i < 16; ++i)
        sources.append(make(u"p%1.png"_s.arg(i), Qt::red, 1200));
    settings.threads = 2;
    std::atomic<bool> cancel{false};
    const std::vector<BatchResult> results = runBatch(
        registry, sources, *outputFormatAt(2), settings,
        [&](int, const BatchResult&) { cancel = true; }, &cancel);
    // Workers race the flag, so which entries were under way when it was set varies; each
    // entry is either wholly done or wholly untouched.
    std::size_t converted = 0;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const bool done = results[i].outcome == Outcome::Converted;
        converted += done ? 1 : 0;
        EXPECT_TRUE(done || results[i].outcome == Outcome::Cancelled) << i;
        EXPECT_EQ(QFile::exists(results[i].output), done) << i;
        EXPECT_EQ(QFile::exists(results[i].source), !done) << i;
    }
    EXPECT_GE(converted, 1u);
    EXPECT_LT(converted, results.size());
}

TEST_F(BatchTest, OriginalIsDeletedOnlyWhileItIsTheFileThatWasRead)
{
    // 0 saved anew in place, 1 replaced by another file, 2 a link (deleted as a link),
    // 3 untouched but its deletion fails, 4 untouched.
    const QStringList sources{make(u"edited.png"_s), make(u"replaced.png"_s), path(u"link.png"_s),
                              make(u"refused.png"_s), make(u"plain.png"_s)};
    const QString target = make(u"target.dat.png"_s);
    ASSERT_EQ(::symlink("target.dat.png", QFile::encodeName(sources[2]).constData()), 0);
    fileops::testing::setFailureHook([&](fileops::testing::Call call, const QString& file) {
        return call == fileops::testing::Call::Unlink && file == sources[3] ? EIO : 0;
    });
    settings.afterConversion = [&](int index) {
        if (index == 0) {
            make(u"edited.png"_s, Qt::blue, 64);
        } else if (index == 1) {
            EXPECT_EQ(::rename(QFile::encodeName(make(u"other.dat"_s)).constData(),
                               QFile::encodeName(sources[1]).constData()),
                      0);
        }
    };
    const std::vector<BatchResult> results =
        runBatch(registry, sources, *outputFormatAt(0), settings);
    for (int i : {0, 1}) {
        EXPECT_TRUE(results[i].originalChanged) << i;
        EXPECT_TRUE(QFile::exists(sources[i])) << i;
    }
    EXPECT_TRUE(results[2].originalDeleted);
    EXPECT_FALSE(QFileInfo(sources[2]).isSymLink());
    EXPECT_TRUE(QFile::exists(target));
    ASSERT_TRUE(results[3].deletionFailure.has_value());
    EXPECT_EQ(results[3].deletionFailure->error, EIO);
    EXPECT_FALSE(results[3].originalChanged);
    EXPECT_TRUE(results[4].clean());
    EXPECT_FALSE(QFile::exists(sources[4]));

    // Only supOriginal 1 deletes.
    for (const long long sup : {0LL, 2LL, -1LL}) {
        settings.supOriginal = sup;
        EXPECT_FALSE(
            runBatch(registry, {sources[0]}, *outputFormatAt(2), settings)[0].originalDeleted);
        EXPECT_TRUE(QFile::exists(sources[0])) << sup;
    }
    EXPECT_EQ(originalChangedText(), u"modifié pendant la conversion : l'original est conservé"_s);
}

TEST_F(BatchTest, MemoryBudgetHoldsBackWhatWouldExceedIt)
{
    MemoryBudget budget(100);
    EXPECT_TRUE(budget.tryTake(60));
    EXPECT_FALSE(budget.tryTake(60));
    EXPECT_TRUE(budget.tryTake(40));
    budget.give(60);
    budget.give(40);
    EXPECT_TRUE(budget.tryTake(500)); // alone, a picture over the budget still runs
    EXPECT_FALSE(budget.tryTake(1));
    const QString big = make(u"big.png"_s, Qt::red, 400); // the file, read whole, and its pixels
    EXPECT_EQ(decodeCostEstimate(big), QFileInfo(big).size() + 400 * 300 * 4);
    EXPECT_EQ(decodeCostEstimate(path(u"none.png"_s)), 0);
    EXPECT_GT(defaultMemoryBudget(), 0);
    EXPECT_LE(defaultMemoryBudget(), qint64(2) << 30);
}

TEST_F(BatchTest, PreflightFindsEveryConflictBeforeTheRun)
{
    // b.jpg writes b.png's output; B.bmp does not, where case matters.
    const QStringList sources{make(u"a.png"_s),    path(u"fifo.png"_s), make(u"d.png"_s),
                              make(u"ro/r.png"_s), path(u"gone.png"_s), dir.path() + u"/./a.png"_s,
                              make(u"b.png"_s),    make(u"b.jpg"_s),    make(u"B.bmp"_s)};
    ASSERT_EQ(::mkfifo(QFile::encodeName(sources[1]).constData(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(path(u"d.GIF"_s)).constData()), 0);
    convert::testing::setDeletionCheckHook(
        [](const QString& folder) { return folder.endsWith(u"/ro/"_s) ? EROFS : 0; });
    PreflightRules cli;
    cli.existing = ExistingOutput::Refuse;
    cli.originalsMustBeDeletable = true;
    std::vector<PreflightEntry> checked =
        preflightBatch(sources, *outputFormatAt(1), settings, cli);
    const QString notRegular = u"ce n'est pas un fichier ordinaire"_s;
    const std::vector<QStringList> expected{
        {},
        {notRegular},
        {u"Le fichier %1 existe déjà (--existing refuse)."_s.arg(path(u"d.GIF"_s))},
        {u"L'original ne peut pas être supprimé de %1 (%2)."_s.arg(
            path(u"ro/"_s), fileops::systemDescription(EROFS))},
        {u"Fichier introuvable (%1)."_s.arg(fileops::systemDescription(ENOENT))},
        {u"Fichier donné deux fois (déjà en position 1 : %1)."_s.arg(sources[0]),
         u"Un autre fichier de la liste écrit déjà cette sortie."_s},
        {},
        {u"Même fichier de sortie que %1."_s.arg(sources[6])},
        {},
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(checked[i].conflicts, expected[i]) << i;
    EXPECT_EQ(conflictCount(checked), 6);

    // A dangling link is an output that exists, to skip as well.
    cli.existing = ExistingOutput::Skip;
    EXPECT_TRUE(preflightBatch(sources, *outputFormatAt(1), settings, cli)[2].skipExisting);

    // The window replaces outputs and reports missing sources and kept originals per file.
    PreflightRules window;
    window.missingSourceIsConflict = false;
    checked = preflightBatch(sources, *outputFormatAt(1), settings, window);
    EXPECT_EQ(conflictCount(checked), 3);
    EXPECT_EQ(checked[1].conflicts, QStringList{notRegular});

    // An output folder whose path leaves no room for the name; built one level at a time,
    // since the system refuses a path that long at once.
    QString deep = dir.path();
    int fd = ::open(QFile::encodeName(deep).constData(), O_DIRECTORY | O_RDONLY);
    while (deep.size() < 4090) {
        const QByteArray level(std::min<qsizetype>(200, 4090 - deep.size() - 1), 'd');
        ASSERT_EQ(::mkdirat(fd, level.constData(), 0755), 0);
        const int next = ::openat(fd, level.constData(), O_DIRECTORY | O_RDONLY);
        ::close(fd);
        fd = next;
        deep += u'/' + QString::fromLatin1(level);
    }
    ::close(fd);
    settings.convDest = true;
    settings.repertConv = deep;
    checked = preflightBatch({sources[0]}, *outputFormatAt(1), settings, window);
    EXPECT_EQ(checked[0].conflicts,
              QStringList{u"Chemin de sortie trop long : %1/a.GIF"_s.arg(deep)});
}

// Where the Trash cannot take an original (its folder would be under a regular file), the
// original is kept and the entry says why, unless the fallback deletes it. A trashed original:
// see ConvertCliTest.OutputFolderAndOriginalsDeletedOrTrashed.
TEST_F(BatchTest, OriginalTheTrashCannotTakeIsKeptOrLeftToTheFallback)
{
    const QByteArray home = qgetenv("HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    ASSERT_TRUE(testimages::writeBytes(path(u"blocker"_s), "a file, not a folder"));
    QDir().mkpath(path(u"home"_s)); // on the files' volume, so its Trash is the one
    qputenv("HOME", QFile::encodeName(path(u"home"_s)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(path(u"blocker/data"_s)));
    settings.removal.toTrash = true;
    const OutputFormat& bmp = *outputFormatForCode(formatCodeBmp);
    std::vector<BatchResult> kept = runBatch(registry, {make(u"b.png"_s)}, bmp, settings);
    EXPECT_FALSE(kept[0].clean());
    EXPECT_FALSE(kept[0].trashFailure.isEmpty());
    EXPECT_TRUE(QFile::exists(path(u"b.png"_s)));
    settings.trashFallback = [](const QString&, const QString&) { return true; };
    kept = runBatch(registry, {make(u"c.png"_s)}, bmp, settings);
    EXPECT_TRUE(kept[0].clean());
    EXPECT_FALSE(QFile::exists(path(u"c.png"_s)));
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", data);
}
