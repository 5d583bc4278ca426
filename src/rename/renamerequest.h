#pragma once

#include "lists/worklist.h"
#include "settings/settingsstore.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace renaming {

// What one rename run works on: the work list's entries in order, the panel's fields and
// the settings read once at the start.
struct RenameRequest
{
    std::vector<WorkEntry> entries;
    int form = 0;
    QString nameText;
    QString startNumber;
    SettingsSnapshot settings;
};

// Why a run does not start. Nothing has changed on disk when one is given.
enum class Refusal
{
    None,
    EmptyName,
    EmptyList,
    BadStartNumber
};

// The checks made before the confirmation, in their order. A start number is checked only
// where it is used: forms that number their names, with two or more entries.
Refusal check(const RenameRequest& request);
QString refusalText(Refusal refusal);

// The clock of a run: read once per run.
using Clock = std::function<QDateTime()>;

} // namespace renaming
