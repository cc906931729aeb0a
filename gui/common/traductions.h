#pragma once
// Qt's own texts (standard buttons, file dialogs, print preview) in French,
// whatever the system's language: the users of the suite read French only.

#include <QString>

// Installs the toolkit's French translations from `dossier` (by default the
// folder where Qt keeps them). Returns an empty text when they are loaded,
// otherwise a French warning to show once: the program then goes on with the
// toolkit's English texts.
QString ChargerTraductionsQt(const QString& dossier = QString());
