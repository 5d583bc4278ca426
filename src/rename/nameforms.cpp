#include "rename/nameforms.h"

namespace renaming {

const std::array<NameForm, nameFormCount>& nameForms()
{
    // text, name text, number, file time, clock
    static const std::array<NameForm, nameFormCount> forms{{
        {QStringLiteral("1er lettre en Maj + Nom en Minuscule"), false, false, false, false},
        {QStringLiteral("1er lettre en Min + Nom en Majuscule"), false, false, false, false},
        {QStringLiteral("Date Système + le nom actuel"), false, false, false, true},
        {QStringLiteral("Date Fichier + le nom actuel"), false, false, true, false},
        {QStringLiteral("Nom actuel + Date Système"), false, false, false, true},
        {QStringLiteral("Nom actuel + Date Fichier"), false, false, true, false},
        {QStringLiteral("Nom actuel + Heure Système"), false, false, false, true},
        {QStringLiteral("Heure Système + le nom actuel"), false, false, false, true},
        {QStringLiteral("Nom actuel + Heure Fichier"), false, false, true, false},
        {QStringLiteral("Heure Fichier + le nom actuel"), false, false, true, false},
        {QStringLiteral("Nom actuel en Majuscule"), false, false, false, false},
        {QStringLiteral("Nom actuel en Minuscule"), false, false, false, false},
        {QStringLiteral("Première lettre en Minuscule"), false, false, false, false},
        {QStringLiteral("Première lettre en Majuscule"), false, false, false, false},
        {QStringLiteral("Remplace par Date Système"), false, true, false, true},
        {QStringLiteral("Remplace par Date et Heure Système"), false, true, false, true},
        {QStringLiteral("Remplace par Heure Système"), false, true, false, true},
        {QStringLiteral("Remplace par Date Fichier"), false, true, true, false},
        {QStringLiteral("Remplace par Date et Heure Fichier"), false, true, true, false},
        {QStringLiteral("Remplace par Heure Fichier"), false, true, true, false},
        {QStringLiteral("Remplace par Texte"), true, true, false, false},
    }};
    return forms;
}

const NameForm* nameForm(int number)
{
    if (number < 0 || number >= nameFormCount)
        return nullptr;
    return &nameForms()[static_cast<size_t>(number)];
}

const std::array<QString, 5>& numberingStyles()
{
    static const std::array<QString, 5> styles{QStringLiteral("0"), QStringLiteral("00"),
                                               QStringLiteral("000"), QStringLiteral("0000"),
                                               QStringLiteral("Auto")};
    return styles;
}

FieldState fieldsFor(const NameForm& form)
{
    return {form.usesNameText, form.usesNumber};
}

} // namespace renaming
