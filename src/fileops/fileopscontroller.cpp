#include "fileops/fileopscontroller.h"

#include "services/busycursor.h"
#include "services/desktop.h"
#include "services/dialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QFileInfo>
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

FileOpsController::FileOpsController(FileSelection selection, Dialogs* dialogs, Desktop* desktop,
                                     SettingsStore* settings, std::function<void(bool)> cleanUp,
                                     QObject* parent)
    : QObject(parent), m_selection(std::move(selection)), m_dialogs(dialogs), m_desktop(desktop),
      m_settings(settings), m_cleanUp(std::move(cleanUp))
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
    const QStringList names = m_selection.names();
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
    const fileops::RemoveOptions removal{action == fileops::Action::Delete && m_settings &&
                                         m_settings->readFlag(settings::names::corbeille)};
    const auto deleteForGood = [this](const QString& path, const QString& reason) {
        // The question gets the ordinary pointer; the busy one comes back for the next file.
        QGuiApplication::restoreOverrideCursor();
        const bool ok = m_dialogs->askOkCancel(
            fileops::trashFallbackQuestion(QFileInfo(path).fileName(), reason),
            QStringLiteral("Morvane"), DialogIcon::Question);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        return ok;
    };
    fileops::ActionRun result;
    {
        BusyCursor busy;
        result = fileops::runAction(action, m_selection.folder(), names, destination, removal,
                                    deleteForGood);
    }
    if (result.failure)
        m_dialogs->message(fileops::describe(*result.failure), QStringLiteral("Morvane"),
                           DialogIcon::Warning);
    m_cleanUp(refill);
}

void FileOpsController::ouvr()
{
    const QStringList names = m_selection.names();
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
        QUrl::fromLocalFile(fileops::withSlash(m_selection.folder()) + names.first()));
}
