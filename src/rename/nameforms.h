#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>

namespace renaming {

// One name form: its text in the list Combo11 and what it takes from the panel and the file.
// The position in nameForms() is the form's number.
struct NameForm
{
    QString text;
    QLatin1StringView keyword; // its name on the command line (--form)
    bool usesNameText;
    bool usesNumber;
    bool usesFileTime;
    bool usesClock;
};

inline constexpr int nameFormCount = 21;
// "Remplace par Texte", the form shown at start.
inline constexpr int textForm = 20;

const std::array<NameForm, nameFormCount>& nameForms();

// The form with that number, or nullptr outside 0 to 20.
const NameForm* nameForm(int number);

// The numbering styles of Combo2, by their stored index.
inline constexpr int autoStyle = 4;
const std::array<QString, 5>& numberingStyles();

// Which panel fields a form enables: the name text (Label1, Text1) and the numbering
// (Label2, Text2, Label7, Combo2).
struct FieldState
{
    bool nameText;
    bool numbering;
};
FieldState fieldsFor(const NameForm& form);

} // namespace renaming
