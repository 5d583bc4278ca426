#include "app/messageboxdialogs.h"

#include <QFileDialog>
#include <QMessageBox>

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

} // namespace

bool MessageBoxDialogs::askOkCancel(const QString& text, const QString& title, DialogIcon icon)
{
    QMessageBox box(toMessageBoxIcon(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    m_parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

void MessageBoxDialogs::message(const QString& text, const QString& title, DialogIcon icon)
{
    QMessageBox box(toMessageBoxIcon(icon), title, text, QMessageBox::Ok, m_parent);
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
