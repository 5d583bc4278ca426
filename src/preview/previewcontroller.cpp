#include "preview/previewcontroller.h"

#include "preview/enlargedview.h"
#include "preview/fitrule.h"
#include "preview/previewbox.h"
#include "preview/previewloading.h"
#include "services/busycursor.h"
#include "services/dialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QAbstractItemView>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {

const QString morvaneTitle = QStringLiteral("Morvane");
const QString lv1Name = QStringLiteral("LV1");
const QString lv2Name = QStringLiteral("LV2");

} // namespace

PreviewController::PreviewController(SettingsStore* settings, Dialogs* dialogs, PreviewBox* box,
                                     QLabel* label6, ListAccess lv1, ListAccess lv2,
                                     QObject* parent)
    : QObject(parent), m_settings(settings), m_dialogs(dialogs), m_box(box), m_label6(label6),
      m_lv1(std::move(lv1)), m_lv2(std::move(lv2))
{
    connect(m_box, &PreviewBox::clicked, this, &PreviewController::clicPicture2);
    m_follow = new QTimer(this);
    m_follow->setSingleShot(true);
    m_follow->setInterval(0);
    connect(m_follow, &QTimer::timeout, this, [this] {
        // A run holding the busy pointer (a rename, a conversion) may be moving the files.
        if (QGuiApplication::overrideCursor())
            return;
        if (m_followed == &m_lv1)
            clicLV1();
        else if (m_followed == &m_lv2) {
            clicLV2();
            Q_EMIT lv2Followed();
        }
    });
    for (const ListAccess* list : {&m_lv1, &m_lv2}) {
        if (QItemSelectionModel* selection = list->view->selectionModel())
            connect(selection, &QItemSelectionModel::currentChanged, this,
                    [this, list](const QModelIndex& current) { follow(*list, current); });
    }
}

void PreviewController::follow(const ListAccess& list, const QModelIndex& current)
{
    // A mouse press moves the current entry too: the click that ends it previews.
    if (!current.isValid() || QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    m_followed = &list;
    m_follow->start();
}

PreviewController::~PreviewController()
{
    delete m_form2;
}

EnlargedView* PreviewController::enlargedView() const
{
    return m_form2;
}

bool PreviewController::everyType() const
{
    return m_settings->readFlag(settings::names::apercuTout);
}

bool PreviewController::previewOn() const
{
    // Read at every click, so a change in the options dialog acts at the next one.
    return m_settings->readText(settings::names::visu) == QLatin1String("1");
}

void PreviewController::clicLV1()
{
    m_follow->stop();
    m_box->clearPicture();
    if (!previewOn())
        return;
    m_label6->setText(lv1Name);
    VisuLV1();
}

void PreviewController::clicLV2()
{
    m_follow->stop();
    m_box->clearPicture();
    if (!previewOn())
        return;
    m_label6->setText(lv2Name);
    VisuLV2();
}

void PreviewController::VisuLV1()
{
    visu(m_lv1);
}

void PreviewController::VisuLV2()
{
    visu(m_lv2);
}

void PreviewController::visu(const ListAccess& list)
{
    m_box->clearPicture();
    const QAbstractItemModel* model = list.view->model();
    if (!model || model->rowCount() == 0)
        return;
    const QModelIndex current = list.view->currentIndex();
    if (!current.isValid())
        return; // no entry has the focus: nothing to show
    if (!preview::isPreviewable(list.nameOf(current), everyType())) {
        m_box->showNotAvailable();
        return;
    }
    std::optional<BusyCursor> busy(std::in_place);
    preview::FittedPicture picture = preview::loadFitted(list.pathOf(current), m_box->area());
    busy.reset();
    if (!picture.ok()) {
        failed(preview::loadFailureText(picture.status));
        return;
    }
    m_box->showPicture(std::move(picture.image), picture.target);
}

void PreviewController::failed(const QString& description)
{
    m_dialogs->message(description, morvaneTitle, DialogIcon::Warning);
}

void PreviewController::clicPicture2()
{
    const QString source = m_label6->text();
    const ListAccess* list = source == lv1Name ? &m_lv1 : source == lv2Name ? &m_lv2 : nullptr;
    if (!list)
        return; // no preview has run yet
    const QAbstractItemModel* model = list->view->model();
    if (!model || model->rowCount() == 0)
        return;
    QModelIndexList selected = list->view->selectionModel()->selectedRows();
    if (!previewOn())
        return;
    if (selected.isEmpty()) {
        m_dialogs->message(QStringLiteral("Selectionner un fichier!"), QStringLiteral("Attention"),
                           DialogIcon::Critical);
        return;
    }
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const bool every = everyType();
    for (const QModelIndex& index : std::as_const(selected)) {
        if (!preview::isEnlargeable(list->nameOf(index), every))
            continue;
        if (!m_form2) {
            m_form2 = new EnlargedView(m_box->window());
            connect(m_form2, &EnlargedView::areaChanged, this, [this] {
                if (m_form2->isVisible() && !m_enlargedPath.isEmpty())
                    showEnlarged();
            });
        }
        m_form2->open();
        m_enlargedPath = list->pathOf(index);
        if (!showEnlarged())
            return;
    }
}

bool PreviewController::showEnlarged()
{
    std::optional<BusyCursor> busy(std::in_place);
    preview::FittedPicture picture = preview::loadFitted(m_enlargedPath, m_form2->area());
    busy.reset();
    if (!picture.ok()) {
        m_enlargedPath.clear();
        m_form2->close();
        failed(preview::loadFailureText(picture.status));
        return false;
    }
    m_form2->showPicture(std::move(picture.image), picture.target);
    return true;
}
