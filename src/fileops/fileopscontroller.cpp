#include "fileops/fileopscontroller.h"

#include "app/busycursor.h"
#include "app/desktop.h"
#include "app/dialogs.h"
#include "lists/browsepanel.h"

#include <QUrl>

namespace {

const QString attention = QStringLiteral("Attention");
const QString selectFile = QStringLiteral("Selectionner un fichier!");

struct ActionTexts
{
    QString question;
    QString title;
    bool picksFolder;
};

ActionTexts textsFor(fileops::Action action)
{
    switch (action) {
    case fileops::Action::Copy:
        return {QStringLiteral("Copier le(s) fichier(s) ?"),
                QStringLiteral("Confirmation de copie de fichier"), true};
    case fileops::Action::Move:
        return {QStringLiteral("Déplacer le(s) fichier(s) ?"),
                QStringLiteral("Confirmation de déplacement de fichier"), true};
    case fileops::Action::Delete:
        break;
    }
    return {QStringLiteral("Supprimer le(s) fichier(s) ?"),
            QStringLiteral("Confirmation de suppression de fichier"), false};
}

} // namespace

FileOpsController::FileOpsController(BrowsePanel* browse, Dialogs* dialogs, Desktop* desktop,
                                     std::function<void(bool)> cleanUp, QObject* parent)
    : QObject(parent), m_browse(browse), m_dialogs(dialogs), m_desktop(desktop),
      m_cleanUp(std::move(cleanUp))
{
}

void FileOpsController::copie()
{
    run(fileops::Action::Copy);
}

void FileOpsController::deplace()
{
    run(fileops::Action::Move);
}

void FileOpsController::supprim()
{
    run(fileops::Action::Delete);
}

void FileOpsController::run(fileops::Action action)
{
    const QStringList names = m_browse->selectedNames();
    if (names.isEmpty()) {
        m_dialogs->message(selectFile, attention, DialogIcon::Critical);
        return;
    }
    const ActionTexts texts = textsFor(action);
    const bool refill = action != fileops::Action::Copy;
    if (!m_dialogs->askOkCancel(texts.question, texts.title, DialogIcon::None)) {
        m_cleanUp(refill);
        return;
    }
    QString destination;
    if (texts.picksFolder) {
        const std::optional<QString> picked =
            m_dialogs->pickFolder(QStringLiteral("Selectionnez un répertoire"));
        if (!picked) {
            m_cleanUp(refill);
            return;
        }
        destination = *picked;
    }
    fileops::ActionRun result;
    {
        BusyCursor busy;
        result = fileops::runAction(action, m_browse->folder(), names, destination);
    }
    if (result.failure)
        m_dialogs->message(fileops::describe(*result.failure), QStringLiteral("Morvane"),
                           DialogIcon::Warning);
    m_cleanUp(refill);
}

void FileOpsController::ouvr()
{
    const QStringList names = m_browse->selectedNames();
    if (names.isEmpty()) {
        m_dialogs->message(selectFile, attention, DialogIcon::Critical);
        return;
    }
    if (names.size() > 1) {
        m_dialogs->message(QStringLiteral("Selectionner un seul fichier à la fois !"), attention,
                           DialogIcon::Critical);
        return;
    }
    m_desktop->openUrl(
        QUrl::fromLocalFile(fileops::withSeparator(m_browse->folder()) + names.first()));
}
