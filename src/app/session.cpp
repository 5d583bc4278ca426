#include "app/session.h"

#include "app/mainwindow.h"
#include "lists/browsepanel.h"
#include "lists/folderwalk.h"
#include "settings/settingsschema.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>

namespace session {

namespace names = settings::session;

void restore(MainWindow& window, const SettingsStore& settings)
{
    if (!settings.readFlag(settings::names::dernierDossier))
        return;
    BrowsePanel* browse = window.browsePanel();
    QComboBox* filter = browse->typeFilter();
    bool ok = false;
    const int index = settings.readSession(names::filtre).toInt(&ok);
    if (ok && index >= 0 && index < filter->count() && index != filter->currentIndex()) {
        filter->setCurrentIndex(index);
        browse->chooseFilter(index);
    }
    const QString folder = settings.readSession(names::dossier);
    if (folder.startsWith(QLatin1Char('/')))
        browse->openFolder(lists::nearestExistingFolder(folder));

    QSize size(settings.readSession(names::largeur).toInt(),
               settings.readSession(names::hauteur).toInt());
    if (size.width() > 0 && size.height() > 0) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            size = size.boundedTo(screen->availableGeometry().size());
        window.resize(size);
    }
}

void save(const MainWindow& window, SettingsStore& settings)
{
    if (!settings.readFlag(settings::names::dernierDossier))
        return;
    const BrowsePanel* browse = window.browsePanel();
    // A maximised window keeps the size it returns to.
    const QSize size = window.isMaximized() || window.isFullScreen()
                           ? window.normalGeometry().size()
                           : window.size();
    settings.writeSession(names::dossier, browse->folder());
    settings.writeSession(names::filtre, QString::number(browse->typeFilter()->currentIndex()));
    settings.writeSession(names::largeur, QString::number(size.width()));
    settings.writeSession(names::hauteur, QString::number(size.height()));
}

} // namespace session
