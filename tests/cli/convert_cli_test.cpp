#include "clirunner.h"

#include "testimages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>

using namespace clirunner;

namespace {

class ConvertCliTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString folder() const { return m_dir.path(); }

    // Writes each picture in the format its name ends with.
    void pictures(const QStringList& names, int size = 24)
    {
        for (const QString& name : names)
            ASSERT_TRUE(testimages::write(testimages::quadrants(size, size), path(name), ""));
    }
    QByteArray formatOf(const QString& name) const { return QImageReader::imageFormat(path(name)); }
    QByteArray read(const QString& name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::pair<qint64, qint64> modified(const QString& name) const
    {
        struct stat st;
        ::stat(QFile::encodeName(path(name)).constData(), &st);
        return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
    }
    Result convert(QStringList arguments, const QStringList& files, Options options = {})
    {
        options.workingDirectory = folder();
        arguments.prepend("convert");
        return run(arguments + files, options);
    }
    // The value of `key` on each JSON line of the output.
    static QStringList field(const Result& run, const QString& key)
    {
        QStringList list;
        for (const QJsonObject& line : run.json())
            list.append(line.value(key).toString());
        return list;
    }
    static QStringList results(const Result& run) { return field(run, "result"); }
    static QString message(const Result& r, int line) { return field(r, "message").value(line); }

    QTemporaryDir m_dir;
};

TEST_F(ConvertCliTest, TiffAndWebpSourcesConvertAndTheTargetsOwnTypeIsSkipped)
{
    pictures({"a.png", "b.webp", "c.tif"});
    ASSERT_TRUE(touch(path("notes.txt")));
    const Result result =
        convert({"--to", "tiff", "--json"}, {"a.png", "b.webp", "c.tif", "notes.txt"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(results(result), QStringList({"ok", "ok", "skipped", "skipped"}));
    EXPECT_EQ(formatOf("b.TIF"), "tiff");
    EXPECT_EQ(field(result, "message").mid(2),
              QStringList({"Ignoré : déjà dans le format demandé.",
                           "Ignoré : type de fichier non converti."}));
    EXPECT_EQ(names(folder()),
              QStringList({"a.TIF", "a.png", "b.TIF", "b.webp", "c.tif", "notes.txt"}));
}

TEST_F(ConvertCliTest, MetadataKeptOrStrippedDatesKeptAndUnreadableMetadataWarned)
{
    const QString photo = path("photo.jpg");
    ASSERT_TRUE(QFile::copy(MORVANE_TEST_DATA "/camera.jpg", photo));
    const timespec taken{1'200'000'000, 123'456'789};
    const timespec times[2] = {{0, UTIME_OMIT}, taken};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(photo).constData(), times, 0), 0);
    // A colour-profile block that says it is longer than it is: the metadata library refuses
    // the file's metadata, the picture itself decodes.
    pictures({"bad.jpg"});
    QByteArray bytes = read("bad.jpg");
    // An APP2 segment of 0x90 bytes whose profile header claims 0x1388.
    bytes.insert(2, QByteArray("\xff\xe2\0\x90ICC_PROFILE\0\1\1\0\0\x13\x88", 22) +
                        QByteArray(124, '\0'));
    ASSERT_TRUE(touch(path("bad.jpg"), bytes));
    const std::pair<qint64, qint64> takenTime(taken.tv_sec, taken.tv_nsec);

    const Result kept = convert({"--to", "png", "--json"}, {"photo.jpg", "bad.jpg"});
    EXPECT_EQ(kept.exitCode, 0) << kept.errText().toStdString();
    EXPECT_EQ(results(kept), QStringList({"ok", "ok"}));
    EXPECT_EQ(message(kept, 1),
              "Attention : métadonnées illisibles : la sortie est écrite sans elles.");
    EXPECT_EQ(formatOf("bad.PNG"), "png");
    EXPECT_NE(modified("photo.PNG"), takenTime);

    const Result stripped =
        convert({"--to", "png", "--strip-metadata", "--keep-dates", "--existing", "overwrite"},
                {"photo.jpg"});
    EXPECT_EQ(stripped.exitCode, 0) << stripped.errText().toStdString();
    const QByteArray png = read("photo.PNG");
    EXPECT_FALSE(png.isEmpty());
    for (const char* mark : {"Raw profile type", "adobe.xmp", "eXIf"})
        EXPECT_FALSE(png.contains(mark)) << mark;
    EXPECT_EQ(modified("photo.PNG"), takenTime);

    // A relative path that reads as an address ("data://…") is a file's all the same; its
    // output keeps the metadata, as by default.
    QDir(folder()).mkpath("data:");
    ASSERT_TRUE(QFile::copy(photo, path("data:/x.jpg")));
    const Result address = convert({"--to", "png", "--json"}, {"data://x.jpg"});
    EXPECT_EQ(message(address, 0), QString());
    EXPECT_TRUE(read("data:/x.PNG").contains("Raw profile type exif"));
}

// A second run over the same output also shows that --existing overwrite replaces it.
TEST_F(ConvertCliTest, QualityAndMaxSizeReachTheOutputs)
{
    ASSERT_TRUE(QFile::copy(MORVANE_TEST_DATA "/camera.jpg", path("a.png"))); // a JPEG
    qint64 sizes[2] = {};
    for (const int quality : {5, 95}) {
        const Result result = convert(
            {"--to", "webp", "--existing", "overwrite", "--quality", QString::number(quality)},
            {"a.png"});
        EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
        sizes[quality > 50] = QFileInfo(path("a.WEBP")).size();
    }
    EXPECT_LT(sizes[0], sizes[1]);
    const Result result = convert({"--to", "jpg", "--max-size", "40x30"}, {"a.png"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(QImage(path("a.JPG")).size(), QSize(40, 30));
}

TEST_F(ConvertCliTest, OutputFolderAndOriginalsDeletedOrTrashed)
{
    pictures({"a.png", "b.bmp", "c.png"});
    QDir(folder()).mkdir("out");
    Result result =
        convert({"--to", "bmp", "--output-dir", "out", "--delete-originals"}, {"a.png", "b.bmp"});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(path("out")), QStringList{"a.BMP"});
    EXPECT_FALSE(QFile::exists(path("a.png")));
    EXPECT_TRUE(QFile::exists(path("b.bmp"))); // skipped: never deleted

    Options trash;
    trash.environment = {"XDG_DATA_HOME=" + path("data")};
    result = convert({"--to", "bmp", "--trash-originals", "--json"}, {"c.png"}, trash);
    EXPECT_EQ(message(result, 0), "Original mis à la corbeille.");
    EXPECT_FALSE(QFile::exists(path("c.png")));
    EXPECT_TRUE(QFile::exists(path("data/Trash/files/c.png")));
}

TEST_F(ConvertCliTest, DryRunChangesNothing)
{
    pictures({"a.png", "b.jpg"});
    const Snapshot before = snapshot(folder());
    Result result =
        convert({"--to", "jpeg", "--dry-run", "--delete-originals"}, {"a.png", "b.jpg"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.outLines(),
              QStringList({"a.png -> a.JPG", "b.jpg : Ignoré : déjà dans le format demandé."}));
    result = convert({"--to", "jpeg", "--dry-run", "--json"}, {"a.png", "b.jpg"});
    EXPECT_EQ(results(result), QStringList({"planned", "skipped"}));
    EXPECT_EQ(field(result, "output").value(0), "a.JPG");
    EXPECT_EQ(snapshot(folder()), before);
}

// The kinds of conflict are the preflight engine's; here, what one does to the run.
TEST_F(ConvertCliTest, AConflictRefusesTheWholeRun)
{
    pictures({"a.png", "b.png"});
    ASSERT_TRUE(touch(path("b.GIF"), "keep me"));
    const Snapshot before = snapshot(folder());
    const Result result =
        convert({"--to", "gif", "--json", "--delete-originals"}, {"a.png", "b.png"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(results(result), QStringList({"not-run", "conflict"}));
    EXPECT_TRUE(message(result, 1).contains("existe déjà")) << message(result, 1).toStdString();
    EXPECT_TRUE(result.errText().contains("1 fichier(s) en conflit : rien n'a été changé."));
    EXPECT_EQ(snapshot(folder()), before);
}

TEST_F(ConvertCliTest, FailedFilesAreReportedAndTheBatchGoesOn)
{
    pictures({"a.png", "b.png", "c.png"}, 64);
    QFile damaged(path("a.png"));
    ASSERT_TRUE(damaged.resize(damaged.size() / 2));
    Options options;
    options.environment = {"MORVANE_BATCH_TEST_FAIL=unlink:c.png"};
    const Result result = convert({"--to", "jpeg", "--json", "--delete-originals"},
                                  {"a.png", "b.png", "c.png"}, options);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(results(result), QStringList({"failed", "ok", "failed"}));
    EXPECT_EQ(result.json().value(0).value("status").toInt(), 4);
    EXPECT_TRUE(
        message(result, 2).startsWith("Sortie écrite, mais l'original n'a pas pu être supprimé"))
        << message(result, 2).toStdString();
    EXPECT_EQ(names(folder()), QStringList({"a.png", "b.JPG", "c.JPG", "c.png"}));
}

// Stopped by SIGINT after two files, then started again with --existing skip. p7 has an output
// already, not its own: skipped, its original stays.
TEST_F(ConvertCliTest, StoppedRunFinishesItsFilesAndResumesWithExistingSkip)
{
    QStringList files;
    for (int i = 0; i < 8; ++i)
        files.append(QString("p%1.png").arg(i));
    pictures(files, 400);
    ASSERT_TRUE(touch(path("p7.GIF")));
    const QStringList arguments{"--to", "gif",    "--json", "--existing",
                                "skip", "--jobs", "1",      "--delete-originals"};
    Options options;
    options.environment = {"MORVANE_BATCH_TEST_PAUSE_AFTER=2"};
    options.atPause = [](qint64 pid) { ::kill(static_cast<pid_t>(pid), SIGINT); };
    const Result stopped = convert(arguments, files, options);
    EXPECT_EQ(stopped.exitCode, 130);
    EXPECT_TRUE(stopped.errText().contains("Interrompu par SIGINT"));
    const QStringList outcomes = results(stopped);
    ASSERT_EQ(outcomes.size(), files.size());
    const Snapshot afterStop = snapshot(folder());
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(files[i].toStdString());
        const bool done = outcomes[i] == "ok";
        EXPECT_TRUE(done || (i >= 2 && outcomes[i] == "not-run"));
        EXPECT_EQ(afterStop.contains(QString("p%1.GIF").arg(i)), done);
        EXPECT_EQ(afterStop.contains(files[i]), !done);
    }
    EXPECT_EQ(outcomes[7], "skipped");

    const Result rerun = convert(arguments, files);
    EXPECT_EQ(rerun.exitCode, 0) << rerun.errText().toStdString();
    const Snapshot after = snapshot(folder());
    for (int i = 0; i < 7; ++i) {
        const QString output = QString("p%1.GIF").arg(i);
        EXPECT_EQ(formatOf(output), "gif") << output.toStdString();
        EXPECT_EQ(results(rerun)[i], outcomes[i] == "ok" ? "skipped" : "ok");
        EXPECT_FALSE(after.contains(files[i]));
    }
    EXPECT_EQ(after.value("p7.GIF"), afterStop.value("p7.GIF"));
    EXPECT_TRUE(after.contains("p7.png"));
    EXPECT_EQ(after.firstKey(), "p0.GIF"); // no temporary or hidden file
}

TEST_F(ConvertCliTest, PathsFromStandardInputAndUsageErrors)
{
    pictures({"a.png", "b.png"});
    Options options;
    options.input = "a.png\n\nb.png\n";
    Result result = convert({"--to", "bmp", "-"}, {}, options);
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(folder()), QStringList({"a.BMP", "a.png", "b.BMP", "b.png"}));

    const std::vector<std::pair<QStringList, const char*>> usage{
        {{"a.png"}, "--to est obligatoire"},
        {{"--to", "ico", "a.png"}, "Format de sortie inconnu"},
        {{"--to", "jpeg", "--quality", "101", "a.png"}, "--quality"},
        {{"--to", "jpeg", "--quality", "9x", "a.png"}, "--quality"},
        {{"--to", "png", "--max-size", "0x100", "a.png"}, "--max-size"},
        {{"--to", "png", "--max-size", "100", "a.png"}, "--max-size"},
        {{"--to", "png", "--jobs", "0", "a.png"}, "--jobs"},
        {{"--to", "png", "--existing", "keep", "a.png"}, "--existing"},
        {{"--to", "png", "--delete-originals", "--trash-originals", "a.png"}, "s'excluent"},
        {{"--to", "png", "--frob", "a.png"}, "frob"},
    };
    for (const auto& [arguments, message] : usage) {
        SCOPED_TRACE(message);
        result = convert(arguments, {});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errText().contains(QString::fromUtf8(message)))
            << result.errText().toStdString();
    }

    result = run({"convert", "--help"});
    EXPECT_EQ(result.exitCode, 0);
    // The options themselves are listed by the parser; each is used above or in another test.
    for (const char* option : {".TIF ou .WEBP", "JPEG, PNG, TIFF et WebP gardent", "--null",
                               "  130  ", "  143  ", "  2    "})
        EXPECT_TRUE(QString::fromUtf8(result.out).contains(QString::fromUtf8(option))) << option;
}

} // namespace
