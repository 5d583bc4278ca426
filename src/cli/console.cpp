#include "cli/console.h"

#include "cli/commandline.h"

#include <QJsonDocument>
#include <QLocale>

#include <array>
#include <cerrno>
#include <cstdio>

#include <poll.h>
#include <unistd.h>

namespace cli {

namespace {

void write(std::FILE* stream, const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

} // namespace

void Console::result(const QJsonObject& object) const
{
    write(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
}

void Console::result(const QString& text) const
{
    write(stdout, text.toUtf8() + '\n');
}

void Console::message(const QString& text)
{
    std::fflush(stdout);
    write(stderr, "morvane-batch: " + text.toUtf8() + '\n');
    std::fflush(stderr);
}

void Console::line(const QString& text)
{
    std::fflush(stdout);
    write(stderr, text.toUtf8() + '\n');
    std::fflush(stderr);
}

Progress::Progress(int total) : m_total(total), m_enabled(::isatty(STDERR_FILENO) == 1)
{
    m_started.start();
}

Progress::~Progress()
{
    clear();
}

void Progress::update(int done, const QString& current)
{
    if (!m_enabled)
        return;
    const qint64 now = m_started.elapsed();
    // A tenth of a second between redraws: a terminal is slower than a rename.
    if (m_lastDrawn >= 0 && now - m_lastDrawn < 100 && done < m_total)
        return;
    m_lastDrawn = now;
    const double seconds = static_cast<double>(now) / 1000.0;
    const double rate = seconds > 0 ? done / seconds : 0.0;
    QString name = current.mid(current.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.size() > 40)
        name = name.left(39) + QChar(0x2026);
    const QString text = QStringLiteral("\r\x1b[K%1/%2 fichiers  %3/s  %4")
                             .arg(done)
                             .arg(m_total)
                             .arg(QLocale().toString(rate, 'f', 1), name);
    write(stderr, text.toUtf8());
    std::fflush(stderr);
    m_shown = true;
}

void Progress::clear()
{
    if (!m_shown)
        return;
    write(stderr, "\r\x1b[K");
    std::fflush(stderr);
    m_shown = false;
}

namespace {

// All of standard input. Waits in steps of a tenth of a second so that a stop signal
// (a flag, since the signals themselves stay blocked) ends the wait.
std::optional<QByteArray> readStandardInput(const std::atomic<bool>* stop, bool* stopped)
{
    QByteArray all;
    std::array<char, 1 << 16> buffer;
    for (;;) {
        if (stop && stop->load()) {
            *stopped = true;
            return all;
        }
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&in, 1, 100);
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (ready <= 0)
            continue;
        const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return all;
        all.append(buffer.data(), got);
    }
}

} // namespace

Inputs readInputs(const QStringList& arguments, bool nulSeparated, const std::atomic<bool>* stop)
{
    Inputs inputs;
    if (!arguments.contains(QStringLiteral("-"))) {
        inputs.paths = arguments;
    } else if (arguments.size() != 1) {
        inputs.error = QStringLiteral("« - » (lire les chemins sur l'entrée standard) doit être "
                                      "le seul FICHIER.");
        return inputs;
    } else {
        const std::optional<QByteArray> all = readStandardInput(stop, &inputs.stopped);
        if (!all) {
            inputs.error = QStringLiteral("Entrée standard illisible.");
            return inputs;
        }
        if (inputs.stopped)
            return inputs;
        const char separator = nulSeparated ? '\0' : '\n';
        qsizetype from = 0;
        while (from < all->size()) {
            qsizetype end = all->indexOf(separator, from);
            if (end < 0)
                end = all->size();
            if (end > from)
                inputs.paths.append(decodeName(QByteArrayView(*all).sliced(from, end - from)));
            from = end + 1;
        }
    }
    if (const int refused = reportNonUtf8(inputs.paths); refused > 0)
        inputs.error =
            QStringLiteral("%1 nom(s) de fichier non UTF-8 : rien n'a été changé.").arg(refused);
    return inputs;
}

} // namespace cli
