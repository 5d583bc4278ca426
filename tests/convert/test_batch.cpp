#include "convert/batchconversion.h"
#include "convert/outputformats.h"
#include "convert/preflight.h"

#include "fileops/fileops.h"

#include "convertfixture.h"

#include <QImageWriter>

#include <algorithm>
#include <cerrno>
#include <map>
#include <numeric>
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
    void TearDown() override
    {
        fileops::testing::setFailureHook({});
        convert::testing::setDeletionCheckHook({});
    }

    // Writes a plain picture of the type its name says (PNG for a name of no type).
    QString make(const QString& name, QColor colour = QColor(200, 30, 30), int width = 48)
    {
        QImage picture(width, width * 3 / 4, QImage::Format_RGB32);
        picture.fill(colour);
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).absolutePath());
        const std::map<SourceType, const char*> formats{
            {SourceType::Bmp, "BMP"},  {SourceType::Gif, "GIF"},   {SourceType::Ico, "ICO"},
            {SourceType::Jpg, "JPEG"}, {SourceType::Jpeg, "JPEG"}, {SourceType::None, "PNG"},
            {SourceType::Png, "PNG"}};
        EXPECT_TRUE(writePicture(picture, file, formats.at(sourceTypeOf(name))));
        return file;
    }
};

} // namespace

TEST_F(BatchTest, MatrixConvertsEveryOtherTypeAndSkipsTheRest)
{
    const QStringList names{u"a.bmp"_s, u"b.png"_s, u"c.jpg"_s, u"d.JPEG"_s,
                            u"e.gif"_s, u"f.ico"_s, u"g.tif"_s};
    // Per target: the outputs expected, in work-list order ("" for a skipped entry).
    const std::map<int, QStringList> expected{
        {0, {u""_s, u"b.BMP"_s, u"c.BMP"_s, u"d.BMP"_s, u"e.BMP"_s, u"f.BMP"_s, u""_s}},
        {1, {u"a.GIF"_s, u"b.GIF"_s, u"c.GIF"_s, u"d.GIF"_s, u""_s, u"f.GIF"_s, u""_s}},
        {2, {u"a.JPG"_s, u"b.JPG"_s, u""_s, u""_s, u"e.JPG"_s, u"f.JPG"_s, u""_s}},
        {3, {u"a.PNG"_s, u""_s, u"c.PNG"_s, u"d.PNG"_s, u"e.PNG"_s, u"f.PNG"_s, u""_s}},
    };
    for (const auto& [position, outputs] : expected) {
        const OutputFormat& target = *outputFormatAt(position);
        SCOPED_TRACE(target.entryPointName.data());
        const QString folder = u"t%1/"_s.arg(position);
        const QDir run(path(folder));
        QStringList sources;
        for (const QString& name : names)
            sources.append(make(folder + name));
        BatchSettings settings;
        settings.supOriginal = 1;
        const std::vector<BatchResult> results = runBatch(registry, sources, target, settings);
        ASSERT_EQ(results.size(), std::size_t(names.size()));
        QStringList written = names;
        for (int i = 0; i < names.size(); ++i) {
            const BatchResult& result = results[std::size_t(i)];
            EXPECT_EQ(result.source, sources[i]);
            if (outputs[i].isEmpty()) {
                EXPECT_EQ(result.outcome, Outcome::Skipped) << i;
                EXPECT_TRUE(QFile::exists(sources[i])) << "skipped entries are kept";
            } else {
                EXPECT_EQ(result.outcome, Outcome::Converted) << i;
                EXPECT_EQ(result.output, run.filePath(outputs[i]));
                EXPECT_TRUE(result.originalDeleted);
                EXPECT_FALSE(QImage(result.output).isNull());
                written[i] = outputs[i];
            }
        }
        written.sort();
        EXPECT_EQ(entries(run.path()), written);
    }
}

TEST_F(BatchTest, TiffAndWebpTakeTheirWholeExtensionOnlyWhenAsked)
{
    const QColor colour(40, 120, 220);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(colour);
    const QStringList names{u"a.png"_s, u"b.webp"_s, u"c.TIFF"_s, u"d.tif"_s};
    QStringList sources;
    for (const auto& [name, format] :
         {std::pair{names[0], "png"}, {names[1], "webp"}, {names[2], "tiff"}, {names[3], "tiff"}}) {
        sources.append(path(name));
        QImageWriter writer(sources.last(), format);
        writer.setQuality(100);
        ASSERT_TRUE(writer.write(picture)) << format;
    }
    struct Row
    {
        int position;
        bool tiffWebp;
        QStringList outputs; // "" for a skipped entry
    };
    const std::vector<Row> rows{
        {4, true, {u"a.TIF"_s, u"b.TIF"_s, u""_s, u""_s}},
        {5, true, {u"a.WEBP"_s, u""_s, u"c.WEBP"_s, u"d.WEBP"_s}},
        {3, true, {u""_s, u"b.PNG"_s, u"c.PNG"_s, u"d.PNG"_s}},
        {3, false, {u""_s, u""_s, u""_s, u""_s}},
    };
    for (const Row& row : rows) {
        const OutputFormat& target = *outputFormatAt(row.position);
        SCOPED_TRACE(::testing::Message() << target.entryPointName.data() << row.tiffWebp);
        BatchSettings settings;
        settings.convDest = true;
        settings.repertConv = path(u"out%1%2"_s.arg(row.position).arg(row.tiffWebp));
        QDir().mkpath(settings.repertConv);
        settings.tiffWebp = row.tiffWebp;
        const std::vector<BatchResult> results = runBatch(registry, sources, target, settings);
        QStringList written;
        for (int i = 0; i < names.size(); ++i) {
            const BatchResult& result = results[std::size_t(i)];
            if (row.outputs[i].isEmpty()) {
                EXPECT_EQ(result.outcome, Outcome::Skipped) << i;
                continue;
            }
            EXPECT_EQ(result.outcome, Outcome::Converted) << i;
            EXPECT_EQ(result.output, settings.repertConv + u'/' + row.outputs[i]);
            const QImage back(result.output);
            ASSERT_EQ(back.size(), picture.size());
            const QRgb centre = back.pixel(20, 15);
            EXPECT_LE(qAbs(qRed(centre) - colour.red()) + qAbs(qBlue(centre) - colour.blue()), 8);
            written.append(row.outputs[i]);
        }
        written.sort();
        EXPECT_EQ(entries(settings.repertConv), written);
    }
}

TEST_F(BatchTest, MaxSizeScalesDownIntoTheUprightBoxAndNeverUp)
{
    // Stored 400 x 200 and turned a quarter: 200 x 400 upright.
    const QString turned = path(u"turned.jpg"_s);
    QImageWriter writer(turned, "jpeg");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    ASSERT_TRUE(writer.write(testimages::quadrants(400, 200)));
    const QStringList sources{turned, make(u"wide.bmp"_s, Qt::red, 300), make(u"small.png"_s)};
    BatchSettings settings;
    settings.maxSize = QSize(100, 100);
    const std::vector<BatchResult> results =
        runBatch(registry, sources, *outputFormatForCode(formatCodeGif), settings);
    const std::vector<QSize> sizes{QSize(50, 100), QSize(100, 75), QSize(48, 36)};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        ASSERT_EQ(results[i].outcome, Outcome::Converted) << i;
        EXPECT_EQ(QImage(results[i].output).size(), sizes[i]) << i;
    }
    // Blue, the stored bottom-left quadrant, comes up at the top left.
    const QRgb topLeft = QImage(results[0].output).pixel(10, 20);
    EXPECT_GT(qBlue(topLeft), 150);
    EXPECT_LT(qRed(topLeft), 100);
}

TEST_F(BatchTest, OutputFolderFromTheSettings)
{
    struct Row
    {
        QString source;
        bool convDest;
        QString repertConv;
        QString output;
    };
    const OutputFormat& gif = *outputFormatAt(1);
    const OutputFormat& png = *outputFormatAt(3);
    const std::vector<Row> rows{
        {u"/img/photo.JPEG"_s, false, u"/out"_s, u"/img/photo.GIF"_s},
        {u"/img/photo.jpeg"_s, true, u"/out"_s, u"/out/photo.GIF"_s},
        {u"/img/photo.png"_s, true, u"/out/"_s, u"/out/photo.GIF"_s},
        {u"/img/x.y.Ico"_s, true, u"/"_s, u"/x.y.GIF"_s},
    };
    for (const Row& row : rows) {
        BatchSettings settings;
        settings.convDest = row.convDest;
        settings.repertConv = row.repertConv;
        const SourceType type = sourceTypeOf(row.source);
        EXPECT_EQ(batchOutputPath(row.source, type, gif, settings), row.output);
    }
    BatchSettings next;
    EXPECT_EQ(batchOutputPath(u"/img/photo.jpeg"_s, SourceType::Jpeg, png, next),
              u"/img/photo.PNG"_s);
}

TEST_F(BatchTest, TwoEntriesWithOneOutputConvertOnlyTheFirst)
{
    BatchSettings settings;
    settings.convDest = true;
    settings.repertConv = path(u"out"_s);
    settings.supOriginal = 1;
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"out"_s));
    const QStringList sources{
        make(u"card1/IMG_0001.PNG"_s, Qt::red), make(u"card2/IMG_0001.PNG"_s, Qt::blue),
        make(u"card1/a.png"_s, Qt::green),      make(u"card1/a.gif"_s, Qt::yellow),
        make(u"card1/A.bmp"_s, Qt::cyan), // another name where case matters
    };
    const std::vector<BatchResult> results =
        runBatch(registry, sources, *outputFormatAt(2), settings);
    const std::vector<Outcome> outcomes{Outcome::Converted, Outcome::Failed, Outcome::Converted,
                                        Outcome::Failed, Outcome::Converted};
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(results[i].outcome, outcomes[i]) << i;
        if (outcomes[i] == Outcome::Failed) {
            EXPECT_EQ(results[i].status, Status::DestinationTaken);
            EXPECT_FALSE(results[i].originalDeleted);
            EXPECT_TRUE(QFile::exists(sources[int(i)]));
        }
    }
    EXPECT_EQ(entries(path(u"out"_s)), QStringList({u"A.JPG"_s, u"IMG_0001.JPG"_s, u"a.JPG"_s}));
    // The first entry's picture, not the later one's.
    EXPECT_GT(qRed(QImage(path(u"out/IMG_0001.JPG"_s)).pixel(5, 5)), 200);
    EXPECT_GT(qGreen(QImage(path(u"out/a.JPG"_s)).pixel(5, 5)), 100);
}

TEST_F(BatchTest, ResultsFollowTheWorkListUnderParallelConversion)
{
    // Big pictures first, failures between them: workers finish out of order.
    QStringList sources;
    std::vector<Outcome> expected;
    for (int i = 0; i < 14; ++i) {
        const QString name = u"f%1.bmp"_s.arg(i, 2, 10, QChar(u'0'));
        if (i % 4 == 3) {
            ASSERT_TRUE(testimages::writeBytes(path(name), "BM broken"));
            sources.append(path(name));
            expected.push_back(Outcome::Failed);
        } else {
            sources.append(make(name, QColor(i * 15, 0, 0), i < 3 ? 1200 : 16));
            expected.push_back(Outcome::Converted);
        }
    }
    BatchSettings settings;
    settings.threads = 4;
    settings.supOriginal = 1;
    settings.memoryBudget = 1; // every picture is over it: one at a time, and each still runs
    std::vector<int> order;
    const std::vector<BatchResult> results = runBatch(
        registry, sources, *outputFormatAt(3), settings, [&](int index, const BatchResult& result) {
            order.push_back(index);
            EXPECT_EQ(result.source, sources[index]);
            // Deletion happened before the report, in list order.
            EXPECT_EQ(QFile::exists(sources[index]), result.outcome != Outcome::Converted);
        });
    std::vector<int> wanted(sources.size());
    std::iota(wanted.begin(), wanted.end(), 0);
    EXPECT_EQ(order, wanted);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(results[i].outcome, expected[i]) << i;
        if (expected[i] == Outcome::Failed) {
            EXPECT_EQ(results[i].status, Status::SourceNotDecodable);
        }
    }
}

TEST_F(BatchTest, CancelStopsAfterTheFilesInProgress)
{
    QStringList sources;
    for (int i = 0; i < 16; ++i)
        sources.append(make(u"p%1.png"_s.arg(i), Qt::red, 1200));
    BatchSettings settings;
    settings.threads = 2;
    settings.supOriginal = 1;
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
        if (!done) {
            EXPECT_EQ(results[i].outcome, Outcome::Cancelled) << i;
        }
        EXPECT_EQ(QFile::exists(results[i].output), done) << i;
        EXPECT_EQ(QFile::exists(results[i].source), !done) << i;
    }
    EXPECT_GE(converted, 1u);
    EXPECT_LT(converted, results.size());

    // Cancelled before the start: nothing is touched.
    const QStringList kept{make(u"k1.png"_s), make(u"k2.png"_s)};
    const std::vector<BatchResult> none =
        runBatch(registry, kept, *outputFormatAt(2), settings, {}, &cancel);
    for (const BatchResult& result : none) {
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_FALSE(QFile::exists(result.output));
    }
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
    BatchSettings settings;
    settings.supOriginal = 1;
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
        EXPECT_FALSE(results[i].clean()) << i;
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
    for (const BatchResult& result : results)
        EXPECT_EQ(result.outcome, Outcome::Converted);

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
    const QStringList sources{make(u"a.png"_s), path(u"fifo.png"_s), make(u"d.png"_s),
                              make(u"ro/r.png"_s), path(u"gone.png"_s)};
    ASSERT_EQ(::mkfifo(QFile::encodeName(sources[1]).constData(), 0600), 0);
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(path(u"d.GIF"_s)).constData()), 0);
    convert::testing::setDeletionCheckHook(
        [](const QString& folder) { return folder.endsWith(u"/ro/"_s) ? EROFS : 0; });
    BatchSettings settings;
    settings.supOriginal = 1;
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
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(checked[i].conflicts, expected[i]) << i;
    EXPECT_EQ(conflictCount(checked), 4);
    EXPECT_EQ(conflictLine(checked[1]), sources[1] + u" : "_s + notRegular);

    // A dangling link is an output that exists, to skip as well.
    cli.existing = ExistingOutput::Skip;
    EXPECT_TRUE(preflightBatch(sources, *outputFormatAt(1), settings, cli)[2].skipExisting);

    // The window replaces outputs and reports missing sources and kept originals per file.
    PreflightRules window;
    window.missingSourceIsConflict = false;
    checked = preflightBatch(sources, *outputFormatAt(1), settings, window);
    EXPECT_EQ(conflictCount(checked), 1);
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

// Originals to the Trash: one goes there; where the Trash cannot take one (its folder would be
// under a regular file), it is kept and the entry says why, unless the fallback deletes it.
TEST_F(BatchTest, OriginalsGoToTheTrashOrAreKept)
{
    const QByteArray home = qgetenv("HOME");
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("HOME", QFile::encodeName(path(u"home"_s)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(path(u"home/data"_s)));
    QDir().mkpath(path(u"home/data"_s));
    BatchSettings settings;
    settings.supOriginal = 1;
    settings.removal.toTrash = true;
    const OutputFormat& bmp = *outputFormatForCode(formatCodeBmp);
    const std::vector<BatchResult> trashed = runBatch(registry, {make(u"a.png"_s)}, bmp, settings);
    EXPECT_TRUE(trashed[0].clean());
    EXPECT_FALSE(QFile::exists(path(u"a.png"_s)));
    EXPECT_TRUE(QFile::exists(path(u"home/data/Trash/files/a.png"_s)));

    ASSERT_TRUE(testimages::writeBytes(path(u"blocker"_s), "a file, not a folder"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(path(u"blocker/data"_s)));
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
