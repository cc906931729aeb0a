// "Rechercher" on 1,000,000 products: the first 200 results of a search
// typed in the settings window, from the keystroke to the list filled,
// against the bare SQLite query returning the same rows in the same run;
// the time a keystroke holds the window; the one-off index build.

#include "bench/bench_commun.h"
#include "core/store/dmkestravel.h"
#include "core/store/recherche.h"
#include "gui/admin/ficheparametreproduit.h"

#include <sqlite3.h>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

namespace {
// The search's own statement, run bare.
const char* const SqlRecherche =
    "SELECT p.Externe, p.IdProduit, p.IdProduitType, p.Libelle, p.Reference, p.PrixTarifHT, p.PrixAchatHT,"
    " p.PrixVenteHT, p.Stock FROM RechercheProduit CROSS JOIN Produit p ON p.rowid = RechercheProduit.rowid"
    " WHERE RechercheProduit MATCH ? AND p.Externe = 0 LIMIT 201";
}  // namespace

int main(int argc, char* argv[])
{
    bench::PlateformeHorsEcran();
    QApplication app(argc, argv);
    const QString chemin = bench::CatalogueGrandeCategorie(argc, argv);
    TdmKestravel dm(chemin);
    bench::ConstruireUneFois("de l'index", IndexRechercheInstalle(dm.Connexion()),
                             [&] { InstallerIndexRecherche(dm.Connexion()); });

    TFicheParametreProduit fiche(dm);
    fiche.show();
    QCoreApplication::processEvents();
    auto* champ = fiche.findChild<QLineEdit*>("edtRecherche");
    auto* etat = fiche.findChild<QLabel*>("lbRecherche");
    auto* liste = fiche.findChild<QTreeView*>("lvProduits");

    sqlite3* brut = nullptr;
    sqlite3_open_v2(chemin.toUtf8().constData(), &brut, SQLITE_OPEN_READONLY, nullptr);
    std::printf("catalogue : %s\n", qPrintable(chemin));

    struct Cas {
        const char* quoi;
        const char* texte;
        const char* motif;  // the same search for the bare query
    };
    const Cas cas[] = {
        {"libellé, un produit (« produit 0012345 »)", "produit 0012345", "\"produit 0012345\""},
        {"libellé, fin de numéro (« 2345 »)", "2345", "\"2345\""},
        {"libellé, tous les produits (« PRODUIT »)", "PRODUIT", "\"produit\""},
        {"référence (« r98765 »)", "r98765", "\"r98765\""},
        {"code export (« ex4242 »)", "ex4242", "\"ex4242\""},
    };
    double pire = 0;
    for (const Cas& c : cas) {
        long long lignesBrut = 0;
        const double base = bench::RequeteBrute(brut, SqlRecherche, lignesBrut, 5, QByteArray(c.motif));
        double meilleur = 1e300, frappe = 0;
        int lignes = 0;
        for (int i = 0; i < 5; ++i) {
            champ->clear();
            QCoreApplication::processEvents();
            QElapsedTimer t;
            t.start();
            champ->setText(QString::fromUtf8(c.texte));
            frappe = std::max(frappe, t.nsecsElapsed() / 1e6);
            while (etat->text() == QStringLiteral("Recherche…") && t.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            liste->doItemsLayout();
            liste->viewport()->repaint();
            meilleur = std::min(meilleur, t.nsecsElapsed() / 1e6);
            lignes = liste->model()->rowCount();
        }
        pire = std::max(pire, frappe);
        std::printf("%s : %d lignes (base %d)\n", c.quoi, lignes, int(std::min(lignesBrut, 200LL)));
        bench::Duree(c.quoi, meilleur, base, 50);
    }
    std::printf("temps d'une frappe dans le champ (fenêtre occupée)       %7.2f ms au plus\n", pire);
    sqlite3_close(brut);
    return 0;
}
