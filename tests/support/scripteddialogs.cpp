#include "scripteddialogs.h"

QList<ScriptedDialogs::Call> ScriptedDialogs::messages() const
{
    QList<Call> result;
    for (const Call& call : m_calls)
        if (call.kind == Kind::Message)
            result.append(call);
    return result;
}

bool ScriptedDialogs::askOkCancel(const QString& text, const QString& title, DialogIcon icon)
{
    m_calls.append({Kind::Ask, text, title, icon});
    return !m_asks.isEmpty() && m_asks.takeFirst();
}

void ScriptedDialogs::message(const QString& text, const QString& title, DialogIcon icon)
{
    m_calls.append({Kind::Message, text, title, icon});
}

std::optional<QString> ScriptedDialogs::pickFolder(const QString& title)
{
    m_calls.append({Kind::PickFolder, QString(), title, DialogIcon::None});
    return m_folders.isEmpty() ? std::nullopt : m_folders.takeFirst();
}

char* toString(const ScriptedDialogs::Call& call)
{
    static const char* const kinds[] = {"Ask", "Message", "PickFolder"};
    const QString text = QStringLiteral("%1(\"%2\", title \"%3\", icon %4)")
                             .arg(QLatin1String(kinds[int(call.kind)]), call.text, call.title,
                                  QString::number(int(call.icon)));
    return qstrdup(text.toUtf8().constData());
}
