#include "app/help.h"
#include "app/messageboxdialogs.h"
#include "app/session.h"
#include "convert/convertpanel.h"
#include "lists/worklistpanel.h"
#include "rename/renamepanel.h"
#include "settings/settingsschema.h"
#include "testimages.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <tuple>

namespace n = settings::names;
using namespace Qt::StringLiterals;

namespace {

bool writeHelp(const QString& path)
{
    return QDir().mkpath(QFileInfo(path).absolutePath()) &&
           testimages::writeBytes(path, "<html><body><h1>Aide de Morvane</h1></body></html>");
}

// An action's caption and its shortcut in brackets; "-" for a separator.
QString caption(const QAction* action)
{
    const QString keys = action->shortcut().toString();
    return (action->isSeparator() ? u"-"_s : action->text()) +
           (keys.isEmpty() ? QString() : u" ("_s + keys + u')');
}

// Each action as "name=caption", joined by " | ".
QString describe(const QList<QAction*>& actions)
{
    QStringList result;
    for (const QAction* action : actions)
        result << action->objectName() + u'=' + caption(action);
    return result.join(u" | "_s);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // "Visu" at "1" shows the preview, at "0" hides it (the list taking its room); any other text
    // leaves the layout as it is. Read at load and on each activation.
    void visuAtLoadAndOnActivation()
    {
        Fixture f;
        f.store->initialise(u"/opt"_s);
        QVERIFY(f.store->write(n::visu, u"0"_s));
        MainWindow& window = f.make();
        QCOMPARE(f.listHeight(), 265);
        for (const auto& [visu, height] :
             {std::pair{u""_s, 265}, {u"1"_s, 105}, {u"oui"_s, 105}, {u"0"_s, 265}}) {
            QVERIFY(f.store->write(n::visu, visu));
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(&window, &activate);
            QCOMPARE(f.listHeight(), height);
            QCOMPARE(f.previewShown(), height == 105);
        }
        // The options dialog changes the value; the window applies it when activated again.
        QVERIFY(f.store->write(n::visu, u"1"_s));
        QCOMPARE(f.listHeight(), 265);
    }

    void quitAsksUntilOkAndACodecFailureEndsTheProgram()
    {
        Fixture f;
        MainWindow& window = f.make();
        f.dialogs.clear();
        window.toolbarAction(u"quit"_s)->trigger(); // unscripted: Cancel
        QVERIFY(!f.exitStatus);
        QCloseEvent cancelled, accepted, again;
        QApplication::sendEvent(&window, &cancelled);
        f.dialogs.answerAsk(true);
        QApplication::sendEvent(&window, &accepted);
        QCOMPARE(f.exitStatus, std::optional<int>(0));
        // Once the user said OK, closing the window does not ask again.
        QApplication::sendEvent(&window, &again);
        QVERIFY(!cancelled.isAccepted() && accepted.isAccepted() && again.isAccepted());
        const ScriptedDialogs::Call ask{ScriptedDialogs::Kind::Ask, u"Voulez-vous quitter ?"_s,
                                        u"Confirmation"_s, DialogIcon::Question};
        QCOMPARE(f.dialogs.calls(), QList({ask, ask, ask}));

        // A codec that fails to start ends the program; closing what is left asks nothing.
        convert::CodecRegistry::hideMimeTypeForTesting("IMAGE/GIF");
        Fixture failing;
        MainWindow& broken = failing.make({}, false);
        const bool loaded = broken.Form_Load();
        convert::CodecRegistry::clearHiddenMimeTypesForTesting();
        QVERIFY(!loaded && !failing.codecs.isOpen());
        QCOMPARE(failing.exitStatus, std::optional<int>(1));
        QCloseEvent close;
        QApplication::sendEvent(&broken, &close);
        QVERIFY(close.isAccepted());
        QCOMPARE(failing.dialogs.calls(),
                 {ScriptedDialogs::shown(u"Erreur chargement GDI+ !"_s, u"Morvane"_s,
                                         DialogIcon::Critical)});
    }

    void settingsProblemsAreReportedOnceAtStartup()
    {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath(u"blocker"_s)).open(QIODevice::WriteOnly));
        Fixture unwritable(dir.filePath(u"blocker/Morvane.ini"_s));
        Fixture malformed;
        const QString path = malformed.store->filePath();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(testimages::writeBytes(path, "[software/Morvane\nVisu=0\n"));

        for (Fixture* f : {&unwritable, &malformed}) {
            f->make();
            const auto messages = f->dialogs.messages();
            QCOMPARE(messages.size(), 1);
            QCOMPARE(messages.first().icon, DialogIcon::Warning);
            // Unwritable, "Visu" reads as empty text; moved aside, as its default: the design
            // layout.
            QCOMPARE(f->listHeight(), 105);
        }
        QCOMPARE(unwritable.dialogs.calls().first().text, unwritable.store->writeFailureText());
        QVERIFY(malformed.dialogs.calls().first().text.startsWith(u"Le fichier de réglages « "_s +
                                                                  path));
        QCOMPARE(malformed.store->readText(n::visu), u"1"_s);
    }

    void startupNamesMenusAndTabs()
    {
        Fixture f;
        MainWindow& window = f.make();
        QVERIFY(f.dialogs.calls().isEmpty());
        QVERIFY(f.codecs.isOpen());
        QCOMPARE(window.windowTitle(), u"Morvane"_s);
        QCOMPARE(f.store->readText(n::repertNom), u"/opt/morvane"_s);
        QCOMPARE(window.convertPanel()->outputFormats()->count(), 6);
        QCOMPARE(window.convertPanel()->outputFormats()->currentText(), u"JPG - JPG Images"_s);
        auto* tabs = window.findChild<QTabBar*>(u"TS1"_s);
        auto* frame2 = window.findChild<QGroupBox*>(u"Frame2"_s);
        // The window opens on "Renommer"; each tab shows its panel and enables its own button.
        for (const int index : {0, 1, 0}) {
            tabs->setCurrentIndex(index);
            const bool renaming = index == 0;
            QCOMPARE(window.renamePanel()->isHidden(), !renaming);
            QCOMPARE(window.convertPanel()->isHidden(), renaming);
            QCOMPARE(window.toolbarAction(u"renommer"_s)->isEnabled(), renaming);
            QCOMPARE(window.toolbarAction(u"conversion"_s)->isEnabled(), !renaming);
            QCOMPARE(frame2->title(), renaming ? u"Liste des fichiers à renomer"_s
                                               : u"Liste des fichiers à convertir"_s);
        }
        // Every control has a French accessible name.
        QStringList unnamed;
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            const bool control =
                qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
                qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractItemView*>(widget) ||
                qobject_cast<QTabBar*>(widget);
            // Headers are read through their section titles.
            if (!control || qobject_cast<QHeaderView*>(widget) ||
                widget->objectName().startsWith(QLatin1String("qt_")))
                continue;
            // A button with a caption is read by its caption.
            const auto* button = qobject_cast<QAbstractButton*>(widget);
            if (widget->accessibleName().isEmpty() && !(button && !button->text().isEmpty()))
                unnamed.append(widget->objectName() + u':' +
                               QLatin1String(widget->metaObject()->className()));
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));

        // Value labels are read by their value, described by their caption.
        window.workListPanel()->ajouter(f.dir.path() + u'/', {u"a.jpg"_s, u"b.jpg"_s});
        window.convertPanel()->outputPath()->setText(u"/tmp/sortie.png"_s);
        const std::pair<QLabel*, QString> labels[] = {
            {window.findChild<QLabel*>(u"StatusCount"_s), u"Nombre de fichiers"_s},
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

        // A button with a menu item shares its action, named after the item.
        QStringList buttons;
        for (const QAction* action : window.findChild<QToolBar*>(u"Toolbar1"_s)->actions())
            buttons << (action->isSeparator()
                            ? u"-"_s
                            : action->property("key").toString() + u'/' + action->objectName() +
                                  u'=' + action->toolTip());
        QCOMPARE(buttons.join(u" | "_s),
                 u"- | ouvrir/ouvr1=Ouvre le fichier (Ctrl+O) | - | copier/cop=Copie le fichier "
                 u"(Ctrl+Shift+C) | supprimer/supp=Supprime le fichier (Del) | deplacer/depl="
                 u"Déplacer le fichier (Ctrl+Shift+M) | - | renommer/=Renommer les fichiers (F2) | "
                 u"conversion/=Convertir les fichiers image (Ctrl+E) | - | aide/aide=Aide (F1) | "
                 u"quit/quit=Quitter (Ctrl+Q)"_s);
        const QStringList names = {u"fich"_s, u"edit"_s, u"opt"_s, u"apropos"_s};
        const QList<QAction*> top = window.menuBar()->actions();
        QCOMPARE(top.size(), names.size());
        QStringList bar;
        for (int i = 0; i < top.size(); ++i) {
            QCOMPARE(window.menuItem(names[i]), top[i]);
            bar << caption(top[i]) + u": "_s +
                       (top[i]->menu() ? describe(top[i]->menu()->actions()) : QString());
        }
        QCOMPARE(bar, (QStringList{
                          u"&Fichier: ouvr1=&Ouvrir (Ctrl+O) | sep3=- | quit=&Quitter (Ctrl+Q)"_s,
                          u"&Edition: cop=&Copier (Ctrl+Shift+C) | supp=&Supprimer (Del) | "
                          u"depl=&Déplacer (Ctrl+Shift+M) | sep2=- | ajfich=&Ajouter fichier(s) "
                          u"séléctionné(s) | ajtout=Ajouter &tous les fichiers | enfich=&Enlever "
                          u"fichier(s) séléctionné(s) (Del) | vide=&Vider la liste des fichiers à "
                          u"renommer | sep4=- | annulren=A&nnuler le dernier renommage (Ctrl+Z) | "
                          u"ajdossier=Ajouter un d&ossier et ses sous-dossiers…"_s,
                          u"&Options (Ctrl+,): "_s,
                          u"A &propos: aide=&Aide (F1) | sep1=- | ap=A &propos"_s}));
        QMenu* flottant = window.flottant();
        QCOMPARE(flottant->objectName() + u'=' + flottant->title(), u"flottant=Flottant"_s);
        QCOMPARE(
            describe(flottant->actions()),
            u"ouvrir=Ouvrir | sep=- | copier=Copier | sup=Supprimer | depla=Déplacer | sep12=- "
            u"| ajfichier=Ajouter fichier | ajtotal=Ajouter tout | sep13=- | "
            u"selectall=Selectionner tout"_s);

        // With nothing selected, the pop-up's "Copier" asks the user to select a file.
        f.dialogs.clear();
        window.menuItem(u"copier"_s)->trigger();
        QCOMPARE(f.dialogs.calls().size(), 1);
        QCOMPARE(f.dialogs.calls().first().text, u"Selectionner un fichier!"_s);

        // "Options" opens one modeless dialog, brought back rather than opened twice.
        window.menuItem(u"opt"_s)->trigger();
        QPointer<OptionsDialog> options = window.optionsDialog();
        QVERIFY(options && options->isVisible() && !options->isModal());
        window.menuItem(u"opt"_s)->trigger();
        QCOMPARE(window.optionsDialog(), options.data());
    }

    void lastFolderFilterAndSizeComeBackWhenAsked()
    {
        Fixture first;
        QVERIFY(QDir(first.dir.path()).mkpath(u"photos/2026"_s));
        const QString photos = first.dir.filePath(u"photos/2026/"_s);
        QSize chosen; // above the least size, which the window keeps to
        {
            MainWindow& window = first.make();
            QVERIFY(window.browsePanel()->openFolder(photos));
            window.browsePanel()->typeFilter()->setCurrentIndex(5);
            chosen = window.minimumSize() + QSize(37, 23);
            window.resize(chosen);
            // Off (the default): nothing is kept.
            session::save(window, *first.store);
            QVERIFY(first.store->readSession(settings::session::dossier).isEmpty());
            QVERIFY(first.store->write(n::dernierDossier, u"1"_s));
            session::save(window, *first.store);
        }
        // The folder went away meanwhile: its nearest existing ancestor is opened.
        QVERIFY(QDir(photos).removeRecursively());
        first.window.reset();
        Fixture second(first.store->filePath());
        MainWindow& window = second.make();
        session::restore(window, *second.store);
        QCOMPARE(window.browsePanel()->folder(), first.dir.filePath(u"photos/"_s));
        QCOMPARE(window.browsePanel()->typeFilter()->currentIndex(), 5);
        QCOMPARE(window.size(), chosen);
        QVERIFY(second.dialogs.calls().isEmpty());
    }

    void largerWindowGrowsTheLists()
    {
        Fixture f;
        MainWindow& window = f.make();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* dir1 = window.findChild<QTreeView*>(u"Dir1"_s);
        QListView* lv1 = window.browsePanel()->files();
        auto* lv2 = window.findChild<QTreeView*>(u"LV2"_s);
        QHeaderView* header = lv2->header();
        const QSize start = window.size();
        const QRect startTree = dir1->geometry();
        const QSize startWork = lv2->size();
        // At the start size "Fichiers" (130) and "Chemin d'accés" fill LV2 as they did alone;
        // "Nouveau nom" comes after them.
        const auto startLayout = [&] {
            QCOMPARE(lv1->height(), BrowsePanel::listHeightWithPreview);
            QCOMPARE(header->sectionSize(0), 130);
            QCOMPARE(header->sectionPosition(1), 130);
            QCOMPARE(header->sectionPosition(2), lv2->viewport()->width());
        };
        startLayout();

        // "Convertir" fits in the start size.
        window.findChild<QTabBar*>(u"TS1"_s)->setCurrentIndex(1);
        QApplication::processEvents();
        QCOMPARE(window.size(), start);
        window.findChild<QTabBar*>(u"TS1"_s)->setCurrentIndex(0);

        window.resize(1200, 950);
        QTRY_COMPARE(window.size(), QSize(1200, 950));
        QApplication::processEvents();
        QVERIFY(dir1->height() > startTree.height() + 100);
        QVERIFY(lv1->height() > BrowsePanel::listHeightWithPreview + 100);
        QVERIFY(lv2->height() > startWork.height() + 200);
        // The three columns share the view, names the widest.
        QCOMPARE(header->sectionPosition(2) + header->sectionSize(2), lv2->viewport()->width());
        QVERIFY(header->sectionSize(0) > header->sectionSize(1));
        QVERIFY(header->sectionSize(0) > header->sectionSize(2));

        window.resize(start);
        QTRY_COMPARE(window.size(), start);
        QApplication::processEvents();
        QCOMPARE(dir1->geometry(), startTree);
        startLayout();
    }

    void messageBoxesShowTheirWholeTitle()
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

    void helpFileFoundThenOpenedByTheDesktopOrShownInItsOwnWindow()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(u"bin"_s);
        QVERIFY(QDir().mkpath(bin));
        QCOMPARE(help::helpFilePath(bin), QString());
        // Without a help file the command shows nothing and asks nobody.
        RecordingDesktop desktop;
        bool probed = false;
        HelpCommand command(bin, &desktop, [&](const QString&) { return probed = true; });
        command.aide();
        QVERIFY(!probed && desktop.urls.isEmpty() && !command.window());
        const QString installed = dir.filePath(u"share/morvane/morvane.hlp"_s);
        QVERIFY(writeHelp(installed));
        QCOMPARE(help::helpFilePath(bin), installed);
        QVERIFY(writeHelp(bin + u"/morvane.hlp"_s));
        QCOMPARE(help::helpFilePath(bin + QLatin1Char('/')), bin + u"/morvane.hlp"_s);

        // The desktop's program for the help file gets it only when it is also the one for web
        // pages; otherwise, or when it fails to start, the help shows in its own window.
        // The desktop's programs for the help file and for web pages, whether the opener starts,
        // whether the file is handed over, and whether the help shows in its own window.
        const std::tuple<QString, QString, bool, bool, bool> rows[] = {
            {u"browser.desktop"_s, u"browser.desktop"_s, true, true, false},
            {u"helpviewer.desktop"_s, u"browser.desktop"_s, true, false, true}, // another format's
            {{}, {}, true, false, true},
            {u"browser.desktop"_s, u"browser.desktop"_s, false, true, true}, // opener fails
        };
        for (const auto& [helpProgram, htmlProgram, opens, handedOver, ownWindow] : rows) {
            QTemporaryDir dir;
            const QString path = dir.filePath(u"morvane.hlp"_s);
            QVERIFY(writeHelp(path));
            RecordingDesktop desktop;
            desktop.opens = opens;
            desktop.types.insert(path, u"application/winhlp"_s);
            desktop.defaults.insert(u"application/winhlp"_s, helpProgram);
            desktop.defaults.insert(u"text/html"_s, htmlProgram);
            QStringList probed;
            HelpCommand command(dir.path(), &desktop, [&](const QString& file) {
                probed.append(file);
                return help::opensWithDesktop(desktop, file);
            });
            command.aide();

            QCOMPARE(probed, QStringList{path});
            QCOMPARE(desktop.urls.size(), handedOver ? 1 : 0);
            QCOMPARE(bool(command.window()), ownWindow);
            if (ownWindow) {
                QVERIFY(command.window()->isVisible());
                QVERIFY(command.window()->toPlainText().contains(u"Aide de Morvane"_s));
                // A second request reuses the window.
                QTextBrowser* first = command.window();
                command.aide();
                QCOMPARE(command.window(), first);
            }
        }

        // The help window of the running program closes on Escape.
        Fixture f;
        QVERIFY(writeHelp(f.dir.filePath(u"morvane.hlp"_s)));
        MainWindow& window = f.make(f.dir.path());
        window.menuItem(u"aide"_s)->trigger();
        QPointer<QTextBrowser> shown = window.helpCommand()->window();
        QVERIFY(shown && shown->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(shown));
        QTest::keyClick(shown, Qt::Key_Escape);
        QTRY_VERIFY(!shown || !shown->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
