#include "app/menus.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace {

struct Item
{
    const char* name;
    const char* caption; // "-" is a separator line; '&' marks the mnemonic
    const char* shortcut = nullptr;
};

QAction* addItem(QMenu* menu, const Item& item, MainMenus& menus)
{
    const QString caption = QString::fromUtf8(item.caption);
    QAction* action =
        caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
    action->setObjectName(QLatin1String(item.name));
    if (item.shortcut)
        action->setShortcut(QKeySequence(QLatin1String(item.shortcut)));
    menus.items.insert(action->objectName(), action);
    return action;
}

QMenu* addMenu(QMenuBar* bar, const Item& title, std::initializer_list<Item> items,
               MainMenus& menus)
{
    QMenu* menu = bar->addMenu(QString::fromUtf8(title.caption));
    menu->setObjectName(QLatin1String(title.name));
    menus.items.insert(menu->objectName(), menu->menuAction());
    for (const Item& item : items)
        addItem(menu, item, menus);
    return menu;
}

} // namespace

MainMenus buildMainMenus(QMenuBar* bar, QWidget* owner)
{
    MainMenus menus;
    addMenu(bar, {"fich", "&Fichier"},
            {{"ouvr1", "&Ouvrir", "Ctrl+O"}, {"sep3", "-"}, {"quit", "&Quitter", "Ctrl+Q"}}, menus);
    addMenu(bar, {"edit", "&Edition"},
            {{"cop", "&Copier", "Ctrl+Shift+C"},
             {"supp", "&Supprimer", "Del"},
             {"depl", "&Déplacer", "Ctrl+Shift+M"},
             {"sep2", "-"},
             {"ajfich", "&Ajouter fichier(s) séléctionné(s)"},
             {"ajtout", "Ajouter &tous les fichiers"},
             {"enfich", "&Enlever fichier(s) séléctionné(s)", "Del"},
             {"vide", "&Vider la liste des fichiers à renommer"},
             {"sep4", "-"},
             {"annulren", "A&nnuler le dernier renommage", "Ctrl+Z"},
             {"ajdossier", "Ajouter un d&ossier et ses sous-dossiers…"}},
            menus);
    // Delete acts on the list that has the focus: the window attaches each of these two
    // items to its list.
    for (const char* name : {"supp", "enfich"})
        menus.items.value(QLatin1String(name))->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // "Options" is an item of the bar itself, without sub-items.
    QAction* options = bar->addAction(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("opt"));
    options->setShortcut(QKeySequence(QStringLiteral("Ctrl+,")));
    menus.items.insert(options->objectName(), options);
    addMenu(bar, {"apropos", "A &propos"},
            {{"aide", "&Aide", "F1"}, {"sep1", "-"}, {"ap", "A &propos"}}, menus);

    // Never shown in the bar: a pop-up over the browse list.
    menus.flottant = new QMenu(QStringLiteral("Flottant"), owner);
    menus.flottant->setObjectName(QStringLiteral("flottant"));
    for (const Item& item :
         {Item{"ouvrir", "Ouvrir"}, Item{"sep", "-"}, Item{"copier", "Copier"},
          Item{"sup", "Supprimer"}, Item{"depla", "Déplacer"}, Item{"sep12", "-"},
          Item{"ajfichier", "Ajouter fichier"}, Item{"ajtotal", "Ajouter tout"}, Item{"sep13", "-"},
          Item{"selectall", "Selectionner tout"}})
        addItem(menus.flottant, item, menus);
    return menus;
}
