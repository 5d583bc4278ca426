#include "app/messageboxdialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QStyle>

namespace {

QMessageBox::Icon toMessageBoxIcon(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Critical:
        return QMessageBox::Critical;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A message box is sized by its text alone, so a short question under a long title had the
// title cut off by the window frame. The box is widened to show the title whole, with room
// for the frame's buttons.
void fitTitle(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    const int frameButtons = 4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int width = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + frameButtons;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

bool MessageBoxDialogs::askOkCancel(const QString& text, const QString& title, DialogIcon icon)
{
    QMessageBox box(toMessageBoxIcon(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    fitTitle(box);
    return box.exec() == QMessageBox::Ok;
}

void MessageBoxDialogs::message(const QString& text, const QString& title, DialogIcon icon)
{
    QMessageBox box(toMessageBoxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    fitTitle(box);
    box.exec();
}

std::optional<QString> MessageBoxDialogs::pickFolder(const QString& title)
{
    // Qt's own dialog follows the program's language; a desktop's native picker would not.
    const QString folder = QFileDialog::getExistingDirectory(
        m_parent, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}
