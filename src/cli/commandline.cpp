#include "cli/commandline.h"

#include "cli/commands.h"
#include "cli/console.h"

#include <cstdio>

namespace cli {

namespace {

// The length of the valid UTF-8 sequence at the start of `bytes`, 0 when there is none
// (overlong forms, surrogates and code points past U+10FFFF are not valid).
qsizetype validSequence(QByteArrayView bytes)
{
    const auto at = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    }
    return length;
}

bool isEscapedByte(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

// A low surrogate that does not follow a high one: only decodeName() makes those.
bool isLoneSurrogate(const QString& text, qsizetype i)
{
    return isEscapedByte(text.at(i)) && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

} // namespace

QString decodeName(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype from = 0;
    while (from < bytes.size()) {
        qsizetype valid = from;
        qsizetype length = 0;
        while (valid < bytes.size() && (length = validSequence(bytes.sliced(valid))) > 0)
            valid += length;
        text += QString::fromUtf8(bytes.sliced(from, valid - from));
        if (valid < bytes.size()) {
            text += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[valid])));
            ++valid;
        }
        from = valid;
    }
    return text;
}

QStringList decodeArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments.append(decodeName(QByteArrayView(argv[i])));
    return arguments;
}

std::optional<QString> nonUtf8Refusal(const QString& path)
{
    bool escaped = false;
    QString shown;
    shown.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (isLoneSurrogate(path, i)) {
            escaped = true;
            shown +=
                QStringLiteral("\\x%1").arg(path.at(i).unicode() - 0xDC00, 2, 16, QLatin1Char('0'));
        } else {
            shown += path.at(i);
        }
    }
    if (!escaped)
        return std::nullopt;
    return QStringLiteral("%1 : nom de fichier non UTF-8 : refusé").arg(shown);
}

int reportNonUtf8(const QStringList& paths)
{
    int refused = 0;
    for (const QString& path : paths) {
        if (const std::optional<QString> refusal = nonUtf8Refusal(path)) {
            Console::message(*refusal);
            ++refused;
        }
    }
    return refused;
}

CommandLine::CommandLine(const QString& command, const QString& summary)
    : m_command(command), m_summary(summary),
      m_help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
             QStringLiteral("Affiche cette aide.")),
      m_dryRun(QStringLiteral("dry-run"),
               QStringLiteral("Affiche ce qui serait fait, une ligne par fichier, sans rien "
                              "changer ; le statut de sortie est celui de la vérification.")),
      m_json(QStringLiteral("json"),
             QStringLiteral("Un objet JSON par fichier et par ligne sur la sortie standard, "
                            "rien d'autre.")),
      m_null(QStringLiteral("null"),
             QStringLiteral("Avec « - » : les chemins lus sur l'entrée standard sont séparés "
                            "par des caractères NUL (find -print0) au lieu de fins de ligne."))
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
    m_parser.addOption(m_dryRun);
    m_parser.addOption(m_json);
    m_parser.addOption(m_null);
    m_parser.addPositionalArgument(
        QStringLiteral("FICHIER"),
        QStringLiteral("Les fichiers, dans l'ordre ; « - » seul : lire les chemins sur "
                       "l'entrée standard, un par ligne. « -- » termine les options."),
        QStringLiteral("FICHIER..."));
}

std::optional<int> CommandLine::parse(const QStringList& arguments, const QString& moreHelp)
{
    if (!m_parser.parse(arguments))
        return usageError(m_command, m_parser.errorText());
    if (m_parser.isSet(m_help)) {
        const QByteArray text = help(moreHelp).toUtf8();
        std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
        return 0;
    }
    if (m_parser.positionalArguments().isEmpty())
        return usageError(m_command, QStringLiteral("Aucun FICHIER indiqué."));
    return std::nullopt;
}

QString CommandLine::help(const QString& moreHelp) const
{
    // The parser's own first line names the program only; ours names the command too.
    QString text = m_parser.helpText();
    text = text.mid(text.indexOf(QLatin1Char('\n')) + 1);
    while (text.startsWith(QLatin1Char('\n')))
        text.remove(0, 1);
    return QStringLiteral("Utilisation : morvane-batch %1 [options] FICHIER...\n%2\n\n")
               .arg(m_command, m_summary) +
           text + QLatin1Char('\n') + moreHelp + QLatin1Char('\n') + exitStatusHelp();
}

} // namespace cli
