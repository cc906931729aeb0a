#include "gui/interchange/ficheexportation.h"

#include "core/base/prompts.h"
#include "core/interchange/interchange.h"

#include <QProgressBar>

TFicheExportation::TFicheExportation(TdmKestravel& dm, QWidget* parent)
    : TFicheTables(
        dm, parent,
        {QStringLiteral("Exportation des données"),
         QStringLiteral("Choix du répertoire d'exportation :"),
         QStringLiteral("Exporter"),
         QStringLiteral("Veuillez sélectionner un répertoire avant d'exporter."),
         QStringLiteral("Une exportation est déjà en cours."),
         QStringLiteral("Une erreur inconnue s'est produite pendant l'exportation."),
         {QStringLiteral("Exportation des produits"), QStringLiteral("Exportation des caractéristiques des produits"),
          QStringLiteral("Exportation des catégories de produit"), QStringLiteral("Exportation des caractéristiques"),
          QStringLiteral("Exportation des transactions")}})
{}

bool TFicheExportation::Travailler(TTableCsv table)
{
    QProgressBar* barre = Barre(table);
    const TResultatExport r = ExporterTable(m_dm, table, Dossier(), [&](qint64 fait, qint64 total) {
        // An empty table shows a full bar rather than Qt's "busy" animation.
        barre->setRange(0, int(qMax<qint64>(total, 1)));
        barre->setValue(int(total == 0 ? 1 : fait));
        // The user may move or look at the window meanwhile; the busy flag
        // refuses a second export.
        TraiterEvenements(QEventLoop::AllEvents);
    });
    const QString remplacements = MessageRemplacements(table, r);
    if (!remplacements.isEmpty())
        Prompts().Information(remplacements);
    return true;
}
