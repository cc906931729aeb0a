// The reorder list and the barcode scan on 1,000,000 products (a quarter of
// them at or below their minimum, in 10,000 categories): the list of the
// whole catalogue and of the biggest category with its subcategories, the
// window showing it, its CSV file; a scanned code looked up, and from Enter
// to the product editor open. Each against the bare SQLite query returning
// the same rows in the same run, and against the targets (100 ms for the
// list, 20 ms for a scan).

#include "bench/bench_commun.h"
#include "core/catalogue/hausse.h"
#include "core/catalogue/reapprovisionnement.h"
#include "core/store/dmkestravel.h"
#include "core/store/indexannexes.h"
#include "core/store/lecturecode.h"
#include "gui/admin/ficheparametreproduit.h"
#include "gui/admin/fichereapprovisionnement.h"
#include "gui/product/ficheproduitaddorupdate.h"

#include <sqlite3.h>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

int main(int argc, char* argv[])
{
    bench::PlateformeHorsEcran();
    QApplication app(argc, argv);
    const QString chemin = bench::CatalogueGrandeCategorie(argc, argv);
    TdmKestravel dm(chemin);
    bench::ConstruireUneFois("des index", IndexAnnexesInstalles(dm.Connexion()),
                             [&] { InstallerIndexAnnexes(dm.Connexion()); });
    std::printf("catalogue : %s\n", qPrintable(chemin));

    sqlite3* brut = nullptr;
    sqlite3_open_v2(chemin.toUtf8().constData(), &brut, SQLITE_OPEN_READONLY, nullptr);

    // The reorder list.
    const char* sqlTout =
        "SELECT IdProduit, IdProduitType, Stock, StockMini, PrixAchatHT, Reference, Libelle FROM Produit"
        " WHERE Externe = 0 AND StockMini > 0 AND Stock <= StockMini ORDER BY StockMini - Stock DESC, IdProduit";
    long long lignesTout = 0;
    const double toutBrut = bench::RequeteBrute(brut, sqlTout, lignesTout, 5);
    int lignes = 0;
    const double tout = bench::Mesurer(5, [&] { lignes = LireProduitsAReapprovisionner(dm, 0).Taille(); });
    std::printf("tout le catalogue : %d produits à réapprovisionner (base : %lld)\n", lignes, lignesTout);
    bench::Duree("liste, tout le catalogue", tout, toutBrut, 100);

    QStringList ids{"1"};
    for (int id : CollecterDescendants(dm, 1))
        ids << QString::number(id);
    const QByteArray sqlCategorie =
        QStringLiteral("SELECT IdProduit, IdProduitType, Stock, StockMini, PrixAchatHT, Reference, Libelle FROM Produit"
                       " WHERE Externe = 0 AND StockMini > 0 AND Stock <= StockMini AND IdProduitType IN (%1)"
                       " ORDER BY StockMini - Stock DESC, IdProduit")
            .arg(ids.join(','))
            .toUtf8();
    long long lignesCategorie = 0;
    const double categorieBrut = bench::RequeteBrute(brut, sqlCategorie.constData(), lignesCategorie, 5);
    const double categorie = bench::Mesurer(5, [&] { lignes = LireProduitsAReapprovisionner(dm, 1).Taille(); });
    std::printf("catégorie 1 et ses %lld sous-catégories : %d produits (base : %lld)\n", qlonglong(ids.size() - 1),
                lignes, lignesCategorie);
    bench::Duree("liste, la plus grande catégorie et ses descendantes", categorie, categorieBrut, 100);

    const double fenetre = bench::Mesurer(3, [&] {
        TFicheReapprovisionnement f(dm, 0, QString());
        f.show();
        auto* liste = f.findChild<QTreeView*>("lvReappro");
        liste->doItemsLayout();
        liste->viewport()->repaint();
    });
    bench::Duree("fenêtre ouverte et peinte, tout le catalogue", fenetre, toutBrut, 100);
    const TListeReapprovisionnement liste = LireProduitsAReapprovisionner(dm, 0);
    qsizetype octets = 0;
    const double csv = bench::Mesurer(3, [&] { octets = CsvReapprovisionnement(liste).size(); });
    std::printf("%-52s %9.2f ms   (%.1f Mo)\n", "fichier CSV de la liste entière", csv, octets / 1e6);

    // The scan: codes spread over the catalogue, each looked up alone.
    const char* sqlCode =
        "SELECT * FROM (SELECT Externe, IdProduit, IdProduitType, Libelle, Reference, PrixTarifHT, PrixAchatHT,"
        " PrixVenteHT, Stock FROM Produit WHERE lower(Reference) = ?1 AND Externe = 0 UNION SELECT Externe,"
        " IdProduit, IdProduitType, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock FROM Produit"
        " WHERE lower(CodeExport) = ?1 AND Externe = 0) ORDER BY 1, 2, 3";
    TCritereRecherche critere;
    critere.externe = 0;
    const auto codes = [](int i) {
        return i % 2 ? QStringLiteral("R%1").arg(1 + (i * 7919) % 999983) : QStringLiteral("ex%1").arg(1 + (i * 104729) % 999983);
    };
    constexpr int n = 200;
    int trouves = 0;
    const double scan = bench::Mesurer(1, [&] {
                            for (int i = 0; i < n; ++i) {
                                critere.texte = codes(i);
                                trouves += ChercherCode(dm.Connexion(), critere).lignes.Taille();
                            }
                        })
        / n;
    long long lignesCode = 0;
    double scanBrut = 0;
    for (int i = 0; i < n; ++i)
        scanBrut += bench::RequeteBrute(brut, sqlCode, lignesCode, 1, PlierCode(codes(i)).toUtf8());
    scanBrut /= n;
    std::printf("%d codes lus, %d produits trouvés\n", n, trouves);
    bench::Duree("code lu (référence ou code export), moyenne", scan, scanBrut, 20);
    sqlite3_close(brut);

    // From Enter in "Rechercher" to the editor of the product shown.
    TFicheParametreProduit fiche(dm);
    fiche.show();
    QCoreApplication::processEvents();
    auto* champ = fiche.findChild<QLineEdit*>("edtRecherche");
    double ouverture = 1e300;
    for (int i = 0; i < 5; ++i) {
        champ->setText(codes(2 * i + 1));
        QElapsedTimer chrono;
        double ms = -1;
        QTimer::singleShot(0, &fiche, [&] {
            if (QWidget* editeur = QApplication::activeModalWidget()) {
                ms = chrono.nsecsElapsed() / 1e6;
                editeur->close();
            }
        });
        chrono.start();
        QMetaObject::invokeMethod(champ, "returnPressed");
        if (ms >= 0)
            ouverture = std::min(ouverture, ms);
    }
    bench::Duree("Entrée sur un code : éditeur du produit ouvert", ouverture, scanBrut, 100);
    return 0;
}
