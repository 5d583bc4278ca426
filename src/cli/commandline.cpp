#include "cli/commandline.h"

#include "cli/commands.h"

#include <cstdio>

namespace cli {

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
