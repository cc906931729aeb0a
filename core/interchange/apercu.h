#pragma once
// What importing a table's file would change, found without writing
// anything: the file's rows and the table's are matched by the table's key
// and compared column by column, with the conversions the import applies.

#include "core/interchange/interchange.h"

struct TDifferenceImport {
    enum class Genre { Ajout, Modification, Suppression };
    Genre genre = Genre::Modification;
    QString cle;  // "Externe 0, IdProduit 12, IdProduitType 3"
    QString champ;  // the column, for a change
    // As the windows show them; a whole row (its columns after the key) for
    // an addition or a removal.
    QString ancienne, nouvelle;
};

struct TApercuImport {
    TTableCsv table = TTableCsv::Produit;
    qint64 ajoutees = 0, modifiees = 0, supprimees = 0, inchangees = 0;
    // The first differences in key order, one per changed column.
    QList<TDifferenceImport> differences;
    // What the import checks before it commits: the rows it replaces, and
    // the file's bytes.
    qint64 lignesTable = 0;
    QByteArray empreinte;
};

constexpr int DifferencesApercu = 200;

// Refuses the files the import refuses, with the same messages. The table is
// read in one statement (one consistent state of it).
TApercuImport ApercuImport(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                           const TRappelProgression& progression = {}, int differences = DifferencesApercu);

// "Produit : 3 lignes ajoutées, 1 modifiée, 0 supprimée, 12 inchangées."
QString ResumeApercu(const TApercuImport& a);
// "Ligne ajoutée", "Ligne supprimée" or the column's name.
QString LibelleDifference(const TDifferenceImport& d);
// One line: key, then what changes ("Libelle : « Vis » → « Vis inox »",
// "Ligne ajoutée : « 0 ; Peinture »").
QString TexteDifference(const TDifferenceImport& d);
