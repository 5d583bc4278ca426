#include "app/desktop.h"
#include "app/icons.h"
#include "app/mainwindow.h"
#include "app/messageboxdialogs.h"
#include "app/translation.h"
#include "convert/codecregistry.h"
#include "settings/settingsstore.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    icons::chooseIconTheme();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/morvane/morvane.png")));
    installFrenchTranslation(app);

    SettingsStore settings(SettingsStore::defaultPath());
    MessageBoxDialogs dialogs;
    convert::CodecSession codecs;
    MainWindowServices services;
    services.settings = &settings;
    services.dialogs = &dialogs;
    services.codecs = &codecs;
    SystemDesktop desktop;
    services.desktop = &desktop;
    services.programFolder = QCoreApplication::applicationDirPath();
    services.exit = [](int status) { QCoreApplication::exit(status); };

    MainWindow window(services);
    dialogs.setParent(&window);
    if (!window.Form_Load())
        return 1;
    window.show();
    return QApplication::exec();
}
