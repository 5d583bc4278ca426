#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace renaming {

// A file name cut at its last dot: the base before it and at most three characters after it,
// letter case kept. A name without a dot is all base and has no dot.
struct NameParts
{
    QString base;
    QString extension;
    bool hasDot = false;
};
NameParts splitName(const QString& name);

// Whether the text, blanks aside, is an optional minus sign followed by decimal digits (and
// fits in 64 bits). The one test used by the name rule, the preview and the run's check.
bool readsAsNumber(const QString& text, long long* value = nullptr);

// Digits the running number is padded to for a stored "Format" and a work-list size;
// 0 means no padding. "Auto" pads to as many digits as the entry count has, so the names of
// any list sort in its order.
int numberWidth(int format, int entryCount);

// How the date pieces of every form are written: day-month-year, or year-month-day so that
// names sort by date.
enum class DateOrder : std::uint8_t
{
    DayMonthYear,
    YearMonthDay,
};

// The number part: a text that reads as a number is written in decimal, zero-padded to
// `width` (a wider number in full); any other text is written unchanged.
QString numberText(const QString& number, int width);

// Everything one new name is made of. The clock and the file time stamp are passed in; the
// file time stamp is only looked at by forms that use it (NameForm::usesFileTime), and only its
// date() and time(): a local wall-clock reading held in any time spec will do.
struct NameInput
{
    QString name;
    int form = 0;
    QString nameText;
    QString number;
    int format = 0;
    int entryCount = 1;
    QDateTime clock;
    QDateTime fileTime;
    DateOrder dateOrder = DateOrder::DayMonthYear;
};

struct NameResult
{
    QString name;
    // Set when no usable name comes out (unknown form, a "/" or NUL in the name, "." or "..").
    QString error;
    bool ok() const { return error.isEmpty(); }
};

// The name rule: the entry's new file name, without folder.
NameResult newName(const NameInput& input);

// The refusal text for a name that cannot be a file name.
QString invalidNameText(const QString& name);

} // namespace renaming
