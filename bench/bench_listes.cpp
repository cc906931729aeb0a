// Product lists on 1,000,000 products in 10,000 categories, the biggest
// holding 50,000: showing that category, leaving it for a small one, sorting
// it by a column, the memory it holds, and "Valider" in the product editor
// on one of its products. Each against a bare SQLite query returning the
// same rows in the same run.

#include "bench/bench_commun.h"
#include "core/catalogue/produits.h"
#include "core/catalogue/veille.h"
#include "core/store/dmkestravel.h"
#include "gui/admin/colonnesparametrage.h"
#include "gui/admin/ficheparametreproduit.h"

#include <sqlite3.h>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

namespace {
void Absolu(const char* quoi, double ms, double baseMs, double cibleMs)
{
    std::printf("%-46s %9.1f ms   base %9.1f ms   (cible < %.0f ms) %s\n", quoi, ms, baseMs, cibleMs,
                ms < cibleMs ? "OK" : "HORS CIBLE");
}
}  // namespace

int main(int argc, char* argv[])
{
    bench::PlateformeHorsEcran();
    QApplication app(argc, argv);
    const QString chemin = bench::CatalogueGrandeCategorie(argc, argv);

    const char* sqlGrande =
        "SELECT IdProduit, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock"
        " FROM Produit WHERE Externe = 0 AND IdProduitType = 1 ORDER BY IdProduit";
    const char* sqlPetite =
        "SELECT IdProduit, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock"
        " FROM Produit WHERE Externe = 0 AND IdProduitType = 2 ORDER BY IdProduit";
    sqlite3* brut = nullptr;
    sqlite3_open_v2(chemin.toUtf8().constData(), &brut, SQLITE_OPEN_READONLY, nullptr);
    long long lignesGrande = 0, lignesPetite = 0;
    const double grandeBrut = bench::RequeteBrute(brut, sqlGrande, lignesGrande, 10);
    const double petiteBrut = bench::RequeteBrute(brut, sqlPetite, lignesPetite, 10);
    sqlite3_close(brut);

    TdmKestravel dm(chemin);
    TFicheParametreProduit fiche(dm);
    fiche.show();
    QCoreApplication::processEvents();
    auto* liste = fiche.findChild<QTreeView*>("lvProduits");
    // Each step ends with the list laid out and painted, as the user sees it.
    const auto montrer = [&] {
        liste->doItemsLayout();
        liste->viewport()->repaint();
    };
    const auto afficher = [&](int categorie) {
        fiche.AfficherProduits(0, categorie);
        montrer();
    };

    afficher(2);
    const double repos = bench::MemoireActuelle();
    afficher(1);
    const double chargee = bench::MemoireActuelle();
    const size_t octets = fiche.ModeleProduits().Lignes().Octets();

    double grande = 1e300, quitter = 1e300;
    for (int i = 0; i < 10; ++i) {
        grande = std::min(grande, bench::Mesurer(1, [&] { afficher(1); }));
        quitter = std::min(quitter, bench::Mesurer(1, [&] { afficher(2); }));
    }
    double triLibelle = 1e300, triPrix = 1e300;
    for (int i = 0; i < 5; ++i) {
        afficher(1);
        triLibelle = std::min(triLibelle, bench::Mesurer(1, [&] {
                                  fiche.lvProduitsColumnClick(ColLibelle);
                                  montrer();
                              }));
        afficher(1);
        triPrix = std::min(triPrix, bench::Mesurer(1, [&] {
                               fiche.lvProduitsColumnClick(ColPrixVente);
                               montrer();
                           }));
    }

    // "Valider" on a product of the biggest category: from the click to the
    // settings window showing the list again.
    double valider = 1e300;
    for (int i = 0; i < 5; ++i) {
        afficher(1);
        liste->setCurrentIndex(liste->model()->index(liste->model()->rowCount() / 2, 0));
        QElapsedTimer chrono;
        QTimer::singleShot(0, &fiche, [&] {
            QWidget* editeur = QApplication::activeModalWidget();
            if (!editeur)
                return;
            chrono.start();
            editeur->findChild<QPushButton*>("btnOk")->click();
        });
        fiche.lvProduitsDblClick();
        montrer();
        if (chrono.isValid())
            valider = std::min(valider, chrono.nsecsElapsed() / 1e6);
    }

    // Another process's sale seen by the settings window: the check that
    // runs on a timer while nothing changes, then the refresh of the
    // biggest category once a stock moved (selection and scroll kept).
    TVeilleCatalogue veille(dm);
    constexpr int Verifications = 10000;
    const double verification = bench::Mesurer(1,
                                               [&] {
                                                   for (int i = 0; i < Verifications; ++i)
                                                       veille.Verifier();
                                               })
        / Verifications;
    sqlite3* vente = nullptr;
    sqlite3_open_v2(chemin.toUtf8().constData(), &vente, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(vente, 5000);
    double rafraichir = 1e300;
    afficher(1);
    liste->setCurrentIndex(liste->model()->index(liste->model()->rowCount() / 2, 0));
    liste->scrollTo(liste->currentIndex());
    for (int i = 0; i < 10; ++i) {
        // A sale and its cancellation, alternately: the list differs each time.
        sqlite3_exec(vente,
                     i % 2 ? "UPDATE Produit SET Stock = Stock + 1 WHERE rowid = (SELECT MIN(rowid) FROM Produit"
                             " WHERE Externe = 0 AND IdProduitType = 1)"
                           : "UPDATE Produit SET Stock = Stock - 1 WHERE rowid = (SELECT MIN(rowid) FROM Produit"
                             " WHERE Externe = 0 AND IdProduitType = 1)",
                     nullptr, nullptr, nullptr);
        rafraichir = std::min(rafraichir, bench::Mesurer(1, [&] {
                                  fiche.CatalogueChange();
                                  montrer();
                              }));
    }
    sqlite3_close(vente);

    std::printf("catalogue : %s\n", qPrintable(chemin));
    afficher(1);
    std::printf("grande catégorie : %d lignes (base : %lld) ; petite : %lld lignes\n",
                fiche.ModeleProduits().rowCount(), lignesGrande, lignesPetite);
    bench::Ratio("grande catégorie affichée (50 000 produits)", grande, grandeBrut, 1.5);
    Absolu("passage à une petite catégorie", quitter, petiteBrut, 5);
    Absolu("tri par libellé de 50 000 lignes", triLibelle, grandeBrut, 50);
    Absolu("tri par prix de vente de 50 000 lignes", triPrix, grandeBrut, 50);
    bench::Ratio("« Valider » dans l'éditeur (un remplissage)", valider, grande, 1.3);
    Absolu("vérification d'un changement (rien de changé)", verification, 0, 1);
    bench::Ratio("liste rafraîchie après une vente (un remplissage)", rafraichir, grande, 1.2);
    std::printf("%-46s %9.1f MiB  (repos %.1f MiB, lignes %.1f MiB)   (cible < 30 MiB) %s\n",
                "mémoire résidente de la liste", chargee - repos, repos, octets / 1048576.0,
                chargee - repos < 30 ? "OK" : "HORS CIBLE");
    return 0;
}
