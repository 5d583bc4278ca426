#include "app/help.h"
#include "app/mainwindow.h"
#include "app/messageboxdialogs.h"
#include "app/session.h"
#include "convert/codecregistry.h"
#include "convert/convertpanel.h"
#include "lists/browsepanel.h"
#include "lists/worklistpanel.h"
#include "recordingdesktop.h"
#include "rename/renamepanel.h"
#include "scripteddialogs.h"
#include "settings/optionsdialog.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <memory>
#include <optional>
#include <tuple>

namespace n = settings::names;
using namespace Qt::StringLiterals;

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    // One window with its own settings folder, scripted dialogs and a recorded exit.
    struct Fixture
    {
        QTemporaryDir dir;
        std::unique_ptr<SettingsStore> store;
        ScriptedDialogs dialogs;
        convert::CodecSession codecs;
        RecordingDesktop desktop;
        std::optional<int> exitStatus;
        std::unique_ptr<MainWindow> window;

        explicit Fixture(const QString& iniPath = {})
        {
            store = std::make_unique<SettingsStore>(
                iniPath.isEmpty() ? dir.filePath(QStringLiteral("Morvane/Morvane.ini")) : iniPath);
        }
        MainWindow& make(const QString& programFolder = QStringLiteral("/opt/morvane"))
        {
            MainWindowServices services;
            services.settings = store.get();
            services.dialogs = &dialogs;
            services.codecs = &codecs;
            services.desktop = &desktop;
            services.hasHelpHandler = [](const QString&) { return false; };
            services.programFolder = programFolder;
            services.exit = [this](int status) { exitStatus = status; };
            window = std::make_unique<MainWindow>(services);
            return *window;
        }
        int listHeight() const { return window->browsePanel()->files()->height(); }
        bool previewShown() const { return !window->browsePanel()->previewBox()->isHidden(); }
    };

private Q_SLOTS:
    // The window looks for rename journals at start: never in the real home folder.
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_home.path() + QStringLiteral("/state")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path() + QStringLiteral("/data")));
    }

    void visuAtLoadAndOnActivation_data();
    void visuAtLoadAndOnActivation();
    void quitConfirmation_data();
    void quitConfirmation();
    void quitFromToolbar();
    void codecStartFailureEndsTheProgram();
    void startupFillsListsAndDisablesConversion();
    void unwritableSettingsAreReportedOnceAtStartup();
    void malformedSettingsAreMovedAsideAndReported();
    void toolbarKeysAndTips();
    void menusInOrder();
    void tabSwitch();
    void everyControlHasAFrenchAccessibleName();
    void lastFolderFilterAndSizeComeBackWhenAsked();
    void largerWindowGrowsTheLists();
    void valueLabelsAreReadByTheirValue();
    void messageBoxesShowTheirWholeTitle();
    void helpWindowClosesOnEscape();
};

void MainWindowTest::visuAtLoadAndOnActivation_data()
{
    QTest::addColumn<QString>("atLoad");
    QTest::addColumn<int>("heightAtLoad");
    QTest::addColumn<QString>("later");
    QTest::addColumn<int>("heightLater");

    QTest::newRow("on, then off") << "1" << 105 << "0" << 265;
    QTest::newRow("off, then on") << "0" << 265 << "1" << 105;
    QTest::newRow("other text keeps the design height") << "oui" << 105 << "2" << 105;
    QTest::newRow("off, then other text keeps it") << "0" << 265 << "" << 265;
}

void MainWindowTest::visuAtLoadAndOnActivation()
{
    QFETCH(QString, atLoad);
    QFETCH(int, heightAtLoad);
    QFETCH(QString, later);
    QFETCH(int, heightLater);

    Fixture f;
    f.store->initialise(QStringLiteral("/opt"));
    QVERIFY(f.store->write(n::visu, atLoad));
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    QCOMPARE(f.listHeight(), heightAtLoad);
    QCOMPARE(f.previewShown(), heightAtLoad == 105);

    // The options dialog changes the value; the window applies it when activated again.
    QVERIFY(f.store->write(n::visu, later));
    QCOMPARE(f.listHeight(), heightAtLoad);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    QCOMPARE(f.listHeight(), heightLater);
    QCOMPARE(f.previewShown(), heightLater == 105);
}

void MainWindowTest::quitConfirmation_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("Cancel keeps the window") << false;
    QTest::newRow("OK ends the program") << true;
}

void MainWindowTest::quitConfirmation()
{
    QFETCH(bool, ok);
    Fixture f;
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    f.dialogs.clear();
    f.dialogs.answerAsk(ok);

    QCloseEvent close;
    QApplication::sendEvent(&window, &close);

    QCOMPARE(close.isAccepted(), ok);
    QCOMPARE(f.exitStatus.has_value(), ok);
    if (ok)
        QCOMPARE(*f.exitStatus, 0);
    QCOMPARE(f.dialogs.calls().size(), 1);
    const ScriptedDialogs::Call& call = f.dialogs.calls().first();
    QCOMPARE(call.kind, ScriptedDialogs::Kind::Ask);
    QCOMPARE(call.text, QStringLiteral("Voulez-vous quitter ?"));
    QCOMPARE(call.title, QStringLiteral("Confirmation"));
    QCOMPARE(call.icon, DialogIcon::Question);

    // Once the user said OK, closing the window does not ask again.
    if (ok) {
        QCloseEvent again;
        QApplication::sendEvent(&window, &again);
        QVERIFY(again.isAccepted());
        QCOMPARE(f.dialogs.calls().size(), 1);
    }
}

void MainWindowTest::quitFromToolbar()
{
    Fixture f;
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    f.dialogs.clear();
    f.dialogs.answerAsk(false);
    window.toolbarAction(QStringLiteral("quit"))->trigger();
    QCOMPARE(f.dialogs.calls().size(), 1);
    QVERIFY(!f.exitStatus);

    f.dialogs.answerAsk(true);
    window.toolbarAction(QStringLiteral("quit"))->trigger();
    QCOMPARE(f.exitStatus, std::optional<int>(0));
}

void MainWindowTest::codecStartFailureEndsTheProgram()
{
    convert::CodecRegistry::hideMimeTypeForTesting("IMAGE/GIF");
    Fixture f;
    MainWindow& window = f.make();
    const bool loaded = window.Form_Load();
    convert::CodecRegistry::clearHiddenMimeTypesForTesting();

    QVERIFY(!loaded);
    QCOMPARE(f.exitStatus, std::optional<int>(1));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, QStringLiteral("Erreur chargement GDI+ !"));
    QCOMPARE(messages.first().title, QStringLiteral("Morvane"));
    QCOMPARE(messages.first().icon, DialogIcon::Critical);
    QVERIFY(!f.codecs.isOpen());

    // Closing what is left does not ask for confirmation.
    QCloseEvent close;
    QApplication::sendEvent(&window, &close);
    QVERIFY(close.isAccepted());
    QCOMPARE(f.dialogs.calls().size(), 1);
}

void MainWindowTest::startupFillsListsAndDisablesConversion()
{
    Fixture f;
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    QVERIFY(f.dialogs.calls().isEmpty());
    QVERIFY(f.codecs.isOpen());
    QCOMPARE(f.store->readText(n::repertNom), QStringLiteral("/opt/morvane"));

    QComboBox* combo3 = window.convertPanel()->outputFormats();
    QCOMPARE(combo3->count(), 4);
    QCOMPARE(combo3->currentText(), QStringLiteral("JPG - JPG Images"));
    QVERIFY(!window.toolbarAction(QStringLiteral("conversion"))->isEnabled());
    QVERIFY(window.toolbarAction(QStringLiteral("renommer"))->isEnabled());
    QVERIFY(window.convertPanel()->isHidden());
    QCOMPARE(window.windowTitle(), QStringLiteral("Morvane"));

    // At the start size "Fichiers" and "Chemin d'accés" fill LV2 as they did alone;
    // "Nouveau nom" comes after them.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* lv2 = window.findChild<QTreeView*>(QStringLiteral("LV2"));
    QHeaderView* header = lv2->header();
    QCOMPARE(header->sectionPosition(0), 0);
    QCOMPARE(header->sectionSize(0), 130);
    QCOMPARE(header->sectionPosition(1), 130);
    QCOMPARE(header->sectionSize(1), lv2->viewport()->width() - 130);
    QCOMPARE(header->sectionPosition(2), lv2->viewport()->width());
    QCOMPARE(lv2->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Nouveau nom"));
}

void MainWindowTest::unwritableSettingsAreReportedOnceAtStartup()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Fixture f(dir.filePath(QStringLiteral("blocker/Morvane.ini")));
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());

    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, f.store->writeFailureText());
    QCOMPARE(messages.first().title, QStringLiteral("Morvane"));
    QCOMPARE(messages.first().icon, DialogIcon::Warning);
    // With nothing stored, "Visu" reads as empty text: the design layout stays.
    QCOMPARE(f.listHeight(), 105);
}

void MainWindowTest::malformedSettingsAreMovedAsideAndReported()
{
    Fixture f;
    const QString path = f.store->filePath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[software/Morvane\nVisu=0\n");
    file.close();

    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages.first().text.startsWith(QStringLiteral("Le fichier de réglages « ") + path));
    QCOMPARE(messages.first().icon, DialogIcon::Warning);
    QCOMPARE(f.store->readText(n::visu), QStringLiteral("1"));
    QCOMPARE(f.listHeight(), 105);
}

void MainWindowTest::toolbarKeysAndTips()
{
    Fixture f;
    MainWindow& window = f.make();
    // Key, tooltip, and the menu item sharing the button's action (empty for none).
    const QList<std::tuple<QString, QString, QString>> expected = {
        {QStringLiteral("ouvrir"), QStringLiteral("Ouvre le fichier (Ctrl+O)"), u"ouvr1"_s},
        {QStringLiteral("copier"), QStringLiteral("Copie le fichier (Ctrl+Shift+C)"), u"cop"_s},
        {QStringLiteral("supprimer"), QStringLiteral("Supprime le fichier (Del)"), u"supp"_s},
        {QStringLiteral("deplacer"), QStringLiteral("Déplacer le fichier (Ctrl+Shift+M)"),
         u"depl"_s},
        {QStringLiteral("renommer"), QStringLiteral("Renommer les fichiers (F2)"), {}},
        {QStringLiteral("conversion"), QStringLiteral("Convertir les fichiers image (Ctrl+E)"), {}},
        {QStringLiteral("aide"), QStringLiteral("Aide (F1)"), u"aide"_s},
        {QStringLiteral("quit"), QStringLiteral("Quitter (Ctrl+Q)"), u"quit"_s},
    };
    auto* toolbar = window.findChild<QToolBar*>(QStringLiteral("Toolbar1"));
    QVERIFY(toolbar);
    const QList<QAction*> actions = toolbar->actions();
    QCOMPARE(actions.size(), 12);
    const QList<int> separators = {0, 2, 6, 9};
    int button = 0;
    for (int position = 0; position < actions.size(); ++position) {
        QCOMPARE(actions[position]->isSeparator(), separators.contains(position));
        if (actions[position]->isSeparator())
            continue;
        const auto& [key, tip, menuItem] = expected[button];
        QCOMPARE(actions[position]->property("key").toString(), key);
        QCOMPARE(actions[position]->toolTip(), tip);
        if (!menuItem.isEmpty())
            QCOMPARE(window.menuItem(menuItem), actions[position]);
        ++button;
    }
}

void MainWindowTest::menusInOrder()
{
    Fixture f;
    MainWindow& window = f.make();
    // Name, caption (the mnemonic marked by '&') and shortcut of every item of the bar, in
    // order; "-" is a separator.
    const QList<std::pair<const char*, QStringList>> bar = {
        {"fich",
         {QStringLiteral("ouvr1=&Ouvrir (Ctrl+O)"), QStringLiteral("sep3=-"),
          QStringLiteral("quit=&Quitter (Ctrl+Q)")}},
        {"edit",
         {QStringLiteral("cop=&Copier (Ctrl+Shift+C)"), QStringLiteral("supp=&Supprimer (Del)"),
          QStringLiteral("depl=&Déplacer (Ctrl+Shift+M)"), QStringLiteral("sep2=-"),
          QStringLiteral("ajfich=&Ajouter fichier(s) séléctionné(s)"),
          QStringLiteral("ajtout=Ajouter &tous les fichiers"),
          QStringLiteral("enfich=&Enlever fichier(s) séléctionné(s) (Del)"),
          QStringLiteral("vide=&Vider la liste des fichiers à renommer"), QStringLiteral("sep4=-"),
          QStringLiteral("annulren=A&nnuler le dernier renommage (Ctrl+Z)"),
          QStringLiteral("ajdossier=Ajouter un d&ossier et ses sous-dossiers…")}},
        {"opt", {}},
        {"apropos",
         {QStringLiteral("aide=&Aide (F1)"), QStringLiteral("sep1=-"),
          QStringLiteral("ap=A &propos")}},
    };
    const auto describe = [](const QList<QAction*>& actions) {
        QStringList result;
        for (const QAction* action : actions) {
            const QString shortcut = action->shortcut().toString();
            result.append(action->objectName() + QLatin1Char('=') +
                          (action->isSeparator() ? QStringLiteral("-") : action->text()) +
                          (shortcut.isEmpty() ? QString() : u" ("_s + shortcut + u')'));
        }
        return result;
    };
    const QList<QAction*> top = window.menuBar()->actions();
    QCOMPARE(top.size(), bar.size());
    for (int i = 0; i < bar.size(); ++i) {
        QCOMPARE(window.menuItem(QLatin1String(bar[i].first)), top[i]);
        QCOMPARE(top[i]->menu() ? describe(top[i]->menu()->actions()) : QStringList(),
                 bar[i].second);
    }
    QCOMPARE(top[0]->text(), u"&Fichier"_s);
    QCOMPARE(top[1]->text(), u"&Edition"_s);
    QCOMPARE(top[2]->text(), u"&Options"_s);
    QCOMPARE(top[2]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QCOMPARE(top[3]->text(), u"A &propos"_s);

    QMenu* flottant = window.flottant();
    QCOMPARE(flottant->objectName(), QStringLiteral("flottant"));
    QCOMPARE(flottant->title(), QStringLiteral("Flottant"));
    QCOMPARE(describe(flottant->actions()),
             (QStringList{QStringLiteral("ouvrir=Ouvrir"), QStringLiteral("sep=-"),
                          QStringLiteral("copier=Copier"), QStringLiteral("sup=Supprimer"),
                          QStringLiteral("depla=Déplacer"), QStringLiteral("sep12=-"),
                          QStringLiteral("ajfichier=Ajouter fichier"),
                          QStringLiteral("ajtotal=Ajouter tout"), QStringLiteral("sep13=-"),
                          QStringLiteral("selectall=Selectionner tout")}));

    // With nothing selected, the pop-up's "Copier" asks the user to select a file.
    QVERIFY(window.Form_Load());
    f.dialogs.clear();
    window.menuItem(QStringLiteral("copier"))->trigger();
    QCOMPARE(f.dialogs.calls().size(), 1);
    QCOMPARE(f.dialogs.calls().first().text, QStringLiteral("Selectionner un fichier!"));

    // "Options" opens one modeless dialog, brought back rather than opened twice.
    window.menuItem(QStringLiteral("opt"))->trigger();
    QPointer<OptionsDialog> options = window.optionsDialog();
    QVERIFY(options && options->isVisible() && !options->isModal());
    window.menuItem(QStringLiteral("opt"))->trigger();
    QCOMPARE(window.optionsDialog(), options.data());
}

void MainWindowTest::tabSwitch()
{
    Fixture f;
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    auto* tabs = window.findChild<QTabBar*>(QStringLiteral("TS1"));
    auto* frame2 = window.findChild<QGroupBox*>(QStringLiteral("Frame2"));
    tabs->setCurrentIndex(1);
    QVERIFY(window.renamePanel()->isHidden());
    QVERIFY(!window.convertPanel()->isHidden());
    QVERIFY(!window.toolbarAction(QStringLiteral("renommer"))->isEnabled());
    QVERIFY(window.toolbarAction(QStringLiteral("conversion"))->isEnabled());
    QCOMPARE(frame2->title(), QStringLiteral("Liste des fichiers à convertir"));
    tabs->setCurrentIndex(0);
    QVERIFY(!window.renamePanel()->isHidden());
    QVERIFY(window.convertPanel()->isHidden());
    QVERIFY(window.toolbarAction(QStringLiteral("renommer"))->isEnabled());
    QVERIFY(!window.toolbarAction(QStringLiteral("conversion"))->isEnabled());
    QCOMPARE(frame2->title(), QStringLiteral("Liste des fichiers à renomer"));
}

void MainWindowTest::everyControlHasAFrenchAccessibleName()
{
    Fixture f;
    MainWindow& window = f.make();
    QVERIFY(window.Form_Load());
    QStringList unnamed;
    const QList<QWidget*> widgets = window.findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        const bool control = qobject_cast<QAbstractButton*>(widget) ||
                             qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                             qobject_cast<QAbstractItemView*>(widget) ||
                             qobject_cast<QTabBar*>(widget);
        // Headers are read through their section titles.
        if (!control || qobject_cast<QHeaderView*>(widget) ||
            widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        // A button with a caption is read by its caption.
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        if (widget->accessibleName().isEmpty() && !(button && !button->text().isEmpty()))
            unnamed.append(widget->objectName() + QLatin1Char(':') +
                           QLatin1String(widget->metaObject()->className()));
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
}

void MainWindowTest::lastFolderFilterAndSizeComeBackWhenAsked()
{
    Fixture first;
    QVERIFY(QDir(first.dir.path()).mkpath(QStringLiteral("photos/2026")));
    const QString photos = first.dir.filePath(QStringLiteral("photos/2026/"));
    {
        MainWindow& window = first.make();
        QVERIFY(window.Form_Load());
        QVERIFY(window.browsePanel()->openFolder(photos));
        window.browsePanel()->typeFilter()->setCurrentIndex(5);
        window.resize(640, 480);
        // Off (the default): nothing is kept.
        session::save(window, *first.store);
        QVERIFY(first.store->readSession(settings::session::dossier).isEmpty());
        QVERIFY(first.store->write(n::dernierDossier, QStringLiteral("1")));
        session::save(window, *first.store);
    }
    // The folder went away meanwhile: its nearest existing ancestor is opened.
    QVERIFY(QDir(photos).removeRecursively());
    first.window.reset();
    Fixture second(first.store->filePath());
    MainWindow& window = second.make();
    QVERIFY(window.Form_Load());
    session::restore(window, *second.store);
    QCOMPARE(window.browsePanel()->folder(), first.dir.filePath(QStringLiteral("photos/")));
    QCOMPARE(window.browsePanel()->typeFilter()->currentIndex(), 5);
    QCOMPARE(window.size(), QSize(640, 480));
    QVERIFY(second.dialogs.calls().isEmpty());
    void MainWindowTest::largerWindowGrowsTheLists()
    {
        Fixture f;
        MainWindow& window = f.make();
        QVERIFY(window.Form_Load());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* dir1 = window.findChild<QTreeView*>(QStringLiteral("Dir1"));
        QListView* lv1 = window.browsePanel()->files();
        auto* lv2 = window.findChild<QTreeView*>(QStringLiteral("LV2"));
        const QSize start = window.size();
        const QRect startTree = dir1->geometry();
        const QSize startWork = lv2->size();

        // "Convertir" fits in the start size.
        window.findChild<QTabBar*>(QStringLiteral("TS1"))->setCurrentIndex(1);
        QApplication::processEvents();
        QCOMPARE(window.size(), start);
        window.findChild<QTabBar*>(QStringLiteral("TS1"))->setCurrentIndex(0);

        window.resize(1200, 950);
        QTRY_COMPARE(window.size(), QSize(1200, 950));
        QApplication::processEvents();
        QVERIFY(dir1->height() > startTree.height() + 100);
        QVERIFY(lv1->height() > BrowsePanel::listHeightWithPreview + 100);
        QVERIFY(lv2->height() > startWork.height() + 200);
        // The three columns share the view, names the widest.
        QHeaderView* header = lv2->header();
        QCOMPARE(header->sectionPosition(2) + header->sectionSize(2), lv2->viewport()->width());
        QVERIFY(header->sectionSize(0) > header->sectionSize(1));
        QVERIFY(header->sectionSize(0) > header->sectionSize(2));

        // Back at the start size, the start layout.
        window.resize(start);
        QTRY_COMPARE(window.size(), start);
        QApplication::processEvents();
        QCOMPARE(dir1->geometry(), startTree);
        QCOMPARE(lv1->height(), BrowsePanel::listHeightWithPreview);
        QCOMPARE(header->sectionSize(0), 130);
        QCOMPARE(header->sectionPosition(2), lv2->viewport()->width());
    }

    void MainWindowTest::valueLabelsAreReadByTheirValue()
    {
        Fixture f;
        MainWindow& window = f.make();
        QVERIFY(window.Form_Load());
        window.workListPanel()->ajouter(f.dir.path() + u'/', {u"a.jpg"_s, u"b.jpg"_s});
        window.convertPanel()->outputPath()->setText(u"/tmp/sortie.png"_s);
        const std::pair<QLabel*, QString> labels[] = {
            {window.findChild<QLabel*>(QStringLiteral("StatusCount")), u"Nombre de fichiers"_s},
            {window.convertPanel()->outputPath(), u"Fichier de sortie"_s},
        };
        for (const auto& [label, caption] : labels) {
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(label);
            QVERIFY(read);
            QAccessibleTextInterface* text = read->textInterface();
            QVERIFY2(text, qPrintable(caption));
            QCOMPARE(text->text(0, text->characterCount()), label->text());
            QCOMPARE(read->text(QAccessible::Name), label->text());
            QCOMPARE(read->text(QAccessible::Description), caption);
        }
        QCOMPARE(labels[0].first->text(), u"2 fichier(s) séléctionné(s)"_s);
    }

    void MainWindowTest::messageBoxesShowTheirWholeTitle()
    {
        const QString title = u"Confirmation de suppression de fichier"_s;
        MessageBoxDialogs dialogs;
        int width = 0;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            width = box->width();
            box->close();
        });
        // A short question under a long title: the frame's buttons need room beside the title.
        dialogs.askOkCancel(u"Oui ?"_s, title, DialogIcon::None);
        QVERIFY(width >
                QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title) +
                    60);
    }

    void MainWindowTest::helpWindowClosesOnEscape()
    {
        Fixture f;
        QFile help(f.dir.filePath(QStringLiteral("morvane.hlp")));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("<h1>Aide de Morvane</h1>");
        help.close();
        MainWindow& window = f.make(f.dir.path());
        QVERIFY(window.Form_Load());
        window.menuItem(QStringLiteral("aide"))->trigger();
        QPointer<QTextBrowser> shown = window.helpCommand()->window();
        QVERIFY(shown && shown->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QTest::keyClick(shown, Qt::Key_Escape);
        QTRY_VERIFY(!shown || !shown->isVisible());
    }

    QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
