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
// Least privilege: the tables belong to whoever creates them (the shop's
// owner login, which needs no right to create roles). Each catalogue
// database has two roles of its own, created by the server's administrator
// (ScriptRoles) or by `create` when its login may: a sales role for the
// tills (read the tables; write a product's stock, add movements, keep its
// own requests in flight) and an office role (read and write the five
// tables). Their names carry the database's name, and only they (and the
// owner) may connect to it: a login of one catalogue reaches no other.

#include <QString>

class TBaseSql;
class TConnexionPg;

struct TRolesCatalogue {
    QString vente, bureau;
};
// The roles of the catalogue database `base` ("kestravel_vente_<base>",
// "kestravel_bureau_<base>"); throws when the name is too long for them.
TRolesCatalogue RolesCatalogue(const QString& base);

// The SQL the server's administrator runs (psql, as a superuser) once the
// database named by `connexion` exists: the two roles, and the database
// closed to every other login. Running it twice changes nothing.
QString ScriptRoles(const QString& connexion);

// True when the server already holds a catalogue (any of the five tables).
bool CatalogueServeurPresent(TConnexionPg& c);

// Creates the tables, their indexes and gives the two roles their rights,
// in one transaction; refuses (nothing created) when the server already has
// a catalogue. Roles that do not exist are created when the login may,
// otherwise the message says to run ScriptRoles first.
void CreerCatalogueServeur(const QString& connexion);

// Gives the roles their rights on the catalogue's tables and sequences, in
// the caller's transaction, whatever rights they had; tables the catalogue
// does not have yet are left out. Run again by `migrate`.
void DonnerDroitsCatalogue(TConnexionPg& c);

// The same on its own transaction, for an existing catalogue (one created
// by an earlier version, whose single role spanned the server); throws when
// the server has no catalogue.
void RedonnerDroitsCatalogue(const QString& connexion);

// Whether the login may change the catalogue (the office role, or the
// owner), rather than only sell.
bool PeutModifierCatalogue(const TBaseSql& base);

// Copies the catalogue file into an empty server catalogue in one
// transaction, then checks that each table has as many rows on both sides;
// any difference or failure leaves the server as it was. Returns the number
// of rows copied.
qint64 MigrerVersServeur(const QString& fichier, const QString& connexion);
