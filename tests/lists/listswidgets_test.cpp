#include "lists/browsepanel.h"
#include "lists/listscontroller.h"
#include "lists/worklistpanel.h"
#include "preview/enlargedview.h"
#include "preview/fitrule.h"
#include "preview/previewcontroller.h"
#include "scripteddialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"
#include "testimages.h"

#include "listtestutil.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <cerrno>

using namespace Qt::StringLiterals;
using listtest::words;

namespace {

// A window holding both panels and their controller, with its own settings file, scripted
// dialogs and a folder of generated pictures.
struct Fixture
{
    QTemporaryDir files;
    QTemporaryDir settingsDir;
    SettingsStore store{settingsDir.filePath(u"Morvane.ini"_s)};
    ScriptedDialogs dialogs;
    QWidget window;
    BrowsePanel* browse = new BrowsePanel;
    WorkListPanel* work = new WorkListPanel;
    ListsController* lists;
    QString countText = u"(never shown)"_s;
    int examplesCleared = 0;
    int entriesAdded = 0;

    Fixture()
    {
        store.initialise(settingsDir.path());
        auto* layout = new QHBoxLayout(&window);
        layout->addWidget(browse);
        layout->addWidget(work, 1);
        auto* preview =
            new PreviewController(&store, &dialogs, browse->previewBox(), browse->previewSource(),
                                  ListsController::browseListAccess(browse),
                                  ListsController::workListAccess(work), &window);
        lists = new ListsController(browse, work, preview, &dialogs, &window);
        QObject::connect(work, &WorkListPanel::countTextChanged,
                         [this](const QString& text) { countText = text; });
        QObject::connect(work, &WorkListPanel::exampleCleared, [this] { ++examplesCleared; });
        QObject::connect(work, &WorkListPanel::entriesAdded, [this] { ++entriesAdded; });
        browse->fillTypeFilter();
        window.resize(700, 560);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    QString file(const QString& name) const { return files.filePath(name); }
    // Files of a few bytes named `names`, their folders made as needed.
    void touch(const char* names)
    {
        for (const QString& name : words(names)) {
            QVERIFY(QDir(files.path()).mkpath(QFileInfo(file(name)).path()));
            QVERIFY(testimages::writeBytes(file(name), "x"));
        }
    }
    // The files, then Dir1 on their folder.
    void listFiles(const char* names)
    {
        touch(names);
        QVERIFY(browse->setFolder(files.path()));
    }
    void picture(const QString& name, int w, int h, const char* format)
    {
        QVERIFY(testimages::write(testimages::quadrants(w, h), file(name), format));
    }
    void visu(const QString& value) { store.write(settings::names::visu, value); }

    QListView* lv1() const { return browse->files(); }
    QTreeView* lv2() const { return work->view(); }
    int row(const QString& name) const { return int(browse->names().indexOf(name)); }

    void click(QAbstractItemView* view, int row)
    {
        const QModelIndex index = view->model()->index(row, 0);
        QVERIFY(index.isValid());
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }
    void select(const QStringList& names)
    {
        QItemSelectionModel* selection = lv1()->selectionModel();
        selection->clearSelection();
        for (const QString& name : names)
            selection->select(lv1()->model()->index(row(name), 0), QItemSelectionModel::Select);
    }
    QStringList workNames() const { return listtest::names(work->workList()); }
    // The work list as the user sees it: "count | marker | names".
    QString state() const
    {
        return countText + u" | "_s + work->marker()->text() + u" | "_s + workNames().join(u' ');
    }
    PreviewBox* box() const { return browse->previewBox(); }
    QString label6() const { return browse->previewSource()->text(); }
};

} // namespace

class ListsWidgetsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void browseListsThroughTheFilterAndAFolderThatCannotBeListedMovesNothing()
    {
        Fixture f;
        QVERIFY(QDir(f.files.path()).mkdir(u"sub"_s));
        // A folder whose name is not valid UTF-8 is left out of Dir1, as such files are of LV1.
        const QByteArray raw = QFile::encodeName(f.files.path()) + "/caf\xe9";
        QVERIFY(::mkdir(raw.constData(), 0755) == 0);
        auto* model = qobject_cast<QFileSystemModel*>(f.browse->folders()->model());
        QVERIFY(model);
        QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
        QCOMPARE(f.browse->typeFilter()->currentIndex(), 0);
        f.listFiles("b.JPG a.jpeg d.txt");
        QTRY_VERIFY(loaded.contains(QVariantList{f.files.path()}));
        QCOMPARE(model->rowCount(model->index(f.files.path())), 1);
        QVERIFY(::rmdir(raw.constData()) == 0); // QTemporaryDir cannot name it
        QCOMPARE(f.lv1()->model()->index(1, 0).data().toString(), u"b.JPG"_s);
        QCOMPARE(f.browse->names(), words("a.jpeg b.JPG"));

        // Choosing "JPG/JPEG - JPG Images" lists *.JPG only and clears the preview.
        f.box()->showNotAvailable();
        f.browse->chooseFilter(3);
        QCOMPARE(f.browse->names(), words("b.JPG"));
        QVERIFY(f.box()->notAvailableLabel()->isHidden());
        QVERIFY(f.dialogs.calls().isEmpty());

        QVERIFY(!f.browse->setFolder(f.file(u"b.JPG"_s)));
        QCOMPARE(f.dialogs.calls(), {ScriptedDialogs::shown(qt_error_string(ENOTDIR), u"Morvane"_s,
                                                            DialogIcon::Warning)});
        // LV1 keeps its entries and Dir1 the folder they belong to.
        QCOMPARE(f.browse->folder(), f.files.path() + u'/');
        QCOMPARE(f.browse->names(), words("b.JPG"));
        QCOMPARE(model->filePath(f.browse->folders()->currentIndex()), f.files.path());
    }

    // A folder that vanishes moves the panel to its nearest ancestor still there. An unreadable
    // volume falls back to the previous one, or to the start-up one when that was pulled out too.
    void volumeChangeAndAVanishedFolderFallBackSilently()
    {
        Fixture f;
        f.touch("startup/s.jpg previous/p.jpg card a/p.jpg a/b/c/q.jpg");
        QVERIFY(f.browse->openFolder(f.file(u"a/b/c"_s)));
        QCOMPARE(f.browse->names(), words("q.jpg"));
        QVERIFY(QDir(f.file(u"a/b"_s)).removeRecursively());
        QTRY_COMPARE(f.browse->folder(), f.file(u"a/"_s));
        QCOMPARE(f.browse->names(), words("p.jpg"));

        const QString startup = f.file(u"startup/"_s), previous = f.file(u"previous/"_s),
                      card = f.file(u"card/"_s);
        f.browse->setVolumes({{startup, startup}, {previous, previous}, {card, card}}, startup);
        f.browse->chooseVolume(previous);
        f.browse->chooseVolume(card);
        QCOMPARE(f.browse->folder(), previous);
        QVERIFY(QDir(previous).removeRecursively());
        f.browse->chooseVolume(card);
        QCOMPARE(f.browse->folder(), startup);
        QCOMPARE(f.browse->drives()->currentData().toString(), startup);
        QCOMPARE(f.browse->names(), words("s.jpg"));
        QVERIFY(f.dialogs.calls().isEmpty());
    }

    // The count, the marker and the example follow every change of the list.
    void addingMovingRemovingAndEmptying()
    {
        Fixture f;
        f.visu(u"0"_s); // no preview of these few bytes
        f.listFiles("A.JPG a.jpg b.jpg");
        QCOMPARE(f.work->marker()->text(), u"non"_s);
        f.select(words("b.jpg"));
        QTest::mouseClick(f.work->addButton(), Qt::LeftButton);
        QCOMPARE(f.state(), u"1 fichier(s) séléctionné(s) | oui | b.jpg"_s);
        // Removing the only entry empties the count and the example.
        f.click(f.lv2(), 0);
        QTest::mouseClick(f.work->removeButton(), Qt::LeftButton);
        QCOMPARE(f.state(), u" | non | "_s);
        QCOMPARE(f.examplesCleared, 1);

        // Adding all appends only the new file. A double click adds the selection; with nothing
        // new, or nothing selected, the count and the example are refreshed all the same.
        f.select(words("A.JPG a.jpg"));
        QTest::mouseClick(f.work->addButton(), Qt::LeftButton);
        QTest::mouseClick(f.work->addAllButton(), Qt::LeftButton);
        f.select(words("b.jpg"));
        Q_EMIT f.lv1()->doubleClicked(f.lv1()->model()->index(f.row(u"b.jpg"_s), 0));
        f.select({});
        f.countText.clear();
        f.lists->ajouter();
        QCOMPARE(f.state(), u"3 fichier(s) séléctionné(s) | oui | A.JPG a.jpg b.jpg"_s);
        QCOMPARE(f.entriesAdded, 5);

        // Moves keep the selection on the moved entry and leave the count alone.
        QSignalSpy counts(f.work, &WorkListPanel::countTextChanged);
        f.click(f.lv2(), 2);
        QTest::mouseClick(f.work->upButton(), Qt::LeftButton);
        QTest::mouseClick(f.work->upButton(), Qt::LeftButton);
        QCOMPARE(f.workNames(), words("b.jpg A.JPG a.jpg"));
        QCOMPARE(f.lv2()->selectionModel()->selectedRows(), {f.lv2()->model()->index(0, 0)});
        f.click(f.lv2(), 1);
        QTest::mouseClick(f.work->downButton(), Qt::LeftButton);
        QCOMPARE(f.workNames(), words("b.jpg a.jpg A.JPG"));
        QCOMPARE(f.lv2()->selectionModel()->selectedRows(), {f.lv2()->model()->index(2, 0)});
        QCOMPARE(counts.count(), 0);

        // Emptying clears rows, count, marker and example together; emptying again says nothing.
        f.examplesCleared = 0;
        QTest::mouseClick(f.work->clearButton(), Qt::LeftButton);
        QTest::mouseClick(f.work->clearButton(), Qt::LeftButton);
        QCOMPARE(f.state(), u" | non | "_s);
        QCOMPARE(f.lv2()->model()->rowCount(), 0);
        QVERIFY(f.examplesCleared >= 1);
        QVERIFY(f.work->workList().isConsistent());
        QVERIFY(f.dialogs.calls().isEmpty());
    }

    // A click or a run of key presses previews the entry the list reached, or shows the loader's
    // message; nothing unless "Visu" is "1".
    void previewFollowsClicksAndTheKeyboard()
    {
        Fixture f;
        f.picture(u"a.jpg"_s, 400, 300, "JPEG");
        f.picture(u"b.jpg"_s, 100, 40, "JPEG");
        f.picture(u"c.png"_s, 50, 80, "PNG");
        f.listFiles("0.jpg"); // not a picture
        f.visu(u"True"_s);
        f.box()->showNotAvailable(); // something to clear
        f.click(f.lv1(), f.row(u"a.jpg"_s));
        QVERIFY(!f.box()->hasPicture() && f.box()->notAvailableLabel()->isHidden());
        QCOMPARE(f.label6(), u"Label6"_s);

        f.visu(u"1"_s);
        f.click(f.lv1(), f.row(u"a.jpg"_s));
        QVERIFY(f.box()->hasPicture());
        QCOMPARE(f.label6(), u"LV1"_s);
        QCOMPARE(f.box()->area(), QSize(205, 149));
        QCOMPARE(f.box()->target(), preview::fitAndDraw(400, 300, 205, 149));
        f.click(f.lv1(), f.row(u"0.jpg"_s));
        QVERIFY(!f.box()->hasPicture());
        const QList<ScriptedDialogs::Call> message = {
            ScriptedDialogs::shown(u"Image incorrecte"_s, u"Morvane"_s, DialogIcon::Warning)};
        QCOMPARE(f.dialogs.calls(), message);

        // A run of key presses decodes once, for the entry the last one reached.
        f.lv1()->setFocus();
        QTest::keyClick(f.lv1(), Qt::Key_Home);
        QTest::keyClick(f.lv1(), Qt::Key_Down);
        QTest::keyClick(f.lv1(), Qt::Key_Down);
        QVERIFY(!f.box()->hasPicture());
        QTRY_VERIFY(f.box()->hasPicture());
        QCOMPARE(f.box()->target(), preview::fitAndDraw(100, 40, 205, 149));
        // A PNG: not previewable by default, previewable with "ApercuTout".
        QTest::keyClick(f.lv1(), Qt::Key_End);
        QTRY_VERIFY(f.box()->notAvailableLabel()->isVisible());
        QVERIFY(f.store.write(settings::names::apercuTout, u"1"_s));
        QTest::keyClick(f.lv1(), Qt::Key_Up);
        QTest::keyClick(f.lv1(), Qt::Key_End);
        QTRY_VERIFY(f.box()->hasPicture());
        QCOMPARE(f.box()->target(), preview::fitAndDraw(50, 80, 205, 149));
        QCOMPARE(f.dialogs.calls(), message);

        // A click in LV2 previews too. On the "Convertir" tab it is signalled, even with the
        // preview off, and the keyboard moves the entry as a click does.
        QSignalSpy conversion(f.lists, &ListsController::conversionEntryClicked);
        f.lists->tout();
        f.click(f.lv2(), 1);
        QCOMPARE(f.label6(), u"LV2"_s);
        QCOMPARE(f.box()->target(), preview::fitAndDraw(400, 300, 205, 149));
        QCOMPARE(conversion.count(), 0);
        f.lists->setConversionTabShown(true);
        f.visu(u"0"_s);
        f.click(f.lv2(), 1);
        QVERIFY(!f.box()->hasPicture());
        QCOMPARE(conversion.count(), 1);
        f.lv2()->setFocus();
        QTest::keyClick(f.lv2(), Qt::Key_End);
        QTRY_COMPARE(conversion.count(), 2);
    }

    void enlargedView()
    {
        Fixture f;
        f.picture(u"a.jpg"_s, 800, 600, "JPEG");
        f.picture(u"b.bmp"_s, 100, 40, "BMP");
        f.picture(u"c.png"_s, 50, 50, "PNG");
        QVERIFY(testimages::writeBytes(f.file(u"d.gif"_s), "GIF89a but damaged"));
        QVERIFY(f.browse->setFolder(f.files.path()));
        PreviewController* preview = f.lists->preview();

        // Before any preview a click on the box does nothing.
        f.select(words("a.jpg"));
        QTest::mouseClick(f.box(), Qt::LeftButton);
        QVERIFY(!preview->enlargedView());

        f.click(f.lv1(), f.row(u"a.jpg"_s));
        QCOMPARE(f.label6(), u"LV1"_s);

        // Several enlargeable entries: the window ends on the last one, at its own size.
        f.select(words("a.jpg b.bmp c.png"));
        QTest::mouseClick(f.box(), Qt::LeftButton);
        EnlargedView* form2 = preview->enlargedView();
        QVERIFY(form2 && form2->isVisible());
        QCOMPARE(form2->target(), QRectF(147.5, 129, 100, 40));

        // A click anywhere closes it; the next opening reuses it and scales a large picture down.
        QTest::mouseClick(form2, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!form2->isVisible());
        f.select(words("a.jpg"));
        QTest::mouseClick(f.box(), Qt::LeftButton);
        QCOMPARE(preview->enlargedView(), form2);
        QCOMPARE(form2->target(), preview::fitAndDraw(800, 600, 395, 298));
        QCOMPARE(form2->picture().size(), preview::decodeSize(form2->target()));

        // F11: full screen, the picture fitted again to the larger area; Escape closes.
        QTest::keyClick(form2, Qt::Key_F11);
        QTRY_VERIFY(form2->width() > 395);
        QTRY_COMPARE(form2->target(),
                     preview::fitAndDraw(800, 600, form2->width(), form2->height()));
        QCOMPARE(form2->picture().size(), preview::decodeSize(form2->target()));
        QTest::keyClick(form2, Qt::Key_Escape);
        QVERIFY(!form2->isVisible());

        // Nothing enlargeable selected: the window does not open.
        f.select(words("c.png"));
        QTest::mouseClick(f.box(), Qt::LeftButton);
        QVERIFY(!form2->isVisible());
        QVERIFY(f.dialogs.calls().isEmpty());

        // No selection: the stop message. Preview off: nothing at all.
        f.select({});
        QTest::mouseClick(f.box(), Qt::LeftButton);
        QCOMPARE(f.dialogs.calls(), {ScriptedDialogs::shown(u"Selectionner un fichier!"_s,
                                                            u"Attention"_s, DialogIcon::Critical)});
        f.dialogs.clear();
        f.visu(u"0"_s);
        QTest::mouseClick(f.box(), Qt::LeftButton);
        QVERIFY(f.dialogs.calls().isEmpty());
        f.visu(u"1"_s);

        // A damaged picture: the message, the window closed, the rest passed over.
        f.select(words("a.jpg d.gif"));
        QTest::mouseClick(f.box(), Qt::LeftButton);
        QCOMPARE(f.dialogs.calls(), {ScriptedDialogs::shown(u"Image incorrecte"_s, u"Morvane"_s,
                                                            DialogIcon::Warning)});
        QVERIFY(!form2->isVisible());
    }

    void dropsPickedTreesAndArgumentsAddLikeThePlusButton()
    {
        Fixture f;
        f.listFiles("one.jpg tree/b.png tree/sub/c.jpg tree/sub/.hidden/d.jpg tree/e.txt");
        const listtest::TooDeepFolder deep(f.file(u"tree"_s));
        f.select(words("one.jpg"));
        f.lists->ajouter();

        // A file manager drops the file already listed (by another spelling) and a folder.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(f.file(u"tree/../one.jpg"_s)),
                      QUrl::fromLocalFile(f.file(u"tree"_s)),
                      QUrl(u"https://example.org/x.jpg"_s)});
        const QPoint centre = f.lv2()->geometry().center();
        QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(f.work, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(centre, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QSignalSpy finished(f.lists, &ListsController::additionFinished);
        QApplication::sendEvent(f.work, &drop);
        // Read, never moved: the file manager must not delete what it dropped.
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QVERIFY(finished.wait());
        QCOMPARE(f.state(), u"3 fichier(s) séléctionné(s) | oui | one.jpg b.png c.jpg"_s);
        QVERIFY(f.work->workList().isConsistent());
        // The unreadable folders' text is the walk's own; here it reaches the user once.
        QCOMPARE(f.dialogs.calls().size(), 1);
        const ScriptedDialogs::Call message = f.dialogs.calls().first();
        QVERIFY(message.text.contains(u":\n"_s + deep.top()));
        QCOMPARE(message, ScriptedDialogs::shown(message.text, u"Morvane"_s, DialogIcon::Warning));

        // The Edition item through the folder picker, filtered by the type filter: JPG only.
        f.dialogs.clear();
        f.work->videLV2();
        f.browse->typeFilter()->setCurrentIndex(3);
        f.dialogs.answerFolder(f.file(u"tree/sub"_s));
        f.lists->ajouterDossier();
        QVERIFY(finished.wait());
        QCOMPARE(f.workNames(), words("c.jpg"));
        QCOMPARE(f.dialogs.calls().first().title, u"Ajouter un dossier et ses sous-dossiers"_s);

        // Start-up arguments: files are added and the browse panel opens at the first one's
        // folder; a folder alone opens there and adds nothing.
        f.lists->ouvrirArguments({f.file(u"tree/b.png"_s), f.file(u"tree/e.txt"_s)});
        QCOMPARE(f.browse->folder(), f.file(u"tree/"_s));
        QCOMPARE(f.workNames(), words("c.jpg b.png e.txt"));
        f.lists->ouvrirArguments({f.file(u"tree/sub"_s)});
        QCOMPARE(f.browse->folder(), f.file(u"tree/sub/"_s));
        QCOMPARE(f.work->workList().count(), 3);
    }
};

QTEST_MAIN(ListsWidgetsTest)
#include "listswidgets_test.moc"
