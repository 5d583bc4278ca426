#include "rename/renamerequest.h"

#include "rename/nameforms.h"
#include "rename/namerule.h"

#include <limits>

namespace renaming {

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

} // namespace renaming
