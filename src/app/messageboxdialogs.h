#pragma once

#include "services/dialogs.h"

class QWidget;

// Dialogs shown with QMessageBox and Qt's own folder dialog.
class MessageBoxDialogs : public Dialogs
{
public:
    explicit MessageBoxDialogs(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    bool askOkCancel(const QString& text, const QString& title, DialogIcon icon) override;
    void message(const QString& text, const QString& title, DialogIcon icon) override;
    std::optional<QString> pickFolder(const QString& title) override;

private:
    QWidget* m_parent;
};
