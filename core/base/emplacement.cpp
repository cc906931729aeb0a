#include "core/base/emplacement.h"

#include "core/base/parametres.h"
#include "core/store/erreurs.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

TEmplacementCatalogue EmplacementCatalogue(const QString& dossier)
{
    const QDir d(dossier);
    TEmplacementCatalogue e;
    const QString chemin = d.filePath("Kestravel.conf");
    // A file that is there but does not say where the catalogue is must not
    // send the sale to a catalogue file left beside the program.
    if (QFileInfo::exists(chemin)) {
        const TParametres conf(chemin);
        const auto refus = [&](const QString& raison) {
            return EKestravel(QStringLiteral("Le fichier « %1 » %2 : corrigez-le, ou supprimez-le pour utiliser le "
                                             "catalogue Kestravel.abs. Rien n'a été fait.")
                                  .arg(QDir::toNativeSeparators(chemin), raison));
        };
        if (!conf.Lu())
            throw refus(QStringLiteral("ne peut pas être lu"));
        if (!conf.ASection("Catalogue"))
            throw refus(QStringLiteral("n'a pas de section [Catalogue]"));
        e.serveur = conf.Lire("Catalogue", "Serveur", QString()).trimmed();
        if (conf.ACle("Catalogue", "Serveur") && e.serveur.isEmpty())
            throw refus(QStringLiteral("a une clé Serveur vide"));
    }
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
