#include "core/base/emplacement.h"

#include "core/base/parametres.h"

#include <QDir>

TEmplacementCatalogue EmplacementCatalogue(const QString& dossier)
{
    const QDir d(dossier);
    TEmplacementCatalogue e;
    e.serveur = TParametres(d.filePath("Kestravel.conf")).Lire("Catalogue", "Serveur", QString()).trimmed();
    if (!e.SurServeur())
        e.fichier = d.filePath("Kestravel.abs");
    return e;
}
