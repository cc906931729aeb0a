#pragma once
// The catalogue on a PostgreSQL server: the same five tables, columns, keys
// and meaning as the file (names in lower case, which every statement of
// the module reaches unchanged, see TraduireSqlPg; `IdTransaction` an
// identity column), plus the module's bookkeeping of stock requests
// (`ControleEnCours`) and its schema version (`KestravelSchema`).
//
// Two things the file has without asking are spelled out: each table has a
// hidden `rowid` (the cursors designate rows by it, and `ProduitCarac` has
// no key), and texts compare byte by byte (collation "C") as in the file,
// so lists sort the same on both. The price increase's rounding function
// is created with the tables, a server running no code of the module.
//
// Least privilege: the tables belong to whoever creates them; the module's
// users log in with a role that is a member of `kestravel_catalogue`, which
// may read and write those tables and nothing else (no DDL, no other table).

#include <QString>

class TConnexionPg;

inline constexpr const char* RoleCatalogue = "kestravel_catalogue";

// True when the server already holds a catalogue (any of the five tables).
bool CatalogueServeurPresent(TConnexionPg& c);

// Creates the tables, their indexes and the `kestravel_catalogue` role with
// its rights, in one transaction; refuses (nothing created) when the server
// already has a catalogue.
void CreerCatalogueServeur(const QString& connexion);

// Copies the catalogue file into an empty server catalogue in one
// transaction, then checks that each table has as many rows on both sides;
// any difference or failure leaves the server as it was. Returns the number
// of rows copied.
qint64 MigrerVersServeur(const QString& fichier, const QString& connexion);
