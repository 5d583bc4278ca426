#include "lists/worklistpanel.h"

#include "app/icons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

WorkListPanel::WorkListPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Liste des fichiers à renomer"), parent), m_lv2(new QTreeView(this)),
      m_label5(new QLabel(this))
{
    setObjectName(QStringLiteral("Frame2"));
    m_lv2->setObjectName(QStringLiteral("LV2"));
    m_lv2->setAccessibleName(title());
    m_lv2->setRootIsDecorated(false);
    m_lv2->setUniformRowHeights(true);
    m_lv2->setSelectionMode(QAbstractItemView::SingleSelection);
    m_label5->setObjectName(QStringLiteral("Label5"));
    m_label5->hide();

    m_command1 = makeButton("Command1", QStringLiteral("Ajoute le fichier à renomer à la liste"),
                            icons::themed("list-add", QStyle::SP_ArrowRight));
    m_command3 =
        makeButton("Command3", QStringLiteral("Supprime le fichier selectionné de la liste"),
                   icons::themed("list-remove", QStyle::SP_ArrowLeft));
    m_command6 = makeButton("Command6", QStringLiteral("Ajouter tous les fichiers"),
                            icons::themed("edit-select-all", QStyle::SP_FileDialogListView));
    m_command2 = makeButton("Command2", QStringLiteral("Vide la liste"),
                            icons::themed("edit-clear", QStyle::SP_DialogResetButton));
    m_command4 = makeButton("Command4", QStringLiteral("Monte un fichier dans la liste"),
                            icons::themed("go-up", QStyle::SP_ArrowUp));
    m_command5 = makeButton("Command5", QStringLiteral("Descend un fichier dans la liste"),
                            icons::themed("go-down", QStyle::SP_ArrowDown));

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    for (QToolButton* button : {m_command1, m_command3, m_command6, m_command2})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(m_command4);
    buttons->addWidget(m_command5);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_lv2, 1);
}

QToolButton* WorkListPanel::makeButton(const char* name, const QString& toolTip, const QIcon& icon)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setIcon(icon);
    button->setAutoRaise(false);
    return button;
}
