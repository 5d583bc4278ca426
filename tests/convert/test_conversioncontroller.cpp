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
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using Kind = ScriptedDialogs::Kind;

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

const QString done1 = u"la conversion du fichier est terminée !"_s;
const QString doneMany = u"les conversions sont terminées !"_s;

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
                                      [this](const std::vector<int>& rows) {
                                          const std::vector<WorkEntry> all = list.entries();
                                          list.clear();
                                          for (const int row : rows)
                                              list.add(all[std::size_t(row)].folder,
                                                       {all[std::size_t(row)].name});
                                      }});
    }

    QString path(const QString& name) const { return files.filePath(name); }

    void add(const QString& name, const QImage& picture, const char* format)
    {
        QVERIFY(testimages::write(picture, path(name), format));
        list.add(files.path() + u'/', {name});
    }

    QStringList fileNames() const { return QDir(files.path()).entryList(QDir::Files, QDir::Name); }

    QList<ScriptedDialogs::Call> messages() const { return dialogs.messages(); }

    QTemporaryDir settingsDir;
    QTemporaryDir files;
    SettingsStore store;
    WorkList list;
    CancellingDialogs dialogs;
    convert::CodecSession codecs;
    ConvertPanel panel;
    ConversionController controller;
    int refreshes = 0;
};

} // namespace

class ConversionControllerTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void singleConversionWritesAndEnds_data();
    void singleConversionWritesAndEnds();
    void loadingShowsTheFittedPreviewAndTheOutputSize();
    void batchReportsEachFailureInListOrder();
    void batchWithAConflictIsRefusedBeforeTheFirstFile();
    void cancelledBatchKeepsWhatWasNotConverted();
    void metadataOptionsReachBothConversions();
    void advancedOptionsReachBothConversions();
};

void ConversionControllerTest::singleConversionWritesAndEnds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("repertConv"); // empty: next to the original
    QTest::addColumn<QString>("supOriginal");
    QTest::addColumn<QStringList>("filesAfter");
    QTest::addColumn<QString>("failure"); // the failure message, if any
    QTest::addColumn<QString>("label8");

    QTest::newRow("png to jpeg, original deleted")
        << u"photo.png"_s << 2 << QString() << u"1"_s << QStringList{u"photo.jpg"_s} << QString()
        << u"photo.png"_s;
    QTest::newRow("jpeg to itself is kept")
        << u"photo.jpg"_s << 2 << QString() << u"1"_s << QStringList{u"photo.jpg"_s} << QString()
        << u"photo.jpg"_s;
    QTest::newRow("bmp shows the output path")
        << u"photo.JPEG"_s << 0 << QString() << u"0"_s
        << QStringList{u"photo.JPEG"_s, u"photo.bmp"_s} << QString() << u"photo.bmp"_s;
    QTest::newRow("no source type")
        << u"scan.tif"_s << 3 << QString() << u"1"_s << QStringList{u"scan.tif"_s}
        << u"il y a eu erreur pendant la conversion descan.tif !Status Code= 2"_s << u"scan.tif"_s;
    QTest::newRow("missing conversion folder")
        << u"photo.png"_s << 1 << u"missing"_s << u"1"_s << QStringList{u"photo.png"_s}
        << u"il y a eu erreur pendant la conversion dephoto.png !Status Code= 20"_s
        << u"photo.png"_s;
    QTest::newRow("no format selected")
        << u"photo.png"_s << -1 << QString() << u"1"_s << QStringList{u"photo.png"_s} << QString()
        << u"photo.png"_s;
}

void ConversionControllerTest::singleConversionWritesAndEnds()
{
    QFETCH(QString, name);
    QFETCH(int, position);
    QFETCH(QString, repertConv);
    QFETCH(QString, supOriginal);
    QFETCH(QStringList, filesAfter);
    QFETCH(QString, failure);
    QFETCH(QString, label8);

    Rig rig;
    rig.add(name, testimages::quadrants(120, 90, true), "PNG");
    rig.panel.outputFormats()->setCurrentIndex(position);
    rig.store.write(settings::names::supOriginal, supOriginal);
    if (!repertConv.isEmpty()) {
        rig.store.writeFlag(settings::names::convOrig, false);
        rig.store.write(settings::names::repertConv, rig.path(repertConv));
    }

    rig.controller.conversion();

    QCOMPARE(rig.fileNames(), filesAfter);
    QList<ScriptedDialogs::Call> expected;
    if (!failure.isEmpty())
        expected.append(ScriptedDialogs::shown(failure, u"Morvane"_s, DialogIcon::Critical));
    expected.append(ScriptedDialogs::shown(done1, u"Morvane"_s, DialogIcon::Information));
    QCOMPARE(rig.messages(), expected);
    QVERIFY(rig.panel.outputPath()->text().endsWith(label8));
    QCOMPARE(rig.refreshes, 1);
    QVERIFY(rig.list.isEmpty());
    // The transparent quadrant is white in a JPEG.
    if (filesAfter.contains(u"photo.jpg"_s) && name == u"photo.png"_s) {
        const QImage written(rig.path(u"photo.jpg"_s));
        QVERIFY(qGray(written.pixel(100, 80)) > 240);
    }
}

void ConversionControllerTest::loadingShowsTheFittedPreviewAndTheOutputSize()
{
    Rig rig;
    rig.add(u"wide.png"_s, testimages::quadrants(800, 400), "PNG");
    rig.controller.ouvririmage();
    QVERIFY(rig.messages().isEmpty());
    QCOMPARE(rig.panel.preview()->size(), QSize(200, 100));
    QCOMPARE(rig.panel.sizeControl()->value(), 800);
    QCOMPARE(rig.panel.sizeControl()->maximum(), 800); // never scaled up past the source
    QCOMPARE(rig.controller.outputSize(), QSize(800, 400));
    QCOMPARE(rig.panel.outputPath()->text(), rig.path(u"wide.png"_s));

    rig.panel.sizeControl()->setValue(300);
    QCOMPARE(rig.controller.outputSize(), QSize(300, 150));
    QCOMPARE(rig.panel.outputSizeText()->text(), u"300 x 150 pixels"_s);

    // Same width, other height: the height follows although the value does not change.
    rig.list.clear();
    rig.add(u"square.png"_s, testimages::quadrants(300, 300), "PNG");
    rig.controller.ouvririmage();
    QCOMPARE(rig.controller.outputSize(), QSize(300, 300));
    QCOMPARE(rig.panel.preview()->size(), QSize(150, 150));

    // A file that cannot be loaded: only the failure message, nothing else happens.
    rig.list.clear();
    QVERIFY(testimages::writeBytes(rig.path(u"broken.gif"_s), "GIF89a"));
    rig.list.add(rig.files.path() + u'/', {u"broken.gif"_s});
    rig.controller.ouvririmage();
    QCOMPARE(rig.messages().size(), 1);
    QCOMPARE(rig.messages().first().text,
             u"il y a eu erreur pendant la conversion debroken.gif !Status Code= 4"_s);
    QCOMPARE(rig.refreshes, 0);
    QCOMPARE(rig.list.count(), 1);
}

void ConversionControllerTest::batchReportsEachFailureInListOrder()
{
    Rig rig;
    rig.store.write(settings::names::supOriginal, u"1"_s);
    rig.add(u"a.png"_s, testimages::quadrants(64, 48), "PNG");
    QVERIFY(testimages::writeBytes(rig.path(u"b.bmp"_s), "BM not a bitmap"));
    rig.list.add(rig.files.path() + u'/', {u"b.bmp"_s});
    rig.add(u"c.jpg"_s, testimages::quadrants(64, 48), "JPEG"); // skipped for JPEG
    rig.add(u"d.gif.png"_s, testimages::quadrants(64, 48), "PNG");
    QVERIFY(testimages::writeBytes(rig.path(u"e.ico"_s), {}));
    rig.list.add(rig.files.path() + u'/', {u"e.ico"_s, u"f.tif"_s});

    rig.controller.conversion();

    QStringList texts;
    for (const auto& call : rig.messages())
        texts.append(call.text);
    QCOMPARE(texts,
             QStringList({u"il y a eu erreur pendant la conversion deb.bmp !Status Code= 2"_s,
                          u"il y a eu erreur pendant la conversion dee.ico !Status Code= 2"_s,
                          doneMany}));
    QCOMPARE(rig.fileNames(),
             QStringList({u"a.JPG"_s, u"b.bmp"_s, u"c.jpg"_s, u"d.gif.JPG"_s, u"e.ico"_s}));
    QCOMPARE(rig.controller.lastBatch().size(), std::size_t(6));
    QCOMPARE(rig.refreshes, 1);
    QVERIFY(rig.list.isEmpty());
}

void ConversionControllerTest::batchWithAConflictIsRefusedBeforeTheFirstFile()
{
    Rig rig;
    rig.store.write(settings::names::supOriginal, u"1"_s);
    rig.store.writeFlag(settings::names::convDest, true);
    rig.store.write(settings::names::repertConv, rig.path(u"missing"_s));
    QStringList lines;
    for (int i = 0; i < 6; ++i) {
        const QString name = u"p%1.png"_s.arg(i);
        rig.add(name, testimages::quadrants(16, 16), "PNG");
        if (i < 5)
            lines.append(rig.path(name) + u" : Dossier de sortie introuvable : "_s +
                         rig.path(u"missing/"_s));
    }
    const QStringList before = rig.fileNames();

    rig.controller.conversion();

    lines.append(u"6 fichier(s) en conflit : rien n'a été converti."_s);
    QCOMPARE(rig.messages(), QList<ScriptedDialogs::Call>{ScriptedDialogs::shown(
                                 lines.join(u'\n'), u"Morvane"_s, DialogIcon::Warning)});
    QCOMPARE(rig.fileNames(), before);
    QCOMPARE(rig.list.count(), 6);
    QCOMPARE(rig.refreshes, 0);
}

void ConversionControllerTest::cancelledBatchKeepsWhatWasNotConverted()
{
    Rig rig;
    rig.store.write(settings::names::supOriginal, u"1"_s);
    // The first entry fails at once; its message presses "Annuler" while the rest is queued.
    QVERIFY(testimages::writeBytes(rig.path(u"a.bmp"_s), "BM not a bitmap"));
    rig.list.add(rig.files.path() + u'/', {u"a.bmp"_s});
    for (int i = 0; i < 24; ++i)
        rig.add(u"p%1.png"_s.arg(i, 2, 10, QChar(u'0')), testimages::quadrants(16, 16), "PNG");
    rig.add(u"z.jpg"_s, testimages::quadrants(16, 16), "JPEG"); // skipped for JPEG
    const std::vector<WorkEntry> entries = rig.list.entries();
    rig.dialogs.cancelAtFirstMessage = true;
    // The files in progress when "Annuler" comes finish only after it.
    rig.controller.setAfterEachConversion([&](int index) {
        while (index > 0 && !rig.dialogs.cancelled)
            std::this_thread::yield();
    });

    rig.controller.conversion();

    const std::vector<convert::BatchResult>& results = rig.controller.lastBatch();
    QCOMPARE(results.size(), entries.size());
    int converted = 0;
    int notStarted = 0;
    std::vector<WorkEntry> kept{entries.front()};
    for (std::size_t i = 1; i + 1 < results.size(); ++i) {
        const bool done = results[i].outcome == convert::BatchResult::Outcome::Converted;
        QCOMPARE(QFile::exists(results[i].source), !done);
        QCOMPARE(QFile::exists(results[i].output), done);
        ++(done ? converted : notStarted);
        if (!done)
            kept.push_back(entries[i]);
    }
    QVERIFY(notStarted > 0);
    const QString tally =
        u"Conversion interrompue : %1 converti(s), 1 ignoré(s), 1 en échec, %2 non commencé(s)."_s
            .arg(converted)
            .arg(notStarted);
    QCOMPARE(rig.messages(),
             (QList<ScriptedDialogs::Call>{
                 ScriptedDialogs::shown(
                     u"il y a eu erreur pendant la conversion dea.bmp !Status Code= 2"_s,
                     u"Morvane"_s, DialogIcon::Critical),
                 ScriptedDialogs::shown(tally, u"Morvane"_s, DialogIcon::Information)}));
    QCOMPARE(rig.list.entries(), kept);
    QVERIFY(rig.list.isConsistent());
    QCOMPARE(rig.refreshes, 1);
}

void ConversionControllerTest::metadataOptionsReachBothConversions()
{
    const timespec old{1'200'000'000, 5};
    for (const bool batch : {false, true}) {
        Rig rig;
        QVERIFY(rig.store.write(settings::names::garderMeta, u"False"_s));
        QVERIFY(rig.store.write(settings::names::garderDates, u"True"_s));
        QVERIFY(rig.store.write(settings::names::compressionPng, u"0"_s));
        QVERIFY(QFile::copy(QStringLiteral(MORVANE_TEST_DATA "/camera.jpg"), rig.path(u"a.jpg"_s)));
        const timespec times[2] = {{0, UTIME_OMIT}, old};
        QCOMPARE(
            ::utimensat(AT_FDCWD, QFile::encodeName(rig.path(u"a.jpg"_s)).constData(), times, 0),
            0);
        rig.list.add(rig.files.path() + u'/', {u"a.jpg"_s});
        if (batch)
            rig.add(u"b.bmp"_s, testimages::quadrants(8, 8), "BMP");
        rig.panel.outputFormats()->setCurrentIndex(
            convert::outputFormatForCode(convert::formatCodePng)->position);
        rig.controller.conversion();

        QFile output(rig.path(batch ? u"a.PNG"_s : u"a.png"_s));
        QVERIFY(output.open(QIODevice::ReadOnly));
        // Stored without compression: at least three bytes a pixel.
        QVERIFY(output.size() >= 480 * 640 * 3);
        QVERIFY(!output.readAll().contains("Raw profile type exif"));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(output.fileName()).constData(), &st), 0);
        QCOMPARE(st.st_mtim.tv_sec, old.tv_sec);
        QCOMPARE(st.st_mtim.tv_nsec, old.tv_nsec);
    }
}

void ConversionControllerTest::advancedOptionsReachBothConversions()
{
    Rig rig;
    rig.store.write(settings::names::tiffWebp, u"1"_s);
    rig.store.write(settings::names::tailleMax, u"24x24"_s);
    rig.add(u"photo.webp"_s, testimages::quadrants(48, 36), "PNG");
    rig.panel.outputFormats()->setCurrentIndex(3);
    rig.controller.conversion();
    // The single conversion has its own size control.
    QCOMPARE(QImage(rig.path(u"photo.png"_s)).size(), QSize(48, 36));

    rig.add(u"a.webp"_s, testimages::quadrants(48, 36), "PNG");
    rig.add(u"b.TIFF"_s, testimages::quadrants(48, 36), "PNG");
    rig.panel.outputFormats()->setCurrentIndex(2);
    rig.controller.conversion();
    QCOMPARE(QImage(rig.path(u"a.JPG"_s)).size(), QSize(24, 18));
    QCOMPARE(QImage(rig.path(u"b.JPG"_s)).size(), QSize(24, 18));
    QCOMPARE(rig.messages().size(), 2);
}

QTEST_MAIN(ConversionControllerTest)
#include "test_conversioncontroller.moc"
