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
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QString folder() const { return m_dir.path(); }

    void picture(const QString& name, int size = 24)
    {
        const QString suffix = name.section(QLatin1Char('.'), -1).toUpper();
        const QByteArray format = suffix == QLatin1String("JPG") ? "JPEG" : suffix.toLatin1();
        if (name.contains(QLatin1Char('/')))
            QDir(folder()).mkpath(name.left(name.lastIndexOf(QLatin1Char('/'))));
        ASSERT_TRUE(
            testimages::write(testimages::quadrants(size, size), path(name), format.constData()))
            << name.toStdString();
    }
    QByteArray formatOf(const QString& name) const
    {
        QImageReader reader(path(name));
        return reader.canRead() ? reader.format() : QByteArray();
    }
    Result convert(QStringList arguments, const QStringList& files, Options options = {})
    {
        options.workingDirectory = folder();
        arguments.prepend(QStringLiteral("convert"));
        return run(arguments + files, options);
    }
    static QStringList results(const Result& run)
    {
        QStringList list;
        for (const QJsonObject& line : run.json())
            list.append(line.value(QStringLiteral("result")).toString());
        return list;
    }

    QTemporaryDir m_dir;
};

TEST_F(ConvertCliTest, EachTargetWritesTheBatchNamesAndSkipsItsOwnType)
{
    struct Row
    {
        const char* to;
        QStringList expectedOutputs;
        const char* format;
        QStringList skipped;
    };
    const std::vector<Row> rows{
        {"png", {"b.PNG", "c.PNG", "d.PNG", "e.PNG"}, "png", {"a.png"}},
        {"jpeg", {"a.JPG", "b.JPG", "e.JPG"}, "jpeg", {"c.jpg", "d.jpeg"}},
        {"gif", {"a.GIF", "b.GIF", "c.GIF", "d.GIF"}, "gif", {}},
        {"bmp", {"a.BMP", "c.BMP", "d.BMP", "e.BMP"}, "bmp", {"b.bmp"}},
        {"tiff", {"a.TIF", "b.TIF", "c.TIF", "d.TIF", "e.TIF", "f.TIF"}, "tiff", {"g.tif"}},
        {"webp", {"a.WEBP", "b.WEBP", "c.WEBP", "d.WEBP", "e.WEBP", "g.WEBP"}, "webp", {"f.webp"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to);
        QTemporaryDir dir;
        m_dir.swap(dir);
        for (const char* name : {"a.png", "b.bmp", "c.jpg", "d.jpeg", "e.gif"}) {
            if (QByteArray(name) == "e.gif")
                continue; // written below: Qt has no GIF writer
            picture(QString::fromLatin1(name));
        }
        // A GIF source made by the tool itself.
        if (QByteArray(row.to) != "gif") {
            picture(QStringLiteral("e.png"));
            ASSERT_EQ(run({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("gif"),
                           path(QStringLiteral("e.png"))})
                          .exitCode,
                      0);
            QFile::remove(path(QStringLiteral("e.png")));
            QFile::rename(path(QStringLiteral("e.GIF")), path(QStringLiteral("e.gif")));
        }
        QStringList files{QStringLiteral("a.png"), QStringLiteral("b.bmp"), QStringLiteral("c.jpg"),
                          QStringLiteral("d.jpeg")};
        if (QFile::exists(path(QStringLiteral("e.gif"))))
            files.append(QStringLiteral("e.gif"));
        // TIFF and WebP sources, named by their whole extension.
        if (QByteArray(row.to) == "tiff" || QByteArray(row.to) == "webp") {
            picture(QStringLiteral("f.webp"));
            picture(QStringLiteral("g.tif"));
            files.append({QStringLiteral("f.webp"), QStringLiteral("g.tif")});
        }
        files.append(QStringLiteral("notes.txt"));
        ASSERT_TRUE(touch(path(QStringLiteral("notes.txt"))));
        const Result result = convert(
            {QStringLiteral("--to"), QString::fromLatin1(row.to), QStringLiteral("--json")}, files);
        EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
        for (const QString& output : row.expectedOutputs)
            EXPECT_EQ(formatOf(output), QByteArray(row.format)) << output.toStdString();
        const QList<QJsonObject> lines = result.json();
        ASSERT_EQ(lines.size(), files.size());
        EXPECT_EQ(lines.last().value(QStringLiteral("result")).toString(),
                  QStringLiteral("skipped"));
        for (const QJsonObject& line : lines) {
            const QString source = line.value(QStringLiteral("source")).toString();
            const bool skip = row.skipped.contains(source) || source == QLatin1String("notes.txt");
            EXPECT_EQ(line.value(QStringLiteral("result")).toString(),
                      skip ? QStringLiteral("skipped") : QStringLiteral("ok"))
                << source.toStdString();
            EXPECT_EQ(line.value(QStringLiteral("status")).toInt(-1), 0);
            EXPECT_TRUE(QFile::exists(path(source))); // no --delete-originals
        }
    }
}

TEST_F(ConvertCliTest, MetadataKeptOrStrippedDatesKeptAndUnreadableMetadataWarned)
{
    const QString photo = path(QStringLiteral("photo.jpg"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"), photo));
    const timespec taken{1'200'000'000, 123'456'789};
    const timespec times[2] = {{0, UTIME_OMIT}, taken};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(photo).constData(), times, 0), 0);
    // A colour-profile block that says it is longer than it is: the metadata library refuses
    // the file's metadata, the picture itself decodes.
    picture(QStringLiteral("bad.jpg"));
    QFile bad(path(QStringLiteral("bad.jpg")));
    ASSERT_TRUE(bad.open(QIODevice::ReadWrite));
    QByteArray bytes = bad.readAll();
    QByteArray block =
        QByteArray("ICC_PROFILE\0\1\1", 14) + QByteArray("\0\0\x13\x88", 4) + QByteArray(124, '\0');
    const int length = int(block.size()) + 2;
    block.prepend(QByteArray("\xff\xe2") + char(length >> 8) + char(length & 0xff));
    bytes.insert(2, block);
    bad.seek(0);
    bad.write(bytes);
    bad.close();
    const auto modified = [&](const QString& name) {
        struct stat st;
        ::stat(QFile::encodeName(path(name)).constData(), &st);
        return std::pair(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    const auto read = [&](const QString& name) {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    QDir(folder()).mkpath(QStringLiteral("kept"));
    const Result kept =
        convert({"--to", "png", "--json", "--output-dir", "kept"}, {"photo.jpg", "bad.jpg"});
    EXPECT_EQ(kept.exitCode, 0) << kept.errText().toStdString();
    EXPECT_EQ(results(kept), QStringList({"ok", "ok"}));
    EXPECT_EQ(kept.json().value(1).value("message").toString(),
              "Attention : métadonnées illisibles : la sortie est écrite sans elles.");
    EXPECT_EQ(formatOf("kept/bad.PNG"), "png");
    EXPECT_TRUE(read("kept/photo.PNG").contains("Raw profile type exif"));
    EXPECT_NE(modified("kept/photo.PNG"), std::pair(taken.tv_sec, taken.tv_nsec));

    QDir(folder()).mkpath(QStringLiteral("stripped"));
    const Result stripped =
        convert({"--to", "png", "--strip-metadata", "--keep-dates", "--output-dir", "stripped"},
                {"photo.jpg"});
    EXPECT_EQ(stripped.exitCode, 0) << stripped.errText().toStdString();
    const QByteArray png = read("stripped/photo.PNG");
    EXPECT_FALSE(png.isEmpty());
    for (const char* mark : {"Raw profile type", "adobe.xmp", "eXIf"})
        EXPECT_FALSE(png.contains(mark)) << mark;
    EXPECT_EQ(modified("stripped/photo.PNG"), std::pair(taken.tv_sec, taken.tv_nsec));

    // A relative path that reads as an address ("data://…") is a file's all the same.
    QDir(folder()).mkpath(QStringLiteral("data:"));
    ASSERT_TRUE(QFile::copy(photo, path(QStringLiteral("data:/x.jpg"))));
    const Result address = convert({"--to", "png", "--json"}, {"data://x.jpg"});
    EXPECT_EQ(address.json().value(0).value("message").toString(), QString());
    EXPECT_TRUE(read("data:/x.PNG").contains("Raw profile type exif"));
}

TEST_F(ConvertCliTest, QualityAndMaxSizeReachTheOutputs)
{
    QImage detailed(96, 96, QImage::Format_RGB32);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            detailed.setPixel(x, y, qRgb(x * 7 & 255, (x * y) & 255, (x ^ y) * 3 & 255));
    ASSERT_TRUE(testimages::write(detailed, path(QStringLiteral("a.png")), "PNG"));
    qint64 sizes[2] = {};
    for (const int quality : {5, 95}) {
        const Result result = convert({QStringLiteral("--to"), QStringLiteral("webp"),
                                       QStringLiteral("--existing"), QStringLiteral("overwrite"),
                                       QStringLiteral("--quality"), QString::number(quality)},
                                      {QStringLiteral("a.png")});
        EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
        sizes[quality > 50] = QFileInfo(path(QStringLiteral("a.WEBP"))).size();
    }
    EXPECT_LT(sizes[0], sizes[1]);
    const Result result = convert({QStringLiteral("--to"), QStringLiteral("jpg"),
                                   QStringLiteral("--max-size"), QStringLiteral("40x30")},
                                  {QStringLiteral("a.png")});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(QImage(path(QStringLiteral("a.JPG"))).size(), QSize(30, 30)); // never enlarged
}

TEST_F(ConvertCliTest, OutputFolderAndDeletingOriginals)
{
    picture(QStringLiteral("a.png"));
    picture(QStringLiteral("b.bmp"));
    QDir(folder()).mkdir(QStringLiteral("out"));
    Result result =
        convert({QStringLiteral("--to"), QStringLiteral("bmp"), QStringLiteral("--output-dir"),
                 QStringLiteral("out"), QStringLiteral("--delete-originals")},
                {QStringLiteral("a.png"), QStringLiteral("b.bmp")});
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_EQ(names(path(QStringLiteral("out"))), QStringList{QStringLiteral("a.BMP")});
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.png"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("b.bmp")))); // skipped: never deleted
}

TEST_F(ConvertCliTest, ExistingOutputRefusedSkippedOrReplaced)
{
    picture(QStringLiteral("a.png"));
    picture(QStringLiteral("b.png"));
    ASSERT_TRUE(touch(path(QStringLiteral("a.GIF")), "keep me"));
    const QStringList files{QStringLiteral("a.png"), QStringLiteral("b.png")};

    const Snapshot before = snapshot(folder());
    Result result =
        convert({QStringLiteral("--to"), QStringLiteral("gif"), QStringLiteral("--json")}, files);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(results(result),
              (QStringList{QStringLiteral("conflict"), QStringLiteral("not-run")}));
    EXPECT_EQ(snapshot(folder()), before);

    // --existing skip: see KilledRunStartedAgainConvertsOnlyWhatIsMissing.
    result = convert({QStringLiteral("--to"), QStringLiteral("gif"), QStringLiteral("--existing"),
                      QStringLiteral("overwrite")},
                     {QStringLiteral("a.png")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(formatOf(QStringLiteral("a.GIF")), QByteArray("gif"));
    EXPECT_EQ(names(folder()), (QStringList{QStringLiteral("a.GIF"), QStringLiteral("a.png"),
                                            QStringLiteral("b.png")}));
}

TEST_F(ConvertCliTest, DryRunChangesNothing)
{
    picture(QStringLiteral("a.png"));
    picture(QStringLiteral("b.jpg"));
    const Snapshot before = snapshot(folder());
    Result result = convert({QStringLiteral("--to"), QStringLiteral("jpeg"),
                             QStringLiteral("--dry-run"), QStringLiteral("--delete-originals")},
                            {QStringLiteral("a.png"), QStringLiteral("b.jpg")});
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_EQ(result.outLines().size(), 2);
    EXPECT_EQ(result.outLines()[0], QStringLiteral("a.png -> a.JPG"));
    EXPECT_TRUE(result.outLines()[1].startsWith(QStringLiteral("b.jpg : Ignoré")));
    result = convert({QStringLiteral("--to"), QStringLiteral("jpeg"), QStringLiteral("--dry-run"),
                      QStringLiteral("--json")},
                     {QStringLiteral("a.png"), QStringLiteral("b.jpg")});
    EXPECT_EQ(results(result), (QStringList{QStringLiteral("planned"), QStringLiteral("skipped")}));
    EXPECT_EQ(result.json()[0].value(QStringLiteral("output")).toString(), QStringLiteral("a.JPG"));
    EXPECT_EQ(snapshot(folder()), before);
}

TEST_F(ConvertCliTest, PreflightReportsEachKindOfConflictAndChangesNothing)
{
    struct Row
    {
        const char* name;
        QStringList options;
        QStringList files;
        int conflictAt;
        const char* message;
    };
    const std::vector<Row> rows{
        {"given twice", {}, {"a.png", "b.png", "./a.png"}, 2, "deux fois"},
        {"same output", {}, {"a.png", "b.png", "a.bmp"}, 2, "Même fichier de sortie que a.png"},
        {"output exists", {}, {"a.png", "c.png"}, 1, "existe déjà"},
        {"output folder is a file", {"--output-dir", "c.GIF"}, {"a.png"}, 0, "introuvable"},
        {"source missing", {}, {"a.png", "gone.png"}, 1, "introuvable"},
    };
    picture(QStringLiteral("a.png"));
    picture(QStringLiteral("b.png"));
    picture(QStringLiteral("a.bmp"));
    picture(QStringLiteral("c.png"));
    ASSERT_TRUE(touch(path(QStringLiteral("c.GIF"))));
    const Snapshot before = snapshot(folder());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Result result =
            convert(QStringList{QStringLiteral("--to"), QStringLiteral("gif"),
                                QStringLiteral("--json"), QStringLiteral("--delete-originals")} +
                        row.options,
                    row.files);
        EXPECT_EQ(result.exitCode, 2) << result.errText().toStdString();
        const QList<QJsonObject> lines = result.json();
        ASSERT_EQ(lines.size(), row.files.size());
        EXPECT_EQ(lines[row.conflictAt].value(QStringLiteral("result")).toString(),
                  QStringLiteral("conflict"));
        EXPECT_TRUE(lines[row.conflictAt]
                        .value(QStringLiteral("message"))
                        .toString()
                        .contains(QString::fromUtf8(row.message)))
            << lines[row.conflictAt].value(QStringLiteral("message")).toString().toStdString();
        EXPECT_EQ(snapshot(folder()), before);
    }
}

TEST_F(ConvertCliTest, DamagedSourceInTheMiddleFailsAndTheBatchGoesOn)
{
    picture(QStringLiteral("a.png"), 64);
    picture(QStringLiteral("b.png"), 64);
    picture(QStringLiteral("c.png"), 64);
    QFile damaged(path(QStringLiteral("b.png")));
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    ASSERT_TRUE(damaged.resize(damaged.size() / 2));
    damaged.close();
    const Result result =
        convert({QStringLiteral("--to"), QStringLiteral("bmp"), QStringLiteral("--json"),
                 QStringLiteral("--delete-originals")},
                {QStringLiteral("a.png"), QStringLiteral("b.png"), QStringLiteral("c.png")});
    EXPECT_EQ(result.exitCode, 1);
    const QList<QJsonObject> lines = result.json();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(results(result),
              (QStringList{QStringLiteral("ok"), QStringLiteral("failed"), QStringLiteral("ok")}));
    EXPECT_EQ(lines[1].value(QStringLiteral("status")).toInt(), 4);
    EXPECT_FALSE(lines[1].value(QStringLiteral("message")).toString().isEmpty());
    EXPECT_EQ(names(folder()), (QStringList{QStringLiteral("a.BMP"), QStringLiteral("b.png"),
                                            QStringLiteral("c.BMP")}));
}

TEST_F(ConvertCliTest, WriteAndDeleteFailuresAreFailedFiles)
{
    picture(QStringLiteral("a.png"));
    picture(QStringLiteral("b.png"));
    Options options;
    options.environment = {QStringLiteral("MORVANE_BATCH_TEST_FAIL=write:a.JPG,unlink:b.png")};
    const Result result = convert({QStringLiteral("--to"), QStringLiteral("jpeg"),
                                   QStringLiteral("--json"), QStringLiteral("--delete-originals"),
                                   QStringLiteral("--existing"), QStringLiteral("overwrite")},
                                  {QStringLiteral("a.png"), QStringLiteral("b.png")}, options);
    EXPECT_EQ(result.exitCode, 1);
    const QList<QJsonObject> lines = result.json();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(results(result), (QStringList{QStringLiteral("failed"), QStringLiteral("failed")}));
    EXPECT_EQ(lines[0].value(QStringLiteral("status")).toInt(), 21);
    EXPECT_TRUE(
        lines[1].value(QStringLiteral("message")).toString().contains(QStringLiteral("b.png")));
    // No partial output, no temporary file; the written output stays beside its original.
    EXPECT_EQ(names(folder()), (QStringList{QStringLiteral("a.png"), QStringLiteral("b.JPG"),
                                            QStringLiteral("b.png")}));
}

TEST_F(ConvertCliTest, StopSignalFinishesTheFilesInProgressAndLeavesNoPartialOutput)
{
    QStringList files;
    for (int i = 0; i < 8; ++i) {
        files.append(QStringLiteral("p%1.png").arg(i));
        picture(files.last(), 400);
    }
    Options options;
    options.environment = {QStringLiteral("MORVANE_BATCH_TEST_PAUSE_AFTER=2")};
    options.atPause = [](qint64 pid) { ::kill(static_cast<pid_t>(pid), SIGINT); };
    const Result result = convert({QStringLiteral("--to"), QStringLiteral("gif"),
                                   QStringLiteral("--json"), QStringLiteral("--delete-originals"),
                                   QStringLiteral("--jobs"), QStringLiteral("1")},
                                  files, options);
    EXPECT_EQ(result.exitCode, 130);
    EXPECT_TRUE(result.errText().contains(QStringLiteral("Interrompu par SIGINT")));
    const QList<QJsonObject> lines = result.json();
    ASSERT_EQ(lines.size(), files.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QString output = lines[i].value(QStringLiteral("output")).toString();
        const QString outcome = lines[i].value(QStringLiteral("result")).toString();
        SCOPED_TRACE(output.toStdString());
        if (i < 2) {
            EXPECT_EQ(outcome, QStringLiteral("ok"));
        }
        if (outcome == QLatin1String("ok")) {
            EXPECT_EQ(formatOf(output), QByteArray("gif"));
            EXPECT_FALSE(QFile::exists(path(files[i])));
        } else {
            EXPECT_EQ(outcome, QStringLiteral("not-run"));
            EXPECT_FALSE(QFile::exists(path(output)));
            EXPECT_TRUE(QFile::exists(path(files[i])));
        }
    }
    for (const QString& name : names(folder()))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST_F(ConvertCliTest, KilledRunStartedAgainConvertsOnlyWhatIsMissing)
{
    QStringList files;
    QStringList outputs;
    for (int i = 0; i < 8; ++i) {
        files.append(QStringLiteral("p%1.png").arg(i));
        outputs.append(QStringLiteral("p%1.GIF").arg(i));
        picture(files.last(), 400);
    }
    const QStringList arguments{QStringLiteral("--to"),
                                QStringLiteral("gif"),
                                QStringLiteral("--existing"),
                                QStringLiteral("skip"),
                                QStringLiteral("--delete-originals"),
                                QStringLiteral("--jobs"),
                                QStringLiteral("1")};
    Options killed;
    killed.environment = {QStringLiteral("MORVANE_BATCH_TEST_PAUSE_AFTER=2")};
    killed.atPause = [](qint64 pid) { ::kill(static_cast<pid_t>(pid), SIGKILL); };
    EXPECT_EQ(convert(arguments, files, killed).exitCode, -1);
    const Snapshot afterKill = snapshot(folder());

    const Result rerun = convert(arguments + QStringList{QStringLiteral("--json")}, files);
    EXPECT_EQ(rerun.exitCode, 0) << rerun.errText().toStdString();
    const Snapshot after = snapshot(folder());
    for (int i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        EXPECT_EQ(formatOf(outputs[i]), QByteArray("gif"));
        const bool skipped = afterKill.contains(outputs[i]);
        EXPECT_EQ(rerun.json()[i].value(QStringLiteral("result")).toString(),
                  skipped ? QStringLiteral("skipped") : QStringLiteral("ok"));
        if (skipped) { // written once, by the killed run
            EXPECT_EQ(after.value(outputs[i]), afterKill.value(outputs[i]));
        }
        // The original of a skipped entry stays: its output may not be its own.
        EXPECT_EQ(after.contains(files[i]), skipped && afterKill.contains(files[i]));
    }
    for (const QString& name : after.keys())
        EXPECT_FALSE(name.startsWith(QLatin1String(".morvane-"))) << name.toStdString();
}

TEST_F(ConvertCliTest, PathsFromStandardInputAndUsageErrors)
{
    picture(QStringLiteral("a.png"));
    picture(QStringLiteral("b.png"));
    Options options;
    options.input = "a.png\n\nb.png\n";
    Result result =
        convert({QStringLiteral("--to"), QStringLiteral("bmp"), QStringLiteral("-")}, {}, options);
    EXPECT_EQ(result.exitCode, 0) << result.errText().toStdString();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("a.BMP"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("b.BMP"))));

    const std::vector<std::pair<QStringList, const char*>> usage{
        {{"a.png"}, "--to est obligatoire"},
        {{"--to", "ico", "a.png"}, "Format de sortie inconnu"},
        {{"--to", "jpeg", "--quality", "101", "a.png"}, "--quality"},
        {{"--to", "jpeg", "--quality", "-1", "a.png"}, "--quality"},
        {{"--to", "jpeg", "--quality", "9x", "a.png"}, "--quality"},
        {{"--to", "png", "--max-size", "0x100", "a.png"}, "--max-size"},
        {{"--to", "png", "--max-size", "100", "a.png"}, "--max-size"},
        {{"--to", "png", "--jobs", "0", "a.png"}, "--jobs"},
        {{"--to", "png", "--existing", "keep", "a.png"}, "--existing"},
        {{"--to", "png", "--frob", "a.png"}, "frob"},
    };
    for (const auto& [arguments, message] : usage) {
        SCOPED_TRACE(message);
        result = convert(arguments, {});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.errText().contains(QString::fromUtf8(message)))
            << result.errText().toStdString();
    }

    result = run({QStringLiteral("convert"), QStringLiteral("--help")});
    EXPECT_EQ(result.exitCode, 0);
    for (const char* option :
         {"--to", "--quality", "--max-size", "--strip-metadata", "--keep-dates", "--output-dir",
          "--delete-originals", "--jobs", "--existing", "--dry-run", "--json", "--null",
          ".TIF ou .WEBP", "JPEG, PNG, TIFF et WebP gardent", "  130  ", "  143  ", "  2    "})
        EXPECT_TRUE(QString::fromUtf8(result.out).contains(QString::fromUtf8(option))) << option;
}

} // namespace
