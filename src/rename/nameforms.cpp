#include "rename/nameforms.h"

using namespace Qt::StringLiterals;

namespace renaming {

const std::array<NameForm, nameFormCount>& nameForms()
{
    // text, command-line keyword, name text, number, file time, clock
    static const std::array<NameForm, nameFormCount> forms{{
        {QStringLiteral("1er lettre en Maj + Nom en Minuscule"), "capitalize"_L1, false, false,
         false, false},
        {QStringLiteral("1er lettre en Min + Nom en Majuscule"), "lower-first-upper-rest"_L1, false,
         false, false, false},
        {QStringLiteral("Date Système + le nom actuel"), "system-date-prefix"_L1, false, false,
         false, true},
        {QStringLiteral("Date Fichier + le nom actuel"), "file-date-prefix"_L1, false, false, true,
         false},
        {QStringLiteral("Nom actuel + Date Système"), "system-date-suffix"_L1, false, false, false,
         true},
        {QStringLiteral("Nom actuel + Date Fichier"), "file-date-suffix"_L1, false, false, true,
         false},
        {QStringLiteral("Nom actuel + Heure Système"), "system-time-suffix"_L1, false, false, false,
         true},
        {QStringLiteral("Heure Système + le nom actuel"), "system-time-prefix"_L1, false, false,
         false, true},
        {QStringLiteral("Nom actuel + Heure Fichier"), "file-time-suffix"_L1, false, false, true,
         false},
        {QStringLiteral("Heure Fichier + le nom actuel"), "file-time-prefix"_L1, false, false, true,
         false},
        {QStringLiteral("Nom actuel en Majuscule"), "upper"_L1, false, false, false, false},
        {QStringLiteral("Nom actuel en Minuscule"), "lower"_L1, false, false, false, false},
        {QStringLiteral("Première lettre en Minuscule"), "lower-first"_L1, false, false, false,
         false},
        {QStringLiteral("Première lettre en Majuscule"), "upper-first"_L1, false, false, false,
         false},
        {QStringLiteral("Remplace par Date Système"), "system-date"_L1, false, true, false, true},
        {QStringLiteral("Remplace par Date et Heure Système"), "system-date-time"_L1, false, true,
         false, true},
        {QStringLiteral("Remplace par Heure Système"), "system-time"_L1, false, true, false, true},
        {QStringLiteral("Remplace par Date Fichier"), "file-date"_L1, false, true, true, false},
        {QStringLiteral("Remplace par Date et Heure Fichier"), "file-date-time"_L1, false, true,
         true, false},
        {QStringLiteral("Remplace par Heure Fichier"), "file-time"_L1, false, true, true, false},
        {QStringLiteral("Remplace par Texte"), "text"_L1, true, true, false, false},
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
