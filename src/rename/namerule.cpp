#include "rename/namerule.h"

#include "rename/nameforms.h"

#include <charconv>
#include <limits>

namespace renaming {

namespace {

// The name is made in one text, each piece appended in place.

void appendTwoDigits(QString& out, int value)
{
    if (value < 0 || value > 99) {
        // An invalid time's -1.
        out.append(QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')));
        return;
    }
    out.append(QChar(u'0' + value / 10));
    out.append(QChar(u'0' + value % 10));
}

void appendDecimal(QString& out, long long value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(QLatin1StringView(digits, end - digits));
}

void appendDate(QString& out, const QDate& date, DateOrder order)
{
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (order == DateOrder::YearMonthDay) {
        appendDecimal(out, year);
        out.append(QLatin1Char('-'));
        appendTwoDigits(out, month);
        out.append(QLatin1Char('-'));
        appendTwoDigits(out, day);
    } else {
        appendTwoDigits(out, day);
        out.append(QLatin1Char('-'));
        appendTwoDigits(out, month);
        out.append(QLatin1Char('-'));
        appendDecimal(out, year);
    }
}

// A time stamp at exactly midnight still gives "00.00.00": the time is known.
void appendTime(QString& out, const QTime& time)
{
    appendTwoDigits(out, time.hour());
    out.append(QLatin1Char('.'));
    appendTwoDigits(out, time.minute());
    out.append(QLatin1Char('.'));
    appendTwoDigits(out, time.second());
}

void appendSystemDate(QString& out, const QDateTime& clock, DateOrder order)
{
    out.append(QLatin1Char('('));
    appendDate(out, clock.date(), order);
    out.append(QLatin1Char(')'));
}

void appendSystemTime(QString& out, const QDateTime& clock)
{
    out.append(QLatin1Char('('));
    appendTime(out, clock.time());
    out.append(QLatin1Char(')'));
}

void appendFileDate(QString& out, const QDateTime& stamp, DateOrder order)
{
    out.append(QLatin1Char('['));
    appendDate(out, stamp.date(), order);
    out.append(QLatin1Char(']'));
}

void appendFileTime(QString& out, const QDateTime& stamp)
{
    out.append(QLatin1Char('['));
    appendTime(out, stamp.time());
    out.append(QLatin1Char(']'));
}

bool readsAsNumber(QStringView text, long long* value)
{
    const QStringView trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    const qsizetype digitsFrom = negative ? 1 : 0;
    if (trimmed.size() == digitsFrom)
        return false;
    // Read here rather than through the locale's parser: the digits are ASCII, and a value
    // fits when it is at most 2^63 - 1, or 2^63 with a minus sign.
    const unsigned long long limit =
        static_cast<unsigned long long>(std::numeric_limits<long long>::max()) + (negative ? 1 : 0);
    unsigned long long magnitude = 0;
    for (qsizetype i = digitsFrom; i < trimmed.size(); ++i) {
        const char16_t c = trimmed.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        const unsigned digit = c - u'0';
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    if (value)
        *value =
            negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
    return true;
}

// The number part of numberText().
void appendNumber(QString& out, QStringView number, int width)
{
    long long value = 0;
    if (!readsAsNumber(number, &value)) {
        out.append(number);
        return;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    QLatin1StringView text(digits, end - digits);
    if (value < 0) {
        out.append(QLatin1Char('-'));
        text = text.sliced(1);
    }
    for (qsizetype pad = width - text.size(); pad > 0; --pad)
        out.append(QLatin1Char('0'));
    out.append(text);
}

bool isAscii(QStringView text)
{
    char16_t all = 0;
    for (const QChar c : text)
        all |= c.unicode();
    return all < 0x80;
}

// Appends `text` in upper case (`mode` > 0), lower case (< 0) or as it is (0).
void appendCased(QString& out, QStringView text, int mode)
{
    if (mode == 0) {
        out.append(text);
    } else if (isAscii(text)) {
        // An ASCII letter's case is an ASCII letter: no table needed.
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (mode > 0 && u >= u'a' && u <= u'z')
                out.append(QChar(u - 32));
            else if (mode < 0 && u >= u'A' && u <= u'Z')
                out.append(QChar(u + 32));
            else
                out.append(c);
        }
    } else {
        out.append(mode > 0 ? text.toString().toUpper() : text.toString().toLower());
    }
}

void appendFirstThenRest(QString& out, QStringView base, bool firstUpper, int rest)
{
    if (base.isEmpty())
        return;
    // Keep a surrogate pair together as the first character.
    const qsizetype first = base.size() > 1 && base.at(0).isHighSurrogate() ? 2 : 1;
    appendCased(out, base.left(first), firstUpper ? 1 : -1);
    appendCased(out, base.mid(first), rest);
}

bool isValidFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c.isNull())
            return false;
    }
    return true;
}

// A name cut at its last dot, as splitName() does, without copies.
struct NamePartsView
{
    QStringView base;
    QStringView extension;
    bool hasDot = false;
};

NamePartsView splitNameView(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {name, {}, false};
    // At most three characters are kept after the dot, all four of ".webp".
    const QStringView after = name.mid(dot + 1);
    const qsizetype kept = after.compare(u"webp", Qt::CaseInsensitive) == 0 ? 4 : 3;
    return {name.left(dot), after.left(kept), true};
}

} // namespace

NameParts splitName(const QString& name)
{
    const NamePartsView parts = splitNameView(name);
    return {parts.base.toString(), parts.extension.toString(), parts.hasDot};
}

bool readsAsNumber(const QString& text, long long* value)
{
    return readsAsNumber(QStringView(text), value);
}

int numberWidth(int format, int entryCount)
{
    if (format >= 0 && format < autoStyle)
        return format + 1;
    if (format != autoStyle)
        return 0;
    // As many digits as the entry count has: 1 to 9 entries give 1, 10 to 99 give 2, ...
    int width = 1;
    for (int count = entryCount; count >= 10; count /= 10)
        ++width;
    return width;
}

QString numberText(const QString& number, int width)
{
    QString text;
    appendNumber(text, number, width);
    return text;
}

QString invalidNameText(const QString& name)
{
    QString shown = name;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    return QStringLiteral("Nom de fichier incorrect : « %1 »").arg(shown);
}

NameResult newName(const NameInput& in)
{
    const NamePartsView parts = splitNameView(in.name);
    const QStringView base = parts.base;
    const int width = numberWidth(in.format, in.entryCount);
    // The running number goes only where the list has more than one entry.
    const auto number = [&](QString& out) {
        if (in.entryCount > 1)
            appendNumber(out, in.number, width);
    };

    NameResult result;
    QString& name = result.name;
    name.reserve(in.name.size() + in.nameText.size() + in.number.size() + width + 48);
    switch (in.form) {
    case 0:
        appendFirstThenRest(name, base, true, -1);
        break;
    case 1:
        appendFirstThenRest(name, base, false, 1);
        break;
    case 2:
        appendSystemDate(name, in.clock, in.dateOrder);
        name.append(base);
        break;
    case 3:
        appendFileDate(name, in.fileTime, in.dateOrder);
        name.append(base);
        break;
    case 4:
        name.append(base);
        appendSystemDate(name, in.clock, in.dateOrder);
        break;
    case 5:
        name.append(base);
        appendFileDate(name, in.fileTime, in.dateOrder);
        break;
    case 6:
        name.append(base);
        appendSystemTime(name, in.clock);
        break;
    case 7:
        appendSystemTime(name, in.clock);
        name.append(base);
        break;
    case 8:
        name.append(base);
        appendFileTime(name, in.fileTime);
        break;
    case 9:
        appendFileTime(name, in.fileTime);
        name.append(base);
        break;
    case 10:
        appendCased(name, base, 1);
        break;
    case 11:
        appendCased(name, base, -1);
        break;
    case 12:
        appendFirstThenRest(name, base, false, 0);
        break;
    case 13:
        appendFirstThenRest(name, base, true, 0);
        break;
    case 14:
        appendSystemDate(name, in.clock, in.dateOrder);
        number(name);
        break;
    case 15:
        appendSystemDate(name, in.clock, in.dateOrder);
        appendSystemTime(name, in.clock);
        number(name);
        break;
    case 16:
        appendSystemTime(name, in.clock);
        number(name);
        break;
    case 17:
        appendFileDate(name, in.fileTime, in.dateOrder);
        number(name);
        break;
    case 18:
        appendFileDate(name, in.fileTime, in.dateOrder);
        appendFileTime(name, in.fileTime);
        number(name);
        break;
    case 19:
        appendFileTime(name, in.fileTime);
        number(name);
        break;
    case 20:
        name.append(in.nameText);
        number(name);
        break;
    default:
        return {QString(), QStringLiteral("Type de nom inconnu : %1").arg(in.form)};
    }

    // A name without a dot gets none: the file systems this program came from drop a
    // trailing dot, so that is the name its users know.
    if (parts.hasDot) {
        name.append(QLatin1Char('.'));
        name.append(parts.extension);
    }
    if (!isValidFileName(name))
        return {QString(), invalidNameText(name)};
    return result;
}

} // namespace renaming
