// Catalogue settings window on 1,000,000 products in 10,000 categories:
// filling the list of a 1,000-product category and loading the category
// tree, each against a bare SQLite query returning the same rows in the
// same run.

#include "bench/bench_commun.h"
#include "core/store/dmkestravel.h"
#include "core/store/recherche.h"
#include "gui/admin/ficheparametreproduit.h"

#include <sqlite3.h>
#include <QApplication>
#include <QTreeView>
#include <QTreeWidget>

namespace {
QString Plan(sqlite3* base, const char* sql)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(base, QByteArray("EXPLAIN QUERY PLAN ") + sql, -1, &st, nullptr);
    QStringList r;
    while (sqlite3_step(st) == SQLITE_ROW)
        r << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 3)));
    sqlite3_finalize(st);
    return r.join("; ");
}

void Ligne(const char* quoi, double ms, double baseMs, double cibleMs)
{
    bench::Duree(quoi, ms, baseMs, cibleMs);
}
}  // namespace

int main(int argc, char* argv[])
{
    bench::PlateformeHorsEcran();
    QApplication app(argc, argv);
    const QString chemin = bench::CatalogueDesArguments(
        argc, argv, "admin-1M.abs", {"--products", "1000000", "--categories", "10000", "--big-category", "1000"});

    const char* sqlListe =
        "SELECT Externe, IdProduit, IdProduitType, Libelle, Reference, PrixTarifHT, PrixAchatHT,"
        " PrixVenteHT, Stock FROM Produit WHERE Externe = 0 AND IdProduitType = 1"
        " ORDER BY IdProduit";
    const char* sqlArbre =
        "SELECT Externe, IdProduitType, IdParent, Libelle FROM ProduitType"
        " ORDER BY Externe, IdProduitType";
    const char* sqlParcours =
        "SELECT Externe, IdProduit, IdProduitType, Libelle, Reference, PrixTarifHT,"
        " PrixAchatHT, PrixVenteHT, Stock FROM Produit ORDER BY Externe, IdProduit,"
        " IdProduitType";
    sqlite3* brut = nullptr;
    sqlite3_open_v2(chemin.toUtf8().constData(), &brut, SQLITE_OPEN_READONLY, nullptr);
    long long lignesListe = 0, lignesArbre = 0, lignesParcours = 0;
    const double listeBrut = bench::RequeteBrute(brut, sqlListe, lignesListe, 10);
    const double arbreBrut = bench::RequeteBrute(brut, sqlArbre, lignesArbre, 10);
    // What reading the whole table to keep one category would cost.
    const double parcours = bench::RequeteBrute(brut, sqlParcours, lignesParcours, 1);
    std::printf("plan de la liste : %s\n", qPrintable(Plan(brut, sqlListe)));
    sqlite3_close(brut);

    TdmKestravel dm(chemin);
    // Built once per catalogue, on the first opening: not what is measured.
    InstallerIndexRecherche(dm.Connexion());
    QElapsedTimer ouverture;
    ouverture.start();
    TFicheParametreProduit fiche(dm);
    fiche.show();
    QCoreApplication::processEvents();
    const double creation = ouverture.nsecsElapsed() / 1e6;
    auto* arbre = fiche.findChild<QTreeWidget*>("tvProduitType");
    auto* liste = fiche.findChild<QTreeView*>("lvProduits");

    // Each load ends with the tree laid out, as the user sees it.
    const double tree = bench::Mesurer(10, [&] {
        fiche.RemplirArbreCategories();
        arbre->doItemsLayout();
    });
    long long noeuds = 0;
    for (QTreeWidgetItemIterator it(arbre); *it; ++it)
        ++noeuds;
    const double list = bench::Mesurer(20, [&] {
        fiche.AfficherProduits(0, 1);
        liste->doItemsLayout();
    });

    std::printf("catalogue : %s\n", qPrintable(chemin));
    std::printf("liste : %d lignes (base : %lld) ; arbre : %lld nœuds pour %lld catégories lues\n",
                liste->model()->rowCount(), lignesListe, noeuds, lignesArbre);
    std::printf("ouverture de la fenêtre (arbre compris)  %8.2f ms\n", creation);
    Ligne("remplissage de la liste (1 000 produits)", list, listeBrut, 50);
    Ligne("chargement de l'arbre (10 000 catégories)", tree, arbreBrut, 300);
    std::printf("pour mémoire, lecture brute de toute la table Produit (%lld lignes) : %.1f ms\n", lignesParcours,
                parcours);
    return 0;
}
