#include "core/base/emplacement.h"

#include "core/base/parametres.h"
#include "core/store/erreurs.h"

#include <QDir>
#include <QSaveFile>

TEmplacementCatalogue EmplacementCatalogue(const QString& dossier)
{
    const QDir d(dossier);
    TEmplacementCatalogue e;
    e.serveur = TParametres(d.filePath("Kestravel.conf")).Lire("Catalogue", "Serveur", QString()).trimmed();
    if (!e.SurServeur())
        e.fichier = d.filePath("Kestravel.abs");
    return e;
}

void EcrireEmplacementServeur(const QString& dossier, const QString& connexion)
{
    QSaveFile conf(QDir(dossier).filePath("Kestravel.conf"));
    if (!conf.open(QIODevice::WriteOnly) || conf.write(("[Catalogue]\nServeur=" + connexion + "\n").toUtf8()) < 0
        || !conf.commit())
        throw EKestravel(QStringLiteral("Impossible d'écrire « %1 ».").arg(conf.fileName()));
}
