#include "rename/namerule.h"

#include "rename/nameforms.h"

namespace renaming {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString datePieces(const QDate& date, DateOrder order)
{
    if (order == DateOrder::YearMonthDay)
        return QString::number(date.year()) + QLatin1Char('-') + twoDigits(date.month()) +
               QLatin1Char('-') + twoDigits(date.day());
    return twoDigits(date.day()) + QLatin1Char('-') + twoDigits(date.month()) + QLatin1Char('-') +
           QString::number(date.year());
}

// A time stamp at exactly midnight still gives "00.00.00": the time is known.
QString timePieces(const QTime& time)
{
    return twoDigits(time.hour()) + QLatin1Char('.') + twoDigits(time.minute()) + QLatin1Char('.') +
           twoDigits(time.second());
}

QString systemDate(const QDateTime& clock, DateOrder order)
{
    return QLatin1Char('(') + datePieces(clock.date(), order) + QLatin1Char(')');
}

QString systemTime(const QDateTime& clock)
{
    return QLatin1Char('(') + timePieces(clock.time()) + QLatin1Char(')');
}

QString fileDate(const QDateTime& stamp, DateOrder order)
{
    return QLatin1Char('[') + datePieces(stamp.date(), order) + QLatin1Char(']');
}

QString fileTime(const QDateTime& stamp)
{
    return QLatin1Char('[') + timePieces(stamp.time()) + QLatin1Char(']');
}

QString firstThenRest(const QString& base, bool firstUpper, int rest)
{
    if (base.isEmpty())
        return base;
    // Keep a surrogate pair together as the first character.
    const qsizetype first = base.size() > 1 && base.at(0).isHighSurrogate() ? 2 : 1;
    const QString head = base.left(first);
    const QString tail = base.mid(first);
    return (firstUpper ? head.toUpper() : head.toLower()) + (rest > 0   ? tail.toUpper()
                                                             : rest < 0 ? tail.toLower()
                                                                        : tail);
}

bool isValidFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

} // namespace

NameParts splitName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {name, QString(), false};
    // At most three characters are kept after the dot, all four of ".webp".
    const qsizetype kept =
        QStringView(name).mid(dot + 1).compare(u"webp", Qt::CaseInsensitive) == 0 ? 4 : 3;
    return {name.left(dot), name.mid(dot + 1, kept), true};
}

bool readsAsNumber(const QString& text, long long* value)
{
    const QString trimmed = text.trimmed();
    const qsizetype digitsFrom = trimmed.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (trimmed.size() == digitsFrom)
        return false;
    for (qsizetype i = digitsFrom; i < trimmed.size(); ++i) {
        const char16_t c = trimmed.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
    }
    bool ok = false;
    const long long number = trimmed.toLongLong(&ok);
    if (ok && value)
        *value = number;
    return ok;
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
    long long value = 0;
    if (!readsAsNumber(number, &value))
        return number;
    const QString digits = value < 0 ? QString::number(value).mid(1) : QString::number(value);
    return (value < 0 ? QStringLiteral("-") : QString()) +
           digits.rightJustified(width, QLatin1Char('0'));
}

QString invalidNameText(const QString& name)
{
    QString shown = name;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    return QStringLiteral("Nom de fichier incorrect : « %1 »").arg(shown);
}

NameResult newName(const NameInput& in)
{
    const NameParts parts = splitName(in.name);
    const QString& base = parts.base;
    const bool numbered = in.entryCount > 1;
    const QString number =
        numbered ? numberText(in.number, numberWidth(in.format, in.entryCount)) : QString();

    QString newBase;
    switch (in.form) {
    case 0:
        newBase = firstThenRest(base, true, -1);
        break;
    case 1:
        newBase = firstThenRest(base, false, 1);
        break;
    case 2:
        newBase = systemDate(in.clock, in.dateOrder) + base;
        break;
    case 3:
        newBase = fileDate(in.fileTime, in.dateOrder) + base;
        break;
    case 4:
        newBase = base + systemDate(in.clock, in.dateOrder);
        break;
    case 5:
        newBase = base + fileDate(in.fileTime, in.dateOrder);
        break;
    case 6:
        newBase = base + systemTime(in.clock);
        break;
    case 7:
        newBase = systemTime(in.clock) + base;
        break;
    case 8:
        newBase = base + fileTime(in.fileTime);
        break;
    case 9:
        newBase = fileTime(in.fileTime) + base;
        break;
    case 10:
        newBase = base.toUpper();
        break;
    case 11:
        newBase = base.toLower();
        break;
    case 12:
        newBase = firstThenRest(base, false, 0);
        break;
    case 13:
        newBase = firstThenRest(base, true, 0);
        break;
    case 14:
        newBase = systemDate(in.clock, in.dateOrder) + number;
        break;
    case 15:
        newBase = systemDate(in.clock, in.dateOrder) + systemTime(in.clock) + number;
        break;
    case 16:
        newBase = systemTime(in.clock) + number;
        break;
    case 17:
        newBase = fileDate(in.fileTime, in.dateOrder) + number;
        break;
    case 18:
        newBase = fileDate(in.fileTime, in.dateOrder) + fileTime(in.fileTime) + number;
        break;
    case 19:
        newBase = fileTime(in.fileTime) + number;
        break;
    case 20:
        newBase = in.nameText + number;
        break;
    default:
        return {QString(), QStringLiteral("Type de nom inconnu : %1").arg(in.form)};
    }

    // A name without a dot gets none: the file systems this program came from drop a
    // trailing dot, so that is the name its users know.
    const QString name = parts.hasDot ? newBase + QLatin1Char('.') + parts.extension : newBase;
    if (!isValidFileName(name))
        return {QString(), invalidNameText(name)};
    return {name, QString()};
}

} // namespace renaming
