#include "convert/convertpanel.h"
#include "lists/listscontroller.h"
#include "lists/worklistpanel.h"
#include "rename/renamepanel.h"
#include "settings/settingsschema.h"
#include "testimages.h"
#include "windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

// The user's roads through the main window, with scripted answers.
class RoadsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Fixture> m_f;
    MainWindow* m_window = nullptr;
    std::unique_ptr<QTemporaryDir> m_photoDir;

    QStringList filesIn(const QString& d) { return QDir(d).entryList(QDir::Files, QDir::Name); }
    // The names of a blank-separated list.
    static QStringList words(const char* text) { return QString::fromUtf8(text).split(u' '); }
    QString statusCount() const { return m_window->findChild<QLabel*>(u"StatusCount"_s)->text(); }

    // Browses to the photo folder, filters on `filter`, selects `names` and adds them.
    void browseSelectAndAdd(int filter, const QStringList& names)
    {
        BrowsePanel* browse = m_window->browsePanel();
        QVERIFY(browse->setFolder(m_photoDir->path()));
        browse->typeFilter()->setCurrentIndex(filter);
        browse->chooseFilter(filter);
        QListView* lv1 = browse->files();
        for (int row = 0; row < lv1->model()->rowCount(); ++row) {
            const QModelIndex index = lv1->model()->index(row, 0);
            if (names.contains(index.data().toString()))
                lv1->selectionModel()->select(index, QItemSelectionModel::Select);
        }
        m_window->lists()->ajouter();
    }

    // Key presses go to the widget that has the focus, as the keyboard's do.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // Tab (or Shift+Tab) until `target` has the focus.
    static bool tabTo(QWidget* target, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        for (int i = 0; i < 40 && QApplication::focusWidget() != target; ++i)
            press(Qt::Key_Tab, modifiers);
        return QApplication::focusWidget() == target;
    }
    // Selects the entry of the focused list whose name begins with `name`, by typing it.
    static void pick(const QString& name)
    {
        QTest::qWait(QApplication::keyboardInputInterval() + 50); // a new search, not a longer one
        QTest::keyClicks(QApplication::focusWidget(), name);
    }

private Q_SLOTS:
    void init()
    {
        m_f = std::make_unique<Fixture>();
        m_window = &m_f->make();
        m_photoDir = std::make_unique<QTemporaryDir>();
        const QImage picture = testimages::quadrants(64, 48);
        for (const char* name : {"IMG_0002.JPG", "IMG_0001.JPG", "IMG_0003.JPG", "logo.png"})
            QVERIFY(testimages::write(picture, m_photoDir->filePath(QLatin1String(name)),
                                      QByteArray(name).endsWith(".png") ? "PNG" : "JPEG"));
    }
    void cleanup() { m_f.reset(); }

    void renameThenConvertRoad()
    {
        // "JPG/JPEG" lists the three photos; two are picked, in list order.
        browseSelectAndAdd(3, words("IMG_0001.JPG IMG_0003.JPG"));
        WorkListPanel* workList = m_window->workListPanel();
        QCOMPARE(workList->workList().count(), 2);
        QCOMPARE(statusCount(), u"2 fichier(s) séléctionné(s)"_s);

        // Form 20 with a name text and the style "000".
        RenamePanel* panel = m_window->renamePanel();
        panel->nameForms()->setCurrentIndex(20);
        Q_EMIT panel->nameForms()->activated(20);
        panel->nameText()->setText(u"vacances"_s);
        panel->numberingStyles()->setCurrentIndex(2);
        Q_EMIT panel->numberingStyles()->activated(2);
        QCOMPARE(m_f->store->readText(settings::names::format), u"2"_s);
        QCOMPARE(panel->example()->text(), u"vacances001.JPG"_s);

        m_f->dialogs.answerAsk(true);
        m_window->toolbarAction(u"renommer"_s)->trigger();

        QVERIFY2(m_f->dialogs.messages().isEmpty(),
                 qPrintable(m_f->dialogs.messages().value(0).text));
        QCOMPARE(filesIn(m_photoDir->path()),
                 words("IMG_0002.JPG logo.png vacances001.JPG vacances002.JPG"));
        QVERIFY(workList->workList().isEmpty());
        QCOMPARE(statusCount(), QString());
        QCOMPARE(panel->example()->text(), QString());
        // The browse list shows the folder as it is now.
        QCOMPARE(m_window->browsePanel()->names(),
                 words("IMG_0002.JPG vacances001.JPG vacances002.JPG"));

        // Then the batch conversion of several files to PNG, the PNG original skipped. The single
        // conversion is on the keyboard road.
        m_window->findChild<QTabBar*>(u"TS1"_s)->setCurrentIndex(1);
        browseSelectAndAdd(0, words("IMG_0002.JPG logo.png vacances001.JPG"));
        QCOMPARE(workList->workList().count(), 3);
        m_window->convertPanel()->outputFormats()->setCurrentIndex(3);
        m_window->toolbarAction(u"conversion"_s)->trigger();
        QCOMPARE(m_f->dialogs.messages().size(), 1);
        QCOMPARE(m_f->dialogs.messages().first().text, u"les conversions sont terminées !"_s);
        QCOMPARE(filesIn(m_photoDir->path()),
                 words("IMG_0002.JPG IMG_0002.PNG logo.png "
                       "vacances001.JPG vacances001.PNG vacances002.JPG"));
        QCOMPARE(QImage(m_photoDir->filePath(u"IMG_0002.PNG"_s)).size(), QSize(64, 48));
        QVERIFY(workList->workList().isEmpty());
        QCOMPARE(statusCount(), QString());
    }

    // Every road without the mouse: browse, add, remove, rename, convert, copy, move, delete
    // and open, by key presses only.
    void keyboardRoads()
    {
        const QString folder = QDir(m_photoDir->path()).canonicalPath();
        QTemporaryDir destination;
        QVERIFY(m_f->store->write(settings::names::format, u"2"_s)); // "000"
        m_window->show();
        QApplication::setActiveWindow(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        BrowsePanel* browse = m_window->browsePanel();
        QListView* lv1 = browse->files();
        QAbstractItemView* lv2 = m_window->workListPanel()->view();

        // Browse: the folder list from the volume's root down to the photos, then Enter.
        QVERIFY(tabTo(browse->folders()));
        const QStringList parts = folder.split(u'/', Qt::SkipEmptyParts);
        for (int i = 0; i < parts.size(); ++i) {
            if (i > 0) {
                press(Qt::Key_Right); // opens the folder
                press(Qt::Key_Right); // goes to its first folder
            }
            const QString path = u'/' + parts.mid(0, i + 1).join(u'/');
            pick(parts[i]);
            QTRY_COMPARE(
                browse->folders()->currentIndex().data(QFileSystemModel::FilePathRole).toString(),
                path);
        }
        press(Qt::Key_Return);
        QCOMPARE(QDir(browse->folder()).canonicalPath(), folder);

        // Add with Enter, remove with Delete in the work list.
        QVERIFY(tabTo(lv1));
        WorkListPanel* workList = m_window->workListPanel();
        press(Qt::Key_Return); // nothing selected yet: the entry with the focus
        QCOMPARE(workList->workList().count(), 1);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Down, Qt::ShiftModifier);
        press(Qt::Key_Return);
        QCOMPARE(workList->workList().count(), 3);
        QVERIFY(tabTo(lv2));
        press(Qt::Key_End);
        press(Qt::Key_Delete);
        QCOMPARE(workList->workList().count(), 2);
        QCOMPARE(filesIn(folder).size(), 4); // Delete in the work list deletes no file

        // Rename with F2: "image" and a number.
        m_f->dialogs.answerAsk(true);
        press(Qt::Key_F2);
        QVERIFY2(m_f->dialogs.messages().isEmpty(),
                 qPrintable(m_f->dialogs.messages().value(0).text));
        QCOMPARE(filesIn(folder), words("IMG_0003.JPG image001.JPG image002.JPG logo.png"));

        // Convert with Ctrl+E on the "Convertir" tab, reached by Ctrl+Page Down.
        press(Qt::Key_PageDown, Qt::ControlModifier);
        QVERIFY(!m_window->convertPanel()->isHidden());
        QVERIFY(tabTo(lv1, Qt::ShiftModifier));
        pick(u"logo"_s);
        press(Qt::Key_Return);
        m_f->dialogs.clear();
        press(Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(m_f->dialogs.messages().size(), 1);
        QCOMPARE(m_f->dialogs.messages().first(),
                 ScriptedDialogs::shown(u"la conversion du fichier est terminée !"_s, u"Morvane"_s,
                                        DialogIcon::Information));
        QCOMPARE(QImage(folder + u"/logo.jpg"_s).size(), QSize(64, 48));

        // Copy, move and delete from the browse list.
        QVERIFY(tabTo(lv1));
        for (int i = 0; i < 3; ++i) {
            m_f->dialogs.answerAsk(true);
            m_f->dialogs.answerFolder(destination.path()); // the last one unused: no picker
        }
        pick(u"image001"_s);
        press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        pick(u"image002"_s);
        press(Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        pick(u"IMG_0003"_s);
        press(Qt::Key_Delete);
        QCOMPARE(filesIn(folder), words("image001.JPG logo.jpg logo.png"));
        QCOMPARE(filesIn(destination.path()), words("image001.JPG image002.JPG"));

        // Open through the menu's mnemonics: Alt+F, then O.
        pick(u"logo.png"_s);
        press(Qt::Key_F, Qt::AltModifier);
        QMenu* fichier = m_window->menuItem(u"fich"_s)->menu();
        QTRY_VERIFY(fichier->isVisible());
        QTest::keyClick(fichier, Qt::Key_O);
        QTRY_COMPARE(m_f->desktop.urls.size(), 1);
        QCOMPARE(m_f->desktop.urls.first().toLocalFile(), folder + u"/logo.png"_s);
    }
};

QTEST_MAIN(RoadsTest)
#include "roads_test.moc"
