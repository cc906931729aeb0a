#include "gui/interchange/ficheimportation.h"

#include "core/base/prompts.h"
#include "core/interchange/interchange.h"
#include "gui/interchange/ficheapercuimport.h"

#include <QProgressBar>

TFicheImportation::TFicheImportation(TdmKestravel& dm, QWidget* parent)
    : TFicheTables(
        dm, parent,
        {QStringLiteral("Importation des données"),
         QStringLiteral("Choix du répertoire d'importation :"),
         QStringLiteral("Importer"),
         QStringLiteral("Veuillez sélectionner un répertoire avant d'importer."),
         QStringLiteral("Une importation est déjà en cours."),
         QStringLiteral("Une erreur inconnue s'est produite pendant l'importation."),
         {QStringLiteral("Importation des produits"), QStringLiteral("Importation des caractéristiques des produits"),
          QStringLiteral("Importation des catégories de produit"), QStringLiteral("Importation des caractéristiques"),
          QStringLiteral("Importation des transactions")}})
{}

bool TFicheImportation::Travailler(TTableCsv table)
{
    constexpr int pleine = 1000;
    QProgressBar* barre = Barre(table);
    const auto progression = [&](qint64 fait, qint64 total) {
        barre->setRange(0, pleine);
        barre->setValue(total > 0 ? int(fait * pleine / total) : pleine);
        barre->repaint();
        // The table is read (then locked for writing): the window is painted
        // but takes no input until the run is over.
        TraiterEvenements(QEventLoop::ExcludeUserInputEvents);
    };
    // Nothing is written before the user has seen what would change.
    const TApercuImport apercu = ApercuImport(m_dm, table, Dossier(), progression);
    TFicheApercuImport fiche(apercu, this);
    if (fiche.exec() != QDialog::Accepted) {
        barre->setValue(0);
        return false;
    }
    barre->setValue(0);
    const TResultatImport r = ImporterTable(m_dm, table, Dossier(), progression, &apercu);
    // Told once the new rows are committed: after a failure nothing was
    // deleted.
    Prompts().Message(MessageLignesSupprimees(table, r.supprimees));
    barre->setRange(0, pleine);
    barre->setValue(pleine);
    return true;
}
