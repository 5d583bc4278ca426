#include "rename/renamerun.h"

#include "fileops/fileops.h"
#include "rename/nameforms.h"
#include "rename/namerule.h"

#include <QHash>

#include <cerrno>
#include <limits>

namespace renaming {

namespace {

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Folder identity looked up once per pair of folder texts: a run over one folder asks the
// file system once, not once per file.
class FolderComparer
{
public:
    bool same(const QString& a, const QString& b)
    {
        if (a == b)
            return true;
        const QString key = a + QChar(0) + b;
        const auto found = m_known.constFind(key);
        if (found != m_known.cend())
            return *found;
        const bool result = fileops::sameFolder(a, b);
        m_known.insert(key, result);
        return result;
    }

private:
    QHash<QString, bool> m_known;
};

} // namespace

Refusal check(const RenameRequest& request)
{
    if (request.form == textForm && request.nameText.isEmpty())
        return Refusal::EmptyName;
    if (request.entries.empty())
        return Refusal::EmptyList;
    const NameForm* form = nameForm(request.form);
    const long long count = static_cast<long long>(request.entries.size());
    if (form && form->usesNumber && count > 1) {
        long long start = 0;
        if (!readsAsNumber(request.startNumber, &start) ||
            start > std::numeric_limits<long long>::max() - (count - 1))
            return Refusal::BadStartNumber;
    }
    return Refusal::None;
}

QString refusalText(Refusal refusal)
{
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::EmptyName:
        return QStringLiteral("Entrer un nom !");
    case Refusal::EmptyList:
        return QStringLiteral("Selectionner un fichier !");
    case Refusal::BadStartNumber:
        return QStringLiteral("Entrer un numéro de début valide !");
    }
    return {};
}

RenameReport runRename(const RenameRequest& request, const Clock& clock, const Progress& progress)
{
    RenameReport report;
    const int count = static_cast<int>(request.entries.size());
    report.done.reserve(request.entries.size());
    auto fail = [&](int index, const QString& message) {
        report.failure = RenameFailure{index, message};
        return report;
    };

    if (const Refusal refusal = check(request); refusal != Refusal::None)
        return fail(0, refusalText(refusal));
    const NameForm* form = nameForm(request.form);
    if (!form)
        return fail(0, QStringLiteral("Type de nom inconnu : %1").arg(request.form));
    const SettingsSnapshot& settings = request.settings;
    if (settings.renomDest && settings.repertNom.isEmpty())
        return fail(0, fileops::describe(fileops::FileResult::system(ENOENT, QString())));

    long long number = 0;
    const bool numeric = readsAsNumber(request.startNumber, &number);
    FolderComparer folders;

    for (int i = 0; i < count; ++i) {
        const WorkEntry& entry = request.entries[static_cast<size_t>(i)];
        const QString oldPath = entry.path();
        const QString destination =
            settings.renomDest ? withSlash(settings.repertNom) : withSlash(entry.folder);

        NameInput input{entry.name,
                        request.form,
                        request.nameText,
                        numeric ? QString::number(number) : request.startNumber,
                        settings.format,
                        count,
                        {},
                        {}};
        if (form->usesClock)
            input.clock = clock();
        if (form->usesFileTime) {
            const fileops::FileResult read = fileops::modificationTime(oldPath, &input.fileTime);
            if (!read.ok())
                return fail(i, fileops::describe(read));
        }
        const NameResult name = newName(input);
        if (!name.ok())
            return fail(i, name.error);

        EntryResult result{EntryResult::Status::Renamed, oldPath, destination + name.name, {}};
        const bool sameFolder = folders.same(withSlash(entry.folder), destination);
        if (sameFolder && name.name == entry.name) {
            result.status = EntryResult::Status::Unchanged;
        } else {
            // The kept copy: beside the renamed file in another destination folder, else
            // under a temporary name that goes back to the old name after the rename.
            QString copyTarget;
            bool copyReturns = false;
            if (settings.copieOriginal) {
                if (settings.repertCopieDest && !sameFolder) {
                    copyTarget = destination + entry.name;
                } else if (settings.repertCopieDest || settings.repertCopieOriginal) {
                    copyTarget = oldPath + QStringLiteral("Temp");
                    copyReturns = true;
                }
            }
            std::optional<fileops::FileIdentity> source;
            if (!copyTarget.isEmpty()) {
                source = fileops::identityOf(oldPath);
                const fileops::FileResult copied =
                    fileops::copyFile(oldPath, copyTarget, fileops::CopyMode::NoReplace);
                if (!copied.ok())
                    return fail(i, fileops::describe(copied));
            }

            const fileops::FileResult renamed = fileops::renameNoReplace(oldPath, result.newPath);
            if (!renamed.ok()) {
                // A copy of a file that was never renamed duplicates it, and a leftover
                // temporary copy would block every later run on that file.
                if (!copyTarget.isEmpty() && source && fileops::identityOf(oldPath) == source)
                    fileops::removeFile(copyTarget);
                return fail(i, fileops::describe(renamed));
            }
            if (copyReturns) {
                const fileops::FileResult back = fileops::renameNoReplace(copyTarget, oldPath);
                if (!back.ok())
                    return fail(i, fileops::describe(back));
                result.copyPath = oldPath;
            } else {
                result.copyPath = copyTarget;
            }
        }
        report.done.push_back(std::move(result));
        if (numeric && number < std::numeric_limits<long long>::max())
            ++number;
        if (progress)
            progress(i + 1, count);
    }
    return report;
}

} // namespace renaming
