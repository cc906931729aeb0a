#pragma once
// Indexes the module keeps beside the five tables for the reorder list and
// the barcode scan, so that neither reads the whole product table: the
// products at or below their minimum stock (a partial index holding what the
// list shows, so the list is read from it alone), and the reference and the
// export code without letter case. They change nothing the host reads.
//
// A new catalogue has them from its creation. A copy made by SYNCHRO takes
// the source file's schema, and a catalogue of an older version lacks them:
// the windows that need them build them when they are missing.

#include <QStringList>

class TBaseSql;

// CREATE INDEX IF NOT EXISTS statements, the same for both engines.
QStringList InstructionsIndexAnnexes();
// Whether the catalogue has all of them.
bool IndexAnnexesInstalles(const TBaseSql& base);
// Builds the missing ones in one transaction (a second or two on a million
// products). On a server only the catalogue's owner may: for any other
// login, nothing is built and false is returned (the lists still work, by
// reading the whole table). True when they are all there afterwards.
bool InstallerIndexAnnexes(const TBaseSql& base);

// The text the scan looks up: letters A to Z in small letters, every other
// character as it stands, as both engines' lower() does on the columns.
QString PlierCode(const QString& code);
