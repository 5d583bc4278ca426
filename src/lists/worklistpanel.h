#pragma once

#include <QGroupBox>

class QLabel;
class QToolButton;
class QTreeView;

// The frame that holds the work list LV2 and its buttons.
class WorkListPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit WorkListPanel(QWidget* parent = nullptr);

    QTreeView* view() const { return m_lv2; }
    QToolButton* addButton() const { return m_command1; }
    QToolButton* removeButton() const { return m_command3; }
    QToolButton* addAllButton() const { return m_command6; }
    QToolButton* clearButton() const { return m_command2; }
    QToolButton* upButton() const { return m_command4; }
    QToolButton* downButton() const { return m_command5; }
    // Hidden marker "oui"/"non".
    QLabel* marker() const { return m_label5; }

private:
    QToolButton* makeButton(const char* name, const QString& toolTip, const QIcon& icon);

    QTreeView* m_lv2;
    QToolButton* m_command1;
    QToolButton* m_command3;
    QToolButton* m_command6;
    QToolButton* m_command2;
    QToolButton* m_command4;
    QToolButton* m_command5;
    QLabel* m_label5;
};
