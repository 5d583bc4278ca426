#include "cli/testhooks.h"

#include "cli/stopsignals.h"
#include "convert/atomicfile.h"
#include "fileops/fileops.h"

#include <QHash>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace cli::testhooks {

namespace {

using fileops::testing::Call;

std::optional<Call> callNamed(const QString& name)
{
    static const QHash<QString, Call> calls{
        {QStringLiteral("rename"), Call::Rename},     {QStringLiteral("link"), Call::Link},
        {QStringLiteral("unlink"), Call::Unlink},     {QStringLiteral("create"), Call::Create},
        {QStringLiteral("write"), Call::Write},       {QStringLiteral("sync"), Call::Sync},
        {QStringLiteral("settimes"), Call::SetTimes},
    };
    const auto found = calls.constFind(name);
    if (found == calls.cend())
        return std::nullopt;
    return *found;
}

} // namespace

std::optional<QString> installFailures()
{
    const QString spec = qEnvironmentVariable("MORVANE_BATCH_TEST_FAIL");
    if (spec.isEmpty())
        return std::nullopt;
    std::vector<std::pair<Call, QString>> rules;
    for (const QString& rule : spec.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype colon = rule.indexOf(QLatin1Char(':'));
        const std::optional<Call> call = callNamed(rule.left(colon));
        if (colon <= 0 || !call)
            return QStringLiteral("MORVANE_BATCH_TEST_FAIL illisible : %1").arg(rule);
        rules.emplace_back(*call, rule.mid(colon + 1));
    }
    // Writes of converted pictures go through the conversion's own writer: a "write" rule
    // makes it fail at the first byte, as a full disk would.
    QStringList writeFailures;
    for (const auto& [call, name] : rules) {
        if (call == Call::Write)
            writeFailures.append(name);
    }
    convert::testing::setWriteFailureHook([writeFailures](const QString& destination) {
        const QString name = destination.mid(destination.lastIndexOf(QLatin1Char('/')) + 1);
        return writeFailures.contains(name) ? qint64(0) : qint64(-1);
    });
    fileops::testing::setFailureHook([rules](Call call, const QString& path) {
        const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        for (const auto& [ruleCall, ruleName] : rules) {
            if (ruleCall == call && ruleName == name)
                return EIO;
        }
        return 0;
    });
    return std::nullopt;
}

Pause::Pause()
{
    bool ok = false;
    const int after = qEnvironmentVariableIntValue("MORVANE_BATCH_TEST_PAUSE_AFTER", &ok);
    if (ok && after >= 0)
        m_after = after;
}

void Pause::afterFiles(int done, StopSignals& stops) const
{
    if (done != m_after)
        return;
    std::fputs("morvane-batch: pause de test\n", stderr);
    std::fflush(stderr);
    stops.waitForStop(std::chrono::minutes(1));
}

} // namespace cli::testhooks
