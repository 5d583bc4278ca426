#include "app/mainwindow.h"

#include "about/aboutbox.h"
#include "app/help.h"
#include "convert/codecregistry.h"
#include "convert/conversioncontroller.h"
#include "convert/convertpanel.h"
#include "convert/outputformats.h"
#include "fileops/fileopscontroller.h"
#include "lists/browsepanel.h"
#include "lists/listscontroller.h"
#include "lists/worklist.h"
#include "lists/worklistpanel.h"
#include "preview/previewbox.h"
#include "preview/previewcontroller.h"
#include "rename/newnamecolumn.h"
#include "rename/newnamepreview.h"
#include "rename/renamecontroller.h"
#include "rename/renamepanel.h"
#include "services/desktop.h"
#include "services/dialogs.h"
#include "settings/optionsdialog.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"
#include "widgets/icons.h"
#include "widgets/valuelabel.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString morvaneTitle = QStringLiteral("Morvane");

struct ToolbarButton
{
    const char* key; // nullptr for a separator
    const char* toolTip;
    const char* themeIcon;
    QStyle::StandardPixmap fallback;
    // The menu item the button shares its action with; the shortcut of a button that has none.
    const char* menuItem = nullptr;
    const char* shortcut = nullptr;
};

// The twelve positions of the toolbar, separators included.
const ToolbarButton toolbarButtons[] = {
    {nullptr, nullptr, nullptr, {}},
    {"ouvrir", "Ouvre le fichier", "document-open", QStyle::SP_DialogOpenButton, "ouvr1"},
    {nullptr, nullptr, nullptr, {}},
    {"copier", "Copie le fichier", "edit-copy", QStyle::SP_FileDialogNewFolder, "cop"},
    {"supprimer", "Supprime le fichier", "edit-delete", QStyle::SP_TrashIcon, "supp"},
    {"deplacer", "Déplacer le fichier", "go-jump", QStyle::SP_FileDialogToParent, "depl"},
    {nullptr, nullptr, nullptr, {}},
    {"renommer", "Renommer les fichiers", "edit-rename", QStyle::SP_FileDialogDetailedView, nullptr,
     "F2"},
    {"conversion", "Convertir les fichiers image", "image-x-generic", QStyle::SP_BrowserReload,
     nullptr, "Ctrl+E"},
    {nullptr, nullptr, nullptr, {}},
    {"aide", "Aide", "help-contents", QStyle::SP_DialogHelpButton, "aide"},
    {"quit", "Quitter", "application-exit", QStyle::SP_DialogCloseButton, "quit"},
};

// A tooltip naming the shortcut, as menus do.
QString tipWithShortcut(const QString& tip, const QKeySequence& shortcut)
{
    if (shortcut.isEmpty())
        return tip;
    return tip + QStringLiteral(" (") + shortcut.toString(QKeySequence::NativeText) +
           QLatin1Char(')');
}

// Escape closes `window`, once per window.
void closeOnEscape(QWidget* window)
{
    if (!window || window->property("closesOnEscape").toBool())
        return;
    window->setProperty("closesOnEscape", true);
    auto* close = new QAction(window);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    window->addAction(close);
    QObject::connect(close, &QAction::triggered, window, &QWidget::close);
}

} // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_browse(new BrowsePanel),
      m_workList(new WorkListPanel), m_rename(new RenamePanel), m_convert(new ConvertPanel),
      m_ts1(new QTabBar), m_toolbar1(new QToolBar(QStringLiteral("Barre d'outils"), this))
{
    if (!m_services.exit)
        m_services.exit = [](int status) { QCoreApplication::exit(status); };
    if (!m_services.hasHelpHandler)
        m_services.hasHelpHandler = help::hasDefaultApplication;

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(morvaneTitle);

    m_ts1->setObjectName(QStringLiteral("TS1"));
    m_ts1->setAccessibleName(QStringLiteral("Onglets"));
    m_ts1->addTab(QStringLiteral("Renommer"));
    m_ts1->addTab(QStringLiteral("Convertir"));
    m_ts1->setDrawBase(false);

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    right->addWidget(m_ts1);
    auto* tabPage = new QFrame;
    tabPage->setFrameShape(QFrame::StyledPanel);
    auto* pageLayout = new QVBoxLayout(tabPage);
    pageLayout->setContentsMargins(6, 6, 6, 6);
    pageLayout->addWidget(m_workList, 1);
    pageLayout->addWidget(m_rename);
    pageLayout->addWidget(m_convert);
    right->addWidget(tabPage, 1);
    m_convert->hide();
    // The format list gives up width rather than widen the window on the switch to
    // "Convertir".
    m_convert->outputFormats()->setSizeAdjustPolicy(
        QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_convert->outputFormats()->setMinimumContentsLength(8);
    m_convert->outputFormats()->view()->setAccessibleName(QStringLiteral("Format de sortie"));

    auto* central = new QWidget;
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(m_browse);
    layout->addLayout(right, 1);
    setCentralWidget(central);

    m_menus = buildMainMenus(menuBar(), this);
    buildToolbar();
    buildStatusBar();
    auto* preview = new PreviewController(m_services.settings, m_services.dialogs,
                                          m_browse->previewBox(), m_browse->previewSource(),
                                          ListsController::browseListAccess(m_browse),
                                          ListsController::workListAccess(m_workList), this);
    m_lists = new ListsController(m_browse, m_workList, preview, m_services.dialogs, this);
    m_renameController = new RenameController(m_rename, &m_workList->workList(),
                                              m_services.settings, m_services.dialogs, this);
    m_renameController->setDialogParent(this);
    m_renameController->setFinishingSteps({[this] { m_browse->rempliLV1(); },
                                           [this] { m_browse->previewBox()->clearPicture(); },
                                           [this] { m_workList->videLV2(); }});
    connect(m_workList, &WorkListPanel::entriesAdded, m_renameController,
            &RenameController::VisuRenom);
    m_conversion = new ConversionController(m_convert, &m_workList->workList(), m_services.settings,
                                            m_services.dialogs, m_services.codecs, this);
    m_conversion->setDialogParent(this);
    m_conversion->setFinishingSteps(
        {[this] { m_browse->rempliLV1(); }, [this] { m_workList->videLV2(); },
         [this](const std::vector<int>& rows) {
             const std::vector<WorkEntry> entries = m_workList->workList().entries();
             m_workList->videLV2();
             for (const int row : rows)
                 m_workList->ajouter(entries[std::size_t(row)].folder,
                                     {entries[std::size_t(row)].name});
         }});
    connect(m_lists, &ListsController::conversionEntryClicked, m_conversion,
            &ConversionController::ouvririmage);
    m_fileOps = new FileOpsController(
        {[this] { return m_browse->selectedNames(); }, [this] { return m_browse->folder(); }},
        m_services.dialogs, m_services.desktop, m_services.settings,
        [this](bool refill) { cleanUpAfterFileAction(refill); }, this);
    m_help = new HelpCommand(m_services.programFolder, m_services.desktop,
                             m_services.hasHelpHandler, this);
    buildMenus();
    // The conversion's size and output path are read by their value.
    for (QLabel* label : {m_convert->outputSizeText(), m_convert->outputPath()})
        accessibility::markValueLabel(label, label->accessibleName());
    connect(m_workList, &WorkListPanel::countTextChanged, m_countPanel, &QLabel::setText);
    connect(m_workList, &WorkListPanel::exampleCleared, m_rename->example(), &QLabel::clear);
    connect(m_ts1, &QTabBar::currentChanged, this, [this](int index) {
        if (index == 0) {
            m_convert->hide();
            m_rename->show();
            toolbarAction(QStringLiteral("renommer"))->setEnabled(true);
            toolbarAction(QStringLiteral("conversion"))->setEnabled(false);
            m_workList->setTitle(QStringLiteral("Liste des fichiers à renomer"));
            m_lists->setConversionTabShown(false);
        } else if (index == 1) {
            m_rename->hide();
            m_convert->show();
            toolbarAction(QStringLiteral("renommer"))->setEnabled(false);
            toolbarAction(QStringLiteral("conversion"))->setEnabled(true);
            m_workList->setTitle(QStringLiteral("Liste des fichiers à convertir"));
            m_lists->setConversionTabShown(true);
        }
    });

    m_newNames = new NewNameColumn(m_rename, m_convert->outputFormats(), m_workList->model(),
                                   m_services.settings, this);
    connect(m_ts1, &QTabBar::currentChanged, m_newNames,
            [this](int index) { m_newNames->setConversionShown(index == 1); });

    // The client area is fixed by the window design; the frame adds the toolbar and the
    // status bar around it.
    resize(clientSize.width(), clientSize.height() + menuBar()->sizeHint().height() +
                                   m_toolbar1->sizeHint().height() +
                                   statusBar()->sizeHint().height());
    m_startSize = size();
    // The window may grow and shrink back: the lists' sizes follow it (resizeEvent), so the
    // least size is the one of the start layout, not the one of the current layout.
    setMinimumSize(minimumSizeHint());
    QMainWindow::layout()->setSizeConstraint(QLayout::SetNoConstraint);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow()
{
    // The modeless windows have no owner; they go with the main window.
    delete m_options;
    delete m_about;
    // Unloading the window ends the codec session.
    if (m_sessionOpen && m_services.codecs)
        m_services.codecs->end();
}

void MainWindow::buildToolbar()
{
    m_toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar1->setAccessibleName(QStringLiteral("Barre d'outils"));
    m_toolbar1->setMovable(false);
    m_toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar1->setIconSize(QSize(24, 24));
    addToolBar(Qt::TopToolBarArea, m_toolbar1);
    for (const ToolbarButton& button : toolbarButtons) {
        if (!button.key) {
            m_toolbar1->addSeparator();
            continue;
        }
        const QString key = QLatin1String(button.key);
        const QString toolTip = QString::fromUtf8(button.toolTip);
        // One action per command: the menu item's when there is one, so its shortcut,
        // its state and its routine are the button's too.
        QAction* action = button.menuItem ? m_menus.item(QLatin1String(button.menuItem))
                                          : new QAction(toolTip, this);
        if (button.shortcut)
            action->setShortcut(QKeySequence(QLatin1String(button.shortcut)));
        action->setIcon(icons::themed(button.themeIcon, button.fallback));
        action->setIconVisibleInMenu(false);
        action->setToolTip(tipWithShortcut(toolTip, action->shortcut()));
        // The key identifies the button; object names belong to the menu items.
        action->setProperty("key", key);
        m_toolbar1->addAction(action);
        if (QWidget* widget = m_toolbar1->widgetForAction(action)) {
            widget->setProperty("key", key);
            widget->setAccessibleName(toolTip);
        }
    }
    connect(toolbarAction(QStringLiteral("renommer")), &QAction::triggered, this,
            [this] { m_renameController->renom(); });
    connect(toolbarAction(QStringLiteral("conversion")), &QAction::triggered, this,
            [this] { m_conversion->conversion(); });
}

QAction* MainWindow::toolbarAction(const QString& key) const
{
    const QList<QAction*> actions = m_toolbar1->actions();
    for (QAction* action : actions) {
        if (action->property("key").toString() == key)
            return action;
    }
    return nullptr;
}

void MainWindow::buildMenus()
{
    const auto on = [this](const char* name, auto routine) {
        connect(m_menus.item(QLatin1String(name)), &QAction::triggered, this, routine);
    };
    on("ouvr1", [this] { m_fileOps->ouvr(); });
    on("quit", [this] { quitte(); });
    on("cop", [this] { m_fileOps->copie(); });
    on("supp", [this] { m_fileOps->supprim(); });
    on("depl", [this] { m_fileOps->deplace(); });
    on("ajfich", [this] { m_lists->ajouter(); });
    on("ajtout", [this] { m_lists->tout(); });
    on("enfich", [this] { m_workList->enlever(); });
    on("vide", [this] { m_workList->videLV2(); });
    on("annulren", [this] { m_renameController->annulerDernierRenommage(); });
    on("ajdossier", [this] { m_lists->ajouterDossier(); });
    on("opt", [this] { openOptions(); });
    on("aide", [this] {
        m_help->aide();
        closeOnEscape(m_help->window());
    });
    on("ap", [this] { openAbout(); });
    on("ouvrir", [this] { m_fileOps->ouvr(); });
    on("copier", [this] { m_fileOps->copie(); });
    on("sup", [this] { m_fileOps->supprim(); });
    on("depla", [this] { m_fileOps->deplace(); });
    on("ajfichier", [this] { m_lists->ajouter(); });
    on("ajtotal", [this] { m_lists->tout(); });
    on("selectall", [this] { m_lists->selectall(); });

    QListView* lv1 = m_browse->files();
    // Delete: "Supprimer" in the browse list, "Enlever" in the work list.
    lv1->addAction(m_menus.item(QStringLiteral("supp")));
    m_workList->view()->addAction(m_menus.item(QStringLiteral("enfich")));
    // Enter in the browse list adds its selected files, or the entry with the focus when
    // none is selected, as a double click does.
    auto* addSelected = new QAction(QStringLiteral("Ajouter fichier(s) séléctionné(s)"), lv1);
    addSelected->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    addSelected->setShortcutContext(Qt::WidgetShortcut);
    lv1->addAction(addSelected);
    connect(addSelected, &QAction::triggered, this, [this, lv1] {
        if (m_browse->selectedNames().isEmpty() && lv1->currentIndex().isValid())
            lv1->selectionModel()->select(lv1->currentIndex(), QItemSelectionModel::Select);
        if (!m_browse->selectedNames().isEmpty())
            m_lists->ajouter();
    });
    // Ctrl+Page Down / Page Up go from one tab to the other, wherever the focus is.
    for (const auto& [key, step] :
         {std::pair{QKeySequence::NextChild, 1}, std::pair{QKeySequence::PreviousChild, -1}}) {
        auto* tab = new QAction(this);
        tab->setShortcuts(QKeySequence::keyBindings(key) +
                          QList<QKeySequence>{step > 0 ? QKeySequence(Qt::CTRL | Qt::Key_PageDown)
                                                       : QKeySequence(Qt::CTRL | Qt::Key_PageUp)});
        addAction(tab);
        connect(tab, &QAction::triggered, this, [this, step = step] {
            m_ts1->setCurrentIndex((m_ts1->currentIndex() + step + m_ts1->count()) %
                                   m_ts1->count());
        });
    }

    lv1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lv1, &QWidget::customContextMenuRequested, this, [this, lv1](const QPoint& position) {
        m_menus.flottant->popup(lv1->viewport()->mapToGlobal(position));
    });
}

void MainWindow::cleanUpAfterFileAction(bool refill)
{
    if (refill)
        m_browse->rempliLV1();
    m_workList->videLV2();
    m_rename->nameText()->setText(QStringLiteral("image"));
    m_browse->previewBox()->clearPicture();
}

void MainWindow::openOptions()
{
    if (!m_options) {
        m_options = new OptionsDialog(*m_services.settings, *m_services.dialogs);
        m_options->setAttribute(Qt::WA_DeleteOnClose);
        m_options->load();
        // The date, Trash and conversion options change what the column shows.
        connect(m_options, &QDialog::accepted, m_newNames->preview(),
                &renaming::NewNamePreview::schedule);
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            m_options->move(screen->availableGeometry().center() - m_options->rect().center());
    }
    m_options->show();
    m_options->raise();
    m_options->activateWindow();
}

void MainWindow::openAbout()
{
    if (!m_about) {
        m_about = new AboutBox(*m_services.settings, *m_services.desktop);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    m_countPanel = new QLabel(bar);
    m_countPanel->setObjectName(QStringLiteral("StatusCount"));
    accessibility::markValueLabel(m_countPanel, QStringLiteral("Nombre de fichiers"));
    m_datePanel = new QLabel(bar);
    m_datePanel->setObjectName(QStringLiteral("StatusDate"));
    accessibility::markValueLabel(m_datePanel, QStringLiteral("Date"));
    m_timePanel = new QLabel(bar);
    m_timePanel->setObjectName(QStringLiteral("StatusTime"));
    accessibility::markValueLabel(m_timePanel, QStringLiteral("Heure"));
    bar->addWidget(m_countPanel, 1);
    bar->addPermanentWidget(m_datePanel);
    bar->addPermanentWidget(m_timePanel);
    m_clock = new QTimer(this);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &MainWindow::updateClock);
    m_clock->start();
    updateClock();
}

void MainWindow::updateClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    m_datePanel->setText(now.toString(QStringLiteral("dd/MM/yyyy")));
    m_timePanel->setText(now.toString(QStringLiteral("HH:mm")));
}

void MainWindow::reportStartupOfSettings()
{
    SettingsStore& store = *m_services.settings;
    const StartupReport report = store.initialise(m_services.programFolder);
    if (report.movedAside) {
        m_services.dialogs->message(
            SettingsStore::movedAsideText(QDir::toNativeSeparators(report.movedAside->first),
                                          QDir::toNativeSeparators(report.movedAside->second)),
            morvaneTitle, DialogIcon::Warning);
    } else if (report.malformedKept) {
        m_services.dialogs->message(SettingsStore::malformedKeptText(store.filePath()),
                                    morvaneTitle, DialogIcon::Warning);
        return;
    }
    if (!report.defaultsStored)
        m_services.dialogs->message(store.writeFailureText(), morvaneTitle, DialogIcon::Warning);
}

bool MainWindow::Form_Load()
{
    // 1. Settings: the product key and every missing default.
    reportStartupOfSettings();
    // 2. Browse panel at the root of the start-up volume.
    m_browse->goToStartupVolume();
    // 3. The choice lists.
    rempliCombo();
    // 4. The window opens on the "Renommer" tab.
    toolbarAction(QStringLiteral("conversion"))->setEnabled(false);
    // 5. Preview layout.
    applyVisu();
    // 6. The conversion controller holds the preview's bounds and its starting aspect ratio.
    // 7. Codec session.
    if (m_services.codecs->start() != convert::Status::Ok) {
        m_services.dialogs->message(QStringLiteral("Erreur chargement GDI+ !"), morvaneTitle,
                                    DialogIcon::Critical);
        m_quitting = true;
        m_services.exit(1);
        return false;
    }
    m_sessionOpen = true;
    // A rename cut short by a crash is offered back once the window is up.
    QTimer::singleShot(0, m_renameController, &RenameController::checkInterruptedRun);
    return true;
}

void MainWindow::rempliCombo()
{
    m_browse->fillTypeFilter();
    QComboBox* combo3 = m_convert->outputFormats();
    combo3->clear();
    combo3->addItems(convert::outputFormatListTexts());
    combo3->setCurrentIndex(convert::defaultOutputFormatPosition);
    m_renameController->rempliCombo();
}

void MainWindow::applyVisu()
{
    const QString visu = m_services.settings->readText(settings::names::visu);
    if (visu == QLatin1String("1"))
        m_browse->setPreviewShown(true);
    else if (visu == QLatin1String("0"))
        m_browse->setPreviewShown(false);
}

void MainWindow::Form_Activate()
{
    applyVisu();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    // Beyond the start size the lists take the room.
    const QSize growth = (size() - m_startSize).expandedTo(QSize(0, 0));
    m_browse->setGrowth(growth);
    m_workList->setColumnsShareWidth(growth.width() > 0);
    QMainWindow::resizeEvent(event);
}

bool MainWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QMainWindow::event(event);
}

bool MainWindow::quitte()
{
    if (!m_services.dialogs->askOkCancel(QStringLiteral("Voulez-vous quitter ?"),
                                         QStringLiteral("Confirmation"), DialogIcon::Question))
        return false;
    m_quitting = true;
    m_services.exit(0);
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_quitting || quitte())
        event->accept();
    else
        event->ignore();
}
