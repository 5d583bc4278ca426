#include "settings/optionsdialog.h"

#include "services/dialogs.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>

namespace n = settings::names;

namespace {

template <typename Control>
Control* named(Control* control, const char* name, QString accessible = {})
{
    control->setObjectName(QLatin1String(name));
    if (!accessible.isEmpty())
        control->setAccessibleName(accessible);
    return control;
}

QGroupBox* frame(const char* name, const QString& caption)
{
    return named(new QGroupBox(caption), name);
}

QRadioButton* option(const char* name, const QString& caption)
{
    return named(new QRadioButton(caption), name);
}

QCheckBox* check(const char* name, const QString& caption)
{
    return named(new QCheckBox(caption), name);
}

QLineEdit* folderField(const char* name, const QString& accessible)
{
    // What is typed here is never stored, so the field only shows the folder.
    auto* field = named(new QLineEdit, name, accessible);
    field->setReadOnly(true);
    return field;
}

QPushButton* folderButton(const char* name, const QString& accessible)
{
    auto* button = named(new QPushButton(QStringLiteral("...")), name, accessible);
    button->setFixedWidth(32);
    return button;
}

// Joins an exclusive pair of option buttons.
void exclusive(QObject* owner, QRadioButton* a, QRadioButton* b)
{
    auto* group = new QButtonGroup(owner);
    group->addButton(a);
    group->addButton(b);
}

// A largest size as stored: "1920x1080"; blank for what is not two whole numbers joined by x
// (an unfinished "1920x" included), which means no resizing.
QString sizeText(const QString& typed)
{
    QString size = typed;
    size.remove(u' ').replace(u'X', u'x').replace(QChar(0x00D7), u'x');
    static const QRegularExpression whole(QStringLiteral("^[0-9]+x[0-9]+$"));
    return whole.match(size).hasMatch() ? size : QString();
}

QString flagText(bool checked)
{
    return checked ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

OptionsDialog::OptionsDialog(SettingsStore& settings, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_settings(settings), m_dialogs(dialogs),
      m_ts1(named(new QTabBar, "TS1", QStringLiteral("Onglets"))),
      m_frame1(frame("Frame1", QStringLiteral("Renommer"))),
      m_frame2(frame("Frame2", QStringLiteral("Conversion"))),
      m_frame3(frame("Frame3", QStringLiteral("Options générales"))),
      m_frame4(frame("Frame4", QStringLiteral("Copie des fichiers originaux"))),
      m_frame5(frame("Frame5", QStringLiteral("Options avancées"))),
      m_advanced(named(new QScrollArea, "Scroll1")),
      m_option1(option("Option1", QStringLiteral("Dans le répertoire de destinataire"))),
      m_option2(option("Option2", QStringLiteral("Dans le réperoire d'origine du fichier"))),
      m_option3(option("Option3", QStringLiteral("Utiliser le répertoire d'origine du fichier"))),
      m_option4(option("Option4", QStringLiteral("Répertoire de déstination pour les fichiers à "
                                                 "renommer :"))),
      m_option5(option("Option5", QStringLiteral("Utiliser le répertoire d'origine du fichier"))),
      m_option6(option("Option6", QStringLiteral("Répertoire de destination pour les fichiers à "
                                                 "convertir :"))),
      m_check1(check("Check1", QStringLiteral("Visualiser l'image"))),
      m_check2(
          check("Check2", QStringLiteral("Supprimer le fichier d'origine aprés la conversion"))),
      m_check3(check("Check3",
                     QStringLiteral("Garder une copie des fichiers originaux avant de renommer"))),
      m_chkCorbeille(
          check("ChkCorbeille", QStringLiteral("Mettre les fichiers supprimés à la corbeille"))),
      m_chkGarderMeta(check("ChkGarderMeta", QStringLiteral("Conserver les métadonnées"))),
      m_chkGarderDates(
          check("ChkGarderDates", QStringLiteral("Conserver la date du fichier d'origine"))),
      m_chkApercuTout(
          check("ChkApercuTout", QStringLiteral("Prévisualiser tous les types d'image"))),
      m_chkDernierDossier(check("ChkDernierDossier", QStringLiteral("Rouvrir le dernier dossier"))),
      m_chkTiffWebp(check("ChkTiffWebp", QStringLiteral("Convertir aussi les TIFF et WebP"))),
      m_spinQualiteJpeg(named(new QSpinBox, "SpinQualiteJPEG", QStringLiteral("Qualité JPEG"))),
      m_spinCompressionPng(
          named(new QSpinBox, "SpinCompressionPNG", QStringLiteral("Compression PNG"))),
      m_textTailleMax(named(new QLineEdit, "TextTailleMax", QStringLiteral("Taille maximale"))),
      m_text1(
          folderField("Text1", QStringLiteral("Répertoire de destination des fichiers renommés"))),
      m_text2(
          folderField("Text2", QStringLiteral("Répertoire de destination des fichiers convertis"))),
      m_command1(named(new QPushButton(QStringLiteral("Ok")), "Command1")),
      m_command2(named(new QPushButton(QStringLiteral("Annuler")), "Command2")),
      m_command3(
          folderButton("Command3", QStringLiteral("Choisir le répertoire des fichiers renommés"))),
      m_command4(
          folderButton("Command4", QStringLiteral("Choisir le répertoire des fichiers convertis")))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(false);
    m_ts1->addTab(QStringLiteral("Renommer"));
    m_ts1->addTab(QStringLiteral("Conversion"));
    m_ts1->addTab(QStringLiteral("Options générales"));
    m_ts1->addTab(QStringLiteral("Options avancées"));
    exclusive(this, m_option3, m_option4);
    exclusive(this, m_option1, m_option2);
    exclusive(this, m_option5, m_option6);

    auto* rename = new QGridLayout(m_frame1);
    rename->setContentsMargins(6, 6, 6, 6);
    rename->addWidget(m_option3, 0, 0, 1, 2);
    rename->addWidget(m_option4, 1, 0, 1, 2);
    rename->addWidget(m_text1, 2, 0);
    rename->addWidget(m_command3, 2, 1);
    auto* copy = new QVBoxLayout(m_frame4);
    copy->setContentsMargins(6, 6, 6, 6);
    copy->addWidget(m_check3);
    copy->addWidget(m_option1);
    copy->addWidget(m_option2);
    auto* conversion = new QGridLayout(m_frame2);
    conversion->setContentsMargins(6, 6, 6, 6);
    conversion->addWidget(m_option5, 0, 0, 1, 2);
    conversion->addWidget(m_option6, 1, 0, 1, 2);
    conversion->addWidget(m_text2, 2, 0);
    conversion->addWidget(m_command4, 2, 1);
    conversion->addWidget(m_check2, 3, 0, 1, 2);
    conversion->setRowStretch(4, 1);
    auto* general = new QVBoxLayout(m_frame3);
    general->addWidget(m_check1);
    general->addStretch(1);
    auto* advanced = new QVBoxLayout(m_frame5);
    advanced->addWidget(m_chkCorbeille);
    advanced->addWidget(makeDateOptions());
    advanced->addWidget(m_chkGarderMeta);
    advanced->addWidget(m_chkGarderDates);
    advanced->addWidget(m_chkApercuTout);
    advanced->addWidget(m_chkDernierDossier);
    m_spinQualiteJpeg->setRange(0, 100);
    m_spinCompressionPng->setRange(-1, 9);
    m_spinCompressionPng->setSpecialValueText(QStringLiteral("Par défaut"));
    // Blank, or two whole numbers joined by x (or ×).
    m_textTailleMax->setValidator(new QRegularExpressionValidator(
        QRegularExpression(
            QStringLiteral("^\\s*(\\d{1,5}\\s*[xX\u00D7]\\s*\\d{0,5}|\\d{1,5})?\\s*$")),
        m_textTailleMax));
    m_textTailleMax->setPlaceholderText(QStringLiteral("1920x1080"));
    auto* output = new QGridLayout;
    const auto addRow = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption);
        label->setBuddy(field);
        const int row = output->rowCount();
        output->addWidget(label, row, 0);
        output->addWidget(field, row, 1);
    };
    addRow(QStringLiteral("Qualité JPEG :"), m_spinQualiteJpeg);
    addRow(QStringLiteral("Compression PNG :"), m_spinCompressionPng);
    addRow(QStringLiteral("Taille maximale : L × H"), m_textTailleMax);
    output->setColumnStretch(1, 1);
    advanced->addLayout(output);
    advanced->addWidget(m_chkTiffWebp);
    advanced->addStretch(1);
    m_advanced->setWidget(m_frame5);
    m_advanced->setWidgetResizable(true);
    m_advanced->setFrameShape(QFrame::NoFrame);
    m_advanced->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* page = new QFrame;
    page->setFrameShape(QFrame::StyledPanel);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 4, 4, 4);
    for (QWidget* box : std::initializer_list<QWidget*>{m_frame1, m_frame4, m_frame2, m_frame3})
        pageLayout->addWidget(box);
    pageLayout->addWidget(m_advanced);
    pageLayout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);
    m_command1->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(0);
    layout->addWidget(m_ts1);
    layout->addWidget(page, 1);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    setFixedSize(clientSize);

    connect(m_ts1, &QTabBar::currentChanged, this, &OptionsDialog::showTab);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             m_option3, m_option4, m_option5, m_option6, m_check3})
        connect(button, &QAbstractButton::toggled, this, &OptionsDialog::updateEnablings);
    connect(m_command3, &QPushButton::clicked, this, &OptionsDialog::chooseRenameFolder);
    connect(m_command4, &QPushButton::clicked, this, &OptionsDialog::chooseConversionFolder);
    connect(m_command1, &QPushButton::clicked, this, &OptionsDialog::confirm);
    connect(m_command2, &QPushButton::clicked, this, &QDialog::reject);
}

void OptionsDialog::load()
{
    m_check1->setChecked(m_settings.readNumber(n::visu) == 1);
    m_check2->setChecked(m_settings.readNumber(n::supOriginal) == 1);
    m_check3->setChecked(m_settings.readNumber(n::copieOriginal) == 1);
    m_chkCorbeille->setChecked(m_settings.readFlag(n::corbeille));
    loadDateOptions();
    m_chkGarderMeta->setChecked(m_settings.readFlag(n::garderMeta));
    m_chkGarderDates->setChecked(m_settings.readFlag(n::garderDates));
    m_chkApercuTout->setChecked(m_settings.readFlag(n::apercuTout));
    m_chkDernierDossier->setChecked(m_settings.readFlag(n::dernierDossier));
    m_chkTiffWebp->setChecked(m_settings.readFlag(n::tiffWebp));
    m_shownQuality = m_settings.jpegQuality();
    m_spinQualiteJpeg->setValue(m_shownQuality);
    m_shownCompression = m_settings.pngCompression();
    m_spinCompressionPng->setValue(m_shownCompression);
    m_shownTailleMax = m_settings.readText(n::tailleMax);
    m_textTailleMax->setText(m_shownTailleMax.trimmed());

    // The buttons are set in this order, and setting one on clears the other of its pair:
    // the one set second wins when both values are true; both stay off when both are false.
    const auto loadPair = [](QRadioButton* setFirst, bool firstValue, QRadioButton* setSecond,
                             bool secondValue) {
        QButtonGroup* group = setFirst->group();
        group->setExclusive(false);
        setSecond->setChecked(secondValue);
        setFirst->setChecked(firstValue && !secondValue);
        group->setExclusive(true);
    };
    loadPair(m_option2, m_settings.readFlag(n::repertCopieOriginal), m_option1,
             m_settings.readFlag(n::repertCopieDest));
    loadPair(m_option3, m_settings.readFlag(n::renomOrig), m_option4,
             m_settings.readFlag(n::renomDest));
    loadPair(m_option5, m_settings.readFlag(n::convOrig), m_option6,
             m_settings.readFlag(n::convDest));
    updateEnablings();

    const std::array<Field, fieldCount> all = fields();
    for (size_t i = 0; i < all.size(); ++i)
        m_shown[i] = all[i].control->isChecked();

    m_text1->setText(m_settings.readText(n::repertNom));
    m_text2->setText(m_settings.readText(n::repertConv));
    m_ts1->setCurrentIndex(0);
    showTab(0);
}

void OptionsDialog::showTab(int index)
{
    m_frame1->setVisible(index == 0);
    m_frame4->setVisible(index == 0);
    m_frame2->setVisible(index == 1);
    m_frame3->setVisible(index == 2);
    m_advanced->setVisible(index == 3);
}

void OptionsDialog::updateEnablings()
{
    m_command3->setEnabled(!m_option3->isChecked());
    m_command4->setEnabled(!m_option5->isChecked());
    m_option1->setEnabled(m_check3->isChecked());
    m_option2->setEnabled(m_check3->isChecked());
}

void OptionsDialog::chooseRenameFolder()
{
    chooseFolder(n::repertNom, m_text1);
}

void OptionsDialog::chooseConversionFolder()
{
    chooseFolder(n::repertConv, m_text2);
}

void OptionsDialog::chooseFolder(const QString& name, QLineEdit* field)
{
    const std::optional<QString> folder = m_dialogs.pickFolder(QString());
    if (!folder || folder->isEmpty())
        return;
    if (!m_settings.write(name, SettingsStore::folderText(*folder)))
        reportWriteFailure();
    field->setText(m_settings.readText(name));
}

std::array<OptionsDialog::Field, OptionsDialog::fieldCount> OptionsDialog::fields() const
{
    return {{
        {n::visu, m_check1, false},
        {n::supOriginal, m_check2, false},
        {n::copieOriginal, m_check3, false},
        {n::repertCopieOriginal, m_option2, true},
        {n::repertCopieDest, m_option1, true},
        {n::renomOrig, m_option3, true},
        {n::renomDest, m_option4, true},
        {n::convOrig, m_option5, true},
        {n::convDest, m_option6, true},
        {n::corbeille, m_chkCorbeille, false},
        {n::garderMeta, m_chkGarderMeta, false},
        {n::garderDates, m_chkGarderDates, false},
        {n::apercuTout, m_chkApercuTout, false},
        {n::dernierDossier, m_chkDernierDossier, false},
        {n::tiffWebp, m_chkTiffWebp, false},
    }};
}

void OptionsDialog::confirm()
{
    const std::array<Field, fieldCount> all = fields();
    bool stored = true;
    bool changed = false;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool on = all[i].control->isChecked();
        if (on == m_shown[i])
            continue;
        changed = true;
        stored = (all[i].asWord ? m_settings.writeFlag(all[i].name, on)
                                : m_settings.write(all[i].name, flagText(on))) &&
                 stored;
    }
    stored = storeDateOptions(changed) && stored;
    const auto store = [&](const QString& name, const QString& text, const QString& shown) {
        if (text == shown)
            return;
        changed = true;
        stored = m_settings.write(name, text) && stored;
    };
    store(n::qualiteJpeg, QString::number(m_spinQualiteJpeg->value()),
          QString::number(m_shownQuality));
    store(n::compressionPng, QString::number(m_spinCompressionPng->value()),
          QString::number(m_shownCompression));
    store(n::tailleMax, sizeText(m_textTailleMax->text()), m_shownTailleMax);
    // With nothing to store, the user is still told when the settings cannot be stored.
    if (!changed)
        stored = m_settings.writable();
    if (!stored)
        reportWriteFailure();
    accept();
}

QWidget* OptionsDialog::makeDateOptions()
{
    m_optDateModif = option("OptDateModif", QStringLiteral("date de modification"));
    m_optDatePriseDeVue =
        option("OptDatePriseDeVue", QStringLiteral("date de prise de vue (EXIF)"));
    m_optOrdreJMA = option("OptOrdreJMA", QStringLiteral("jj-mm-aaaa"));
    m_optOrdreAMJ = option("OptOrdreAMJ", QStringLiteral("aaaa-mm-jj"));
    exclusive(this, m_optDateModif, m_optDatePriseDeVue);
    exclusive(this, m_optOrdreJMA, m_optOrdreAMJ);
    auto* box = new QWidget;
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(named(new QLabel(QStringLiteral("Date du fichier :")), "LblDateFichier"), 0, 0);
    grid->addWidget(m_optDateModif, 0, 1);
    grid->addWidget(m_optDatePriseDeVue, 1, 1);
    grid->addWidget(named(new QLabel(QStringLiteral("Ordre des dates :")), "LblOrdreDates"), 2, 0);
    grid->addWidget(m_optOrdreJMA, 2, 1);
    grid->addWidget(m_optOrdreAMJ, 3, 1);
    grid->setColumnStretch(1, 1);
    return box;
}

void OptionsDialog::loadDateOptions()
{
    m_shownDatePriseDeVue = m_settings.readFlag(n::datePriseDeVue);
    m_shownOrdreAMJ = SettingsStore::parseOrdreAMJ(m_settings.readText(n::ordreDates));
    (m_shownDatePriseDeVue ? m_optDatePriseDeVue : m_optDateModif)->setChecked(true);
    (m_shownOrdreAMJ ? m_optOrdreAMJ : m_optOrdreJMA)->setChecked(true);
}

bool OptionsDialog::storeDateOptions(bool& changed)
{
    bool stored = true;
    if (m_optDatePriseDeVue->isChecked() != m_shownDatePriseDeVue) {
        changed = true;
        stored = m_settings.write(n::datePriseDeVue, flagText(m_optDatePriseDeVue->isChecked()));
    }
    if (m_optOrdreAMJ->isChecked() != m_shownOrdreAMJ) {
        changed = true;
        stored = m_settings.write(n::ordreDates, m_optOrdreAMJ->isChecked() ? settings::ordreAMJ
                                                                            : settings::ordreJMA) &&
                 stored;
    }
    return stored;
}

void OptionsDialog::reportWriteFailure()
{
    m_dialogs.message(m_settings.writeFailureText(), settings::productName, DialogIcon::Warning);
}
