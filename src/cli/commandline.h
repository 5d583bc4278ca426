#pragma once

#include <QByteArrayView>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

// File names come from the system as bytes. They are decoded so that none is ever confused
// with another: valid UTF-8 as it is, and each byte of a sequence that is not valid UTF-8 as
// the lone surrogate U+DC00 + byte, which no valid name decodes to. Such a name is refused
// before anything is done (nonUtf8Refusal()), never opened under another name.
QString decodeName(QByteArrayView bytes);

// The arguments of main(), decoded by decodeName(): what the commands parse.
QStringList decodeArguments(int argc, const char* const* argv);

// For a name that was not valid UTF-8, the refusal naming its bytes ("caf\xe9.jpg : nom de
// fichier non UTF-8 : refusé"); nullopt for a valid name.
std::optional<QString> nonUtf8Refusal(const QString& path);

// Prints the refusal of each name of `paths` that is not valid UTF-8 on standard error and
// returns how many there were.
int reportNonUtf8(const QStringList& paths);

// The parser of one command with the options every command has (--help, --dry-run, --json,
// --null) and the FILE arguments. Parsing never exits the program: a bad option is a usage
// error (status 2), not a failed file.
class CommandLine
{
public:
    CommandLine(const QString& command, const QString& summary);

    void addOption(const QCommandLineOption& option) { m_parser.addOption(option); }

    // Parses `arguments` (the command's name first). Returns an exit status when the command
    // must not run: 0 after printing the help, 2 after a usage error.
    std::optional<int> parse(const QStringList& arguments, const QString& moreHelp);

    const QCommandLineParser& parser() const { return m_parser; }
    bool dryRun() const { return m_parser.isSet(m_dryRun); }
    bool json() const { return m_parser.isSet(m_json); }
    bool nulSeparated() const { return m_parser.isSet(m_null); }
    QStringList files() const { return m_parser.positionalArguments(); }
    const QString& command() const { return m_command; }

    // The whole help text of the command.
    QString help(const QString& moreHelp) const;

private:
    QString m_command;
    QString m_summary;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_dryRun;
    QCommandLineOption m_json;
    QCommandLineOption m_null;
};

} // namespace cli
