#include "convert/conversioncontroller.h"

#include "convert/codecregistry.h"
#include "convert/convertpanel.h"
#include "convert/outputformats.h"
#include "lists/worklist.h"
#include "scripteddialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"
#include "testimages.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Scripted dialogs that press "Annuler" in the batch's progress dialog at the first message.
class CancellingDialogs : public ScriptedDialogs
{
public:
    bool cancelAtFirstMessage = false;
    std::atomic<bool> cancelled{false};
    void message(const QString& text, const QString& title, DialogIcon icon) override
    {
        ScriptedDialogs::message(text, title, icon);
        if (!std::exchange(cancelAtFirstMessage, false))
            return;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* progress = qobject_cast<QProgressDialog*>(widget))
                progress->findChild<QPushButton*>()->click(); // "Annuler"
        }
        cancelled = true;
    }
};

using Call = ScriptedDialogs::Call;

Call shown(const QString& text, DialogIcon icon = DialogIcon::Information)
{
    return ScriptedDialogs::shown(text, u"Morvane"_s, icon);
}

// The failure message of a file.
Call failed(const QString& name, int status)
{
    return shown(
        u"il y a eu erreur pendant la conversion de%1 !Status Code= %2"_s.arg(name).arg(status),
        DialogIcon::Critical);
}

// The panel and its controller over a work list of pictures made in a temporary folder.
struct Rig
{
    Rig()
        : store(settingsDir.filePath(u"Morvane.ini"_s)),
          controller(&panel, &list, &store, &dialogs, &codecs)
    {
        store.initialise(files.path());
        codecs.start();
        panel.outputFormats()->addItems(convert::outputFormatListTexts());
        panel.outputFormats()->setCurrentIndex(convert::defaultOutputFormatPosition);
        controller.setFinishingSteps({[this] { ++refreshes; }, [this] { list.clear(); },
                                      [this](const std::vector<int>& rows) { keptRows = rows; }});
    }

    QString path(const QString& name) const { return files.filePath(name); }

    void add(const QString& name, const QImage& picture = testimages::quadrants(16, 16),
             const char* format = "PNG")
    {
        QVERIFY(testimages::write(picture, path(name), format));
        list.add(files.path() + u'/', {name});
    }
    void addBytes(const QString& name, const QByteArray& bytes)
    {
        QVERIFY(testimages::writeBytes(path(name), bytes));
        list.add(files.path() + u'/', {name});
    }

    QStringList fileNames() const { return QDir(files.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir settingsDir;
    QTemporaryDir files;
    SettingsStore store;
    WorkList list;
    CancellingDialogs dialogs;
    convert::CodecSession codecs;
    ConvertPanel panel;
    ConversionController controller;
    int refreshes = 0;
    std::vector<int> keptRows; // the work list rows the window keeps after an interruption
};

} // namespace

class ConversionControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void singleConversionWritesAndEnds();
    void loadingShowsTheFittedPreviewAndTheOutputSize();
    void batchReportsEachFailureInListOrder();
    void batchWithAConflictIsRefusedBeforeTheFirstFile();
    void cancelledBatchKeepsWhatWasNotConverted();
    void settingsReachBothConversions();
};

void ConversionControllerTest::singleConversionWritesAndEnds()
{
    // Source, format position, supOriginal, output to a missing folder, the files after, the
    // status of the failure message (0: none), the end of the output path shown.
    const std::vector<std::tuple<QString, int, QString, bool, QStringList, int, QString>> rows{
        {u"photo.png"_s, 2, u"1"_s, false, {u"photo.jpg"_s}, 0, u"photo.png"_s},
        // The BMP output's path is shown; the original is kept.
        {u"photo.JPEG"_s, 0, u"0"_s, false, {u"photo.JPEG"_s, u"photo.bmp"_s}, 0, u"photo.bmp"_s},
        {u"scan.tif"_s, 3, u"1"_s, false, {u"scan.tif"_s}, 2, u"scan.tif"_s}, // no source type
        {u"photo.png"_s, 1, u"1"_s, true, {u"photo.png"_s}, 20, u"photo.png"_s},
        {u"photo.png"_s, -1, u"1"_s, false, {u"photo.png"_s}, 0, u"photo.png"_s}, // no format
    };
    for (const auto& [name, position, supOriginal, missing, after, failure, label8] : rows) {
        Rig rig;
        rig.add(name, testimages::quadrants(120, 90, true));
        rig.panel.outputFormats()->setCurrentIndex(position);
        rig.store.write(settings::names::supOriginal, supOriginal);
        if (missing) {
            rig.store.writeFlag(settings::names::convOrig, false);
            rig.store.write(settings::names::repertConv, rig.path(u"missing"_s));
        }

        rig.controller.conversion();

        QCOMPARE(rig.fileNames(), after);
        QList<Call> expected;
        if (failure)
            expected.append(failed(name, failure));
        expected.append(shown(u"la conversion du fichier est terminée !"_s));
        QCOMPARE(rig.dialogs.messages(), expected);
        QVERIFY(rig.panel.outputPath()->text().endsWith(label8));
        QCOMPARE(rig.refreshes, 1);
        QVERIFY(rig.list.isEmpty());
    }
}

void ConversionControllerTest::loadingShowsTheFittedPreviewAndTheOutputSize()
{
    Rig rig;
    rig.add(u"wide.png"_s, testimages::quadrants(800, 400));
    rig.controller.ouvririmage();
    QVERIFY(rig.dialogs.messages().isEmpty());
    QCOMPARE(rig.panel.preview()->size(), QSize(200, 100));
    QCOMPARE(rig.panel.sizeControl()->maximum(), 800); // never scaled up past the source
    QCOMPARE(rig.controller.outputSize(), QSize(800, 400));
    rig.panel.sizeControl()->setValue(300);
    QCOMPARE(rig.panel.outputSizeText()->text(), u"300 x 150 pixels"_s);

    // Same width, other height: the height follows although the value does not change.
    rig.list.clear();
    rig.add(u"square.png"_s, testimages::quadrants(300, 300));
    rig.controller.ouvririmage();
    QCOMPARE(rig.controller.outputSize(), QSize(300, 300));
    QCOMPARE(rig.panel.preview()->size(), QSize(150, 150));

    // A file that cannot be loaded: only the failure message, nothing else happens.
    rig.list.clear();
    rig.addBytes(u"broken.gif"_s, "GIF89a");
    rig.controller.ouvririmage();
    QCOMPARE(rig.dialogs.messages(), QList<Call>{failed(u"broken.gif"_s, 4)});
    QCOMPARE(rig.refreshes, 0);
    QCOMPARE(rig.list.count(), 1);
}

void ConversionControllerTest::batchReportsEachFailureInListOrder()
{
    Rig rig;
    rig.store.write(settings::names::supOriginal, u"1"_s);
    rig.add(u"a.png"_s);
    rig.addBytes(u"b.bmp"_s, "BM not a bitmap");
    rig.add(u"c.jpg"_s, testimages::quadrants(16, 16), "JPEG"); // skipped for JPEG
    rig.addBytes(u"d.ico"_s, {});

    rig.controller.conversion();

    QCOMPARE(rig.dialogs.messages(), (QList<Call>{failed(u"b.bmp"_s, 2), failed(u"d.ico"_s, 2),
                                                  shown(u"les conversions sont terminées !"_s)}));
    QCOMPARE(rig.fileNames(), QStringList({u"a.JPG"_s, u"b.bmp"_s, u"c.jpg"_s, u"d.ico"_s}));
}

// At most five conflicts are listed, then their count.
void ConversionControllerTest::batchWithAConflictIsRefusedBeforeTheFirstFile()
{
    Rig rig;
    rig.store.writeFlag(settings::names::convDest, true);
    rig.store.write(settings::names::repertConv, rig.path(u"missing"_s));
    QStringList lines;
    for (int i = 0; i < 6; ++i) {
        const QString name = u"p%1.png"_s.arg(i);
        rig.add(name);
        if (i < 5)
            lines.append(rig.path(name) + u" : Dossier de sortie introuvable : "_s +
                         rig.path(u"missing/"_s));
    }
    const QStringList before = rig.fileNames();

    rig.controller.conversion();

    lines.append(u"6 fichier(s) en conflit : rien n'a été converti."_s);
    QCOMPARE(rig.dialogs.messages(), QList<Call>{shown(lines.join(u'\n'), DialogIcon::Warning)});
    QCOMPARE(rig.fileNames(), before);
    QCOMPARE(rig.list.count(), 6);
    QCOMPARE(rig.refreshes, 0);
}

void ConversionControllerTest::cancelledBatchKeepsWhatWasNotConverted()
{
    Rig rig;
    rig.store.write(settings::names::supOriginal, u"1"_s);
    // The first entry fails at once; its message presses "Annuler" while the rest is queued.
    rig.addBytes(u"a.bmp"_s, "BM not a bitmap");
    for (int i = 0; i < 24; ++i)
        rig.add(u"p%1.png"_s.arg(i, 2, 10, QChar(u'0')));
    rig.add(u"z.jpg"_s, testimages::quadrants(16, 16), "JPEG"); // skipped for JPEG
    rig.dialogs.cancelAtFirstMessage = true;
    // The files in progress when "Annuler" comes finish only after it.
    rig.controller.setAfterEachConversion([&](int index) {
        while (index > 0 && !rig.dialogs.cancelled)
            std::this_thread::yield();
    });

    rig.controller.conversion();

    const std::vector<convert::BatchResult>& results = rig.controller.lastBatch();
    QCOMPARE(results.size(), std::size_t(26));
    std::vector<int> kept{0};
    for (std::size_t i = 1; i < 25; ++i) {
        const bool done = results[i].outcome == convert::BatchResult::Outcome::Converted;
        QCOMPARE(QFile::exists(results[i].output), done);
        if (!done)
            kept.push_back(int(i));
    }
    const int notStarted = int(kept.size()) - 1;
    QVERIFY(notStarted > 0);
    const QString tally =
        u"Conversion interrompue : %1 converti(s), 1 ignoré(s), 1 en échec, %2 non commencé(s)."_s
            .arg(24 - notStarted)
            .arg(notStarted);
    QCOMPARE(rig.dialogs.messages(), (QList<Call>{failed(u"a.bmp"_s, 2), shown(tally)}));
    QCOMPARE(rig.keptRows, kept);
    QCOMPARE(rig.refreshes, 1);
}

// The settings both conversions read: metadata, dates, PNG compression, TIFF and WebP sources;
// the largest size is the batch's only, the single conversion has its own size control.
void ConversionControllerTest::settingsReachBothConversions()
{
    const timespec old{1'200'000'000, 5};
    for (const bool batch : {false, true}) {
        Rig rig;
        using namespace settings::names;
        for (const auto& [name, value] :
             {std::pair{garderMeta, u"False"_s}, std::pair{garderDates, u"True"_s},
              std::pair{compressionPng, u"0"_s}, std::pair{tiffWebp, u"1"_s},
              std::pair{tailleMax, u"320x320"_s}})
            QVERIFY(rig.store.write(name, value));
        const QString photo = rig.path(u"a.webp"_s); // the camera's JPEG
        QVERIFY(QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"), photo));
        const timespec times[2] = {{0, UTIME_OMIT}, old};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(photo).constData(), times, 0), 0);
        rig.list.add(rig.files.path() + u'/', {u"a.webp"_s});
        if (batch)
            rig.add(u"b.TIFF"_s);
        rig.panel.outputFormats()->setCurrentIndex(3); // PNG
        rig.controller.conversion();

        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY(!batch || QFile::exists(rig.path(u"b.PNG"_s)));
        QFile output(rig.path(batch ? u"a.PNG"_s : u"a.png"_s));
        QVERIFY(output.open(QIODevice::ReadOnly));
        const QSize size = batch ? QSize(320, 240) : QSize(640, 480);
        QCOMPARE(QImage(output.fileName()).size(), size);
        // Stored without compression: at least three bytes a pixel.
        QVERIFY(output.size() >= size.width() * size.height() * 3);
        QVERIFY(!output.readAll().contains("Raw profile type exif"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(output.fileName()).constData(), &st), 0);
        QCOMPARE(std::pair(st.st_mtim.tv_sec, st.st_mtim.tv_nsec),
                 std::pair(old.tv_sec, old.tv_nsec));
    }
}

QTEST_MAIN(ConversionControllerTest)
#include "test_conversioncontroller.moc"
