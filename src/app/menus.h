#pragma once

#include <QHash>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// The menu bar of the main window and the pop-up menu "flottant" over the browse list.
// Every item is an action whose objectName is the item's name (`ouvr1`, `cop`, `ajfich`...).
struct MainMenus
{
    QHash<QString, QAction*> items;
    QMenu* flottant = nullptr;

    QAction* item(const QString& name) const { return items.value(name); }
};

MainMenus buildMainMenus(QMenuBar* bar, QWidget* owner);
