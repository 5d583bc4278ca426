#pragma once

class QCoreApplication;

// Loads Qt's French translation so the toolkit's own texts ("OK", "Annuler") are French
// whatever the system's language. False when no translation file is installed.
bool installFrenchTranslation(QCoreApplication& app);
