#pragma once
// Export and import of one catalogue table as a CSV file, without any window:
// the export and import windows and `kestravel-db export|import` run these.

#include "core/interchange/formatcsv.h"
#include "core/store/erreurs.h"

#include <QDateTime>
#include <QString>
#include <functional>

class TdmKestravel;
struct TApercuImport;

// A refusal or file failure told in a plain message box with its fixed text.
// Database errors and failing import lines are EKestravel errors, shown in
// the standard error box.
class EInterchange : public EKestravel {
public:
    using EKestravel::EKestravel;
};

// Called now and then with the work done out of the total (rows for the
// export, bytes for the import), and once at the end with fait == total.
using TRappelProgression = std::function<void(qint64 fait, qint64 total)>;

// Name of the export file in `dossier` for a run started at `moment`.
QString CheminExport(TTableCsv table, const QString& dossier, const QDateTime& moment);
QString CheminImport(TTableCsv table, const QString& dossier);

struct TResultatExport {
    QString chemin;
    // Characters the code page lacks, written "?", and the file line
    // (1 for the header) of the first.
    qint64 remplacements = 0;
    qint64 premiereLigneRemplacee = 0;
};
// Writes the table to CheminExport(…, now). The file replaces one of the
// same name only once it is complete.
TResultatExport ExporterTable(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                              const TRappelProgression& progression = {});
// What to tell the user after an export with replaced characters; empty when
// there were none.
QString MessageRemplacements(TTableCsv table, const TResultatExport& r);

struct TResultatImport {
    qint64 supprimees = 0;
    qint64 inserees = 0;
};
// Replaces the table's rows with those of CheminImport(…), all or nothing:
// on any failure the table keeps its former rows. With the preview the user
// agreed to, refuses (changing nothing) when the file or the number of rows
// replaced is no longer the one compared.
TResultatImport ImporterTable(TdmKestravel& dm, TTableCsv table, const QString& dossier,
                              const TRappelProgression& progression = {}, const TApercuImport* apercu = nullptr);
// "Produit : Nombre de lignes supprimées = 12"
QString MessageLignesSupprimees(TTableCsv table, qint64 supprimees);
