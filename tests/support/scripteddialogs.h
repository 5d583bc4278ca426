#pragma once

#include "services/dialogs.h"

#include <QList>
#include <QString>

#include <optional>

// Dialogs for tests: records every call and answers from a script. An unscripted
// question answers Cancel and an unscripted picker is cancelled, so no test blocks.
class ScriptedDialogs : public Dialogs
{
public:
    enum class Kind
    {
        Ask,
        Message,
        PickFolder
    };
    struct Call
    {
        Kind kind;
        QString text;
        QString title;
        DialogIcon icon;
        bool operator==(const Call&) const = default;
    };
    // A message as calls() records it: compare whole calls rather than field by field.
    static Call shown(const QString& text, const QString& title, DialogIcon icon)
    {
        return {Kind::Message, text, title, icon};
    }

    void answerAsk(bool ok) { m_asks.push_back(ok); }
    // A folder to pick, or std::nullopt for a cancelled picker.
    void answerFolder(const std::optional<QString>& folder) { m_folders.push_back(folder); }

    const QList<Call>& calls() const { return m_calls; }
    QList<Call> messages() const;
    void clear() { m_calls.clear(); }

    bool askOkCancel(const QString& text, const QString& title, DialogIcon icon) override;
    void message(const QString& text, const QString& title, DialogIcon icon) override;
    std::optional<QString> pickFolder(const QString& title) override;

private:
    QList<Call> m_calls;
    QList<bool> m_asks;
    QList<std::optional<QString>> m_folders;
};

// Readable calls in Qt Test failures.
char* toString(const ScriptedDialogs::Call& call);
