#pragma once
// The catalogue on a PostgreSQL server: the same five tables, columns, keys
// and meaning as the file (names unquoted, so the server folds them to lower
// case and every statement of the module reads them unchanged; "Transaction"
// quoted, being a reserved word, its `IdTransaction` an identity column),
// plus the module's bookkeeping of stock requests (`ControleEnCours`) and
// its schema version (`KestravelSchema`).
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
