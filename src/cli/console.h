#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace cli {

// Standard output carries the results (text lines, or one JSON object per line and nothing
// else); standard error carries messages, progress and the summary.
class Console
{
public:
    explicit Console(bool json) : m_json(json) {}
    bool json() const { return m_json; }

    // One result line on standard output.
    void result(const QJsonObject& object) const;
    void result(const QString& text) const;
    // A message on standard error, after the program's name.
    static void message(const QString& text);
    // A line on standard error, as is.
    static void line(const QString& text);

private:
    bool m_json;
};

// "files done / total, current file, rate" on standard error, rewritten in place, when
// standard error is a terminal; silent otherwise.
class Progress
{
public:
    explicit Progress(int total);
    ~Progress();
    void update(int done, const QString& current);
    // Erases the progress line so the next message starts on a clean line.
    void clear();

private:
    int m_total;
    bool m_enabled;
    bool m_shown = false;
    QElapsedTimer m_started;
    qint64 m_lastDrawn = -1;
};

// The FILE arguments, or, when the only one is "-", the paths read from standard input one
// per line (NUL-separated with `nulSeparated`), decoded by decodeName(). Empty lines are
// skipped. An error text when "-" is mixed with other files, and when a name is not valid
// UTF-8 (each such name is then refused on standard error first). When `stop` is set while
// standard input is still awaited, reading ends with `stopped` set: nothing was done yet.
struct Inputs
{
    QStringList paths;
    std::optional<QString> error;
    bool stopped = false;
};
Inputs readInputs(const QStringList& arguments, bool nulSeparated,
                  const std::atomic<bool>* stop = nullptr);

} // namespace cli
