#include "rename/renamepanel.h"

#include "widgets/valuelabel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

const QString nameTextTip = QStringLiteral("Entrer le nom final");

QLabel* makeLabel(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

RenamePanel::RenamePanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Forme du nom final de fichier"), parent),
      m_combo11(new QComboBox(this)), m_text1(new QLineEdit(QStringLiteral("image"), this)),
      m_text2(new QLineEdit(QStringLiteral("1"), this)), m_combo2(new QComboBox(this)),
      m_label12(makeLabel("Label12", QString(), this))
{
    setObjectName(QStringLiteral("Frame3"));
    QLabel* label3 = makeLabel("Label3", QStringLiteral("Type de nom"), this);
    QLabel* label1 = makeLabel("Label1", QStringLiteral("Nom du fichier"), this);
    QLabel* label2 = makeLabel("Label2", QStringLiteral("Début :"), this);
    QLabel* label7 = makeLabel("Label7", QStringLiteral("Format :"), this);
    QLabel* label11 = makeLabel(
        "Label11", QStringLiteral("Exemple de fichier final (1er fichier de la liste)"), this);

    m_combo11->setObjectName(QStringLiteral("Combo11"));
    m_combo11->setToolTip(QStringLiteral("Choisir le type de nom final"));
    m_combo11->setAccessibleName(label3->text());
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setToolTip(nameTextTip);
    m_text1->setAccessibleName(label1->text());
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setToolTip(QStringLiteral("A partir du numéro (pour les listes)"));
    m_text2->setAccessibleName(QStringLiteral("Début"));
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setAccessibleName(QStringLiteral("Format"));
    label11->setWordWrap(true);
    accessibility::markValueLabel(m_label12, label11->text());
    m_label12->setFrameShape(QFrame::StyledPanel);
    m_label12->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel* label : {label1, label2, label7})
        label->setBuddy(label == label1   ? static_cast<QWidget*>(m_text1)
                        : label == label2 ? static_cast<QWidget*>(m_text2)
                                          : static_cast<QWidget*>(m_combo2));

    auto* layout = new QGridLayout(this);
    layout->addWidget(label3, 0, 0, 1, 3);
    layout->addWidget(m_combo11, 1, 0, 1, 3);
    layout->addWidget(label1, 2, 0);
    layout->addWidget(label2, 2, 1);
    layout->addWidget(label7, 2, 2);
    layout->addWidget(m_text1, 3, 0);
    layout->addWidget(m_text2, 3, 1);
    layout->addWidget(m_combo2, 3, 2);
    layout->addWidget(label11, 4, 0, 1, 3);
    layout->addWidget(m_label12, 5, 0, 1, 3);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(6, 1);

    connect(m_text1, &QLineEdit::textChanged, this, [this] { showNameProblem({}); });
}

void RenamePanel::showNameProblem(const QString& text)
{
    if (text == m_nameProblem)
        return;
    m_nameProblem = text;
    QPalette red = palette();
    red.setColor(QPalette::Base, QColor(0xff, 0xd6, 0xd6));
    red.setColor(QPalette::Text, QColor(0x80, 0x00, 0x00));
    m_text1->setPalette(text.isEmpty() ? QPalette() : red);
    m_text1->setToolTip(text.isEmpty() ? nameTextTip : text);
    m_text1->setAccessibleDescription(text);
}
