#pragma once
// The catalogue's tables and orderings. The program never creates tables on
// its own: `kestravel-db create` and the tests make a catalogue with this.

#include <QStringList>

class TBaseSql;

constexpr int VersionSchema = 1;

// The five tables, in the order the synchronisation handles them.
QStringList TablesCatalogue();
// Statements that create the tables and indexes of an empty catalogue.
QStringList InstructionsSchema();
// Creates the tables and indexes in an open, empty database and records
// VersionSchema (one transaction).
void CreerSchema(const TBaseSql& base);
// Brings an opened catalogue to VersionSchema (its `user_version`): an older
// one is brought up to date in one transaction; a newer one, written by a
// later version of the module, is refused (EDatabaseError naming both
// versions) with nothing written. A current one is not written to at all.
void MettreAJourSchema(const TBaseSql& base);
// The columns of a catalogue table, in their order.
const QStringList& ColonnesCatalogue(const QString& table);
// Replaces the rows of the five tables of `cible` with those of `source`
// (either engine to either), in the source's row order, inside the caller's
// transaction on `cible`; returns the rows copied, table by table.
QList<qint64> RemplacerTables(const TBaseSql& source, const TBaseSql& cible);
// Creates an SQLite file at path holding an empty catalogue (throws on error).
void CreerCatalogueVide(const QString& chemin);
