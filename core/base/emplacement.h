#pragma once
// Where the catalogue is: the SQLite file `Kestravel.abs` beside the
// program, or, for shops with several workstations, a PostgreSQL server
// named by `Kestravel.conf` in the same folder:
//
//     [Catalogue]
//     Serveur=host=serveur-boutique dbname=kestravel user=caisse1 sslmode=verify-full sslrootcert=…
//
// A `[Catalogue]` section without a `Serveur` key means the file. A
// `Kestravel.conf` that cannot be read, has no `[Catalogue]` section or an
// empty `Serveur` is an error (EKestravel naming it): a sale never goes to
// a file left beside the program when a server was meant.
//
// The value is a libpq connection string or URI. Passwords never go there:
// libpq reads them from its own password file (~/.pgpass, or the file named
// by PGPASSFILE) or a service file (PGSERVICEFILE).

#include <QString>

struct TEmplacementCatalogue {
    QString fichier;  // the SQLite file, when no server is named
    QString serveur;  // the server's connection string, otherwise
    bool SurServeur() const { return !serveur.isEmpty(); }
};

// The catalogue of the installation whose program folder is `dossier`;
// throws EKestravel when its Kestravel.conf does not say it clearly.
TEmplacementCatalogue EmplacementCatalogue(const QString& dossier);

// Writes the `Kestravel.conf` of the program folder `dossier` naming the
// server `connexion` (replacing any former one whole); throws EKestravel.
void EcrireEmplacementServeur(const QString& dossier, const QString& connexion);
