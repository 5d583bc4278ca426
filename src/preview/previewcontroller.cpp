#include "preview/previewcontroller.h"

#include "app/busycursor.h"
#include "app/dialogs.h"
#include "preview/enlargedview.h"
#include "preview/fitrule.h"
#include "preview/previewbox.h"
#include "preview/previewloading.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QLabel>

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
}

PreviewController::~PreviewController()
{
    delete m_form2;
}

EnlargedView* PreviewController::enlargedView() const
{
    return m_form2;
}

bool PreviewController::previewOn() const
{
    // Read at every click, so a change in the options dialog acts at the next one.
    return m_settings->readText(settings::names::visu) == QLatin1String("1");
}

void PreviewController::clicLV1()
{
    m_box->clearPicture();
    if (!previewOn())
        return;
    m_label6->setText(lv1Name);
    VisuLV1();
}

void PreviewController::clicLV2()
{
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
    if (!preview::isPreviewable(list.nameOf(current))) {
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
    for (const QModelIndex& index : std::as_const(selected)) {
        if (!preview::isEnlargeable(list->nameOf(index)))
            continue;
        if (!m_form2)
            m_form2 = new EnlargedView(m_box->window());
        m_form2->open();
        std::optional<BusyCursor> busy(std::in_place);
        preview::FittedPicture picture = preview::loadFitted(list->pathOf(index), m_form2->area());
        busy.reset();
        if (!picture.ok()) {
            m_form2->close();
            failed(preview::loadFailureText(picture.status));
            return;
        }
        m_form2->showPicture(std::move(picture.image), picture.target);
    }
}
