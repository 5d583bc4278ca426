#include "about/aboutbox.h"

#include "about/sysinfo.h"
#include "services/desktop.h"
#include "settings/settingsschema.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QVersionNumber>

const QString AboutBox::webAddress = QStringLiteral("https://morvane.example.org");
const QString AboutBox::mailAddress = QStringLiteral("contact@morvane.example.org");

namespace {

QLabel* label(const char* name, const QString& text, QWidget* parent)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(QLatin1String(name));
    return result;
}

QFrame* line(QWidget* parent)
{
    auto* result = new QFrame(parent);
    result->setFrameShape(QFrame::HLine);
    result->setFrameShadow(QFrame::Sunken);
    return result;
}

// A label that acts as a link: pointing hand, opens `url` on a click.
QLabel* link(const char* name, const QString& text, const QUrl& url, Desktop& desktop,
             QWidget* parent)
{
    auto* result = label(
        name, QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toString(), text.toHtmlEscaped()),
        parent);
    result->setTextFormat(Qt::RichText);
    result->setCursor(Qt::PointingHandCursor);
    result->setAccessibleName(text);
    result->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(result, &QLabel::linkActivated, result,
                     [&desktop, url](const QString&) { desktop.openUrl(url); });
    return result;
}

} // namespace

AboutBox::AboutBox(SettingsStore& settings, Desktop& desktop, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_desktop(desktop)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(settings::productName);

    auto* picIcon = label("picIcon", QString(), this);
    picIcon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    picIcon->setAccessibleName(QStringLiteral("Icône de Morvane"));
    auto* lblTitle = label("lblTitle", settings::productName, this);
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(MORVANE_VERSION));
    auto* lblVersion = label(
        "lblVersion",
        about::versionLine(version.majorVersion(), version.minorVersion(), version.microVersion()),
        this);
    auto* lblDescription =
        label("lblDescription",
              QStringLiteral("Renommer et convertir des lots de fichiers image : noms datés, "
                             "numérotés ou en majuscules, conversion en BMP, GIF, JPEG ou PNG."),
              this);
    lblDescription->setWordWrap(true);
    auto* lblDisclaimer = label(
        "lblDisclaimer",
        QStringLiteral("Ce programme est un logiciel libre, distribué selon les termes de la "
                       "licence publique générale GNU, version 3 ou ultérieure. Il est fourni "
                       "sans aucune garantie."),
        this);
    lblDisclaimer->setWordWrap(true);
    auto* label6 = link("Label6", QStringLiteral("Site Web : ") + webAddress, QUrl(webAddress),
                        m_desktop, this);
    auto* label1 = link("Label1", QStringLiteral("E-Mail :  ") + mailAddress,
                        QUrl(QStringLiteral("mailto:") + mailAddress), m_desktop, this);
    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdSysInfo = new QPushButton(QStringLiteral("&Infos système..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutBox::StartSysInfo);

    auto* header = new QGridLayout;
    header->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    header->addWidget(lblTitle, 0, 1);
    header->addWidget(lblVersion, 1, 1);
    header->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(lblDescription);
    layout->addWidget(line(this));
    layout->addWidget(label6);
    layout->addWidget(label1);
    layout->addWidget(line(this));
    layout->addWidget(lblDisclaimer);
    layout->addLayout(buttons);
    setFixedWidth(420);
}

void AboutBox::StartSysInfo()
{
    const QString tool = about::systemInfoTool(
        m_settings, [](const QString& name) { return QStandardPaths::findExecutable(name); });
    if (!tool.isEmpty())
        m_desktop.startProgram(tool);
}
