#pragma once

#include <QString>

#include <optional>

// The icon of a message box. None gives a box without icon.
enum class DialogIcon
{
    None,
    Critical,
    Question,
    Warning,
    Information
};

// Every message box and the folder picker go through this interface, so every handler
// can be driven by scripted answers in tests.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // OK / Cancel question. True only for OK; a box closed otherwise counts as Cancel.
    virtual bool askOkCancel(const QString& text, const QString& title, DialogIcon icon) = 0;

    // A message with one OK button.
    virtual void message(const QString& text, const QString& title, DialogIcon icon) = 0;

    // Folder picker (folders only, cancellable). No value when the user cancels.
    virtual std::optional<QString> pickFolder(const QString& title = {}) = 0;
};
