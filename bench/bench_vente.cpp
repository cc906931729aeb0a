// What one sale costs the host: a one-line "Commander" request on a
// 1,000,000-product catalogue, whole process, with no screen and with a
// DISPLAY that answers nobody, against the sqlite3 CLI doing the same lookup,
// UPDATE and INSERT in one transaction on a copy of the same file, runs
// alternated in the same loop.
//
// Usage: bench_vente SCRATCH BUILD

#include "bench/bench_commun.h"

#include <unistd.h>
#include <QCoreApplication>
#include <algorithm>
#include <cstdlib>

namespace {
const int NbEssais = 21;

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const auto [dossier, build] = bench::Dossiers(argc, argv);
    const QString genere =
        bench::Catalogue(dossier, build, "store-1M.abs", {"--products", "1000000", "--categories", "10000"});
    const QString racine = dossier + "/vente/";
    const QString programme = bench::Installation(racine, build, genere);
    const QString copieSql = racine + "copie-sqlite3.abs";
    if (!QFile::exists(racine + "Modules/Kestravel/Kestravel.abs") || !bench::Copier(genere, copieSql)) {
        std::fprintf(stderr, "copie du catalogue impossible\n");
        return 1;
    }
    // One unit of product 36 (category 36) per sale. Both copies get the same
    // stock, enough for every run: a sale that found none would write nothing
    // and be measured cheaper than a real one.
    const QString stock =
        "UPDATE Produit SET Stock = 1000000 WHERE Externe = 0 AND IdProduit = 36"
        " AND IdProduitType = 36;";
    bench::Lancer({"/usr/bin/sqlite3", copieSql, "PRAGMA journal_mode=WAL; " + stock});
    bench::Lancer({"/usr/bin/sqlite3", racine + "Modules/Kestravel/Kestravel.abs", stock});

    const QByteArray demande =
        "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel><Produit Type=\"Commander\" Externe=\"0\""
        " IdProduit=\"36\" IdProduitType=\"36\" Quantite=\"1\"/></Kestravel>\n";
    const QByteArray cle = "Externe = 0 AND IdProduit = 36 AND IdProduitType = 36";
    const QByteArray script =
        ".bail on\nBEGIN IMMEDIATE;\nSELECT Stock FROM Produit WHERE " + cle
        + ";\nINSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle,"
          " DateMaj) SELECT 0, IdProduit, IdProduitType, Stock, Stock - 1, 'Passage en commande',"
          " strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime') FROM Produit WHERE " + cle
        + " AND Stock >= 1;\nUPDATE Produit SET Stock = Stock - 1 WHERE " + cle + " AND Stock >= 1;\nCOMMIT;\n";
    const QString fichierDemande = racine + "demande.xml", fichierScript = racine + "vente.sql";
    bench::Ecrire(fichierScript, script);
    // The copies above are hundreds of megabytes still on their way to the
    // disk: written out first, they would slow the sales' flushes, not the
    // sales themselves.
    ::sync();

    const QByteArray display = qgetenv("DISPLAY");
    std::vector<double> sansEcran, avecEcran, cli;
    for (int essai = 0; essai < NbEssais; ++essai) {
        for (bool ecran : {false, true}) {
            if (ecran)
                qputenv("DISPLAY", ":99");  // nothing listens there
            else
                qunsetenv("DISPLAY");
            bench::Ecrire(fichierDemande, demande);
            const bench::Mesure m = bench::Lancer({programme, "CONTROLE", racine + "Kestravel.ini", fichierDemande});
            QFile resultat(fichierDemande);
            if (m.code != 0 || !resultat.open(QIODevice::ReadOnly) || !resultat.readAll().contains("Etat=\"Ok\"")) {
                std::fprintf(stderr, "kestravel CONTROLE a échoué (code %d)\n", m.code);
                return 1;
            }
            (ecran ? avecEcran : sansEcran).push_back(m.secondes * 1000);
        }
        cli.push_back(bench::Lancer({"/usr/bin/sqlite3", copieSql}, fichierScript).secondes * 1000);
    }
    if (display.isNull())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", display);

    const double c = bench::Mediane(cli);
    std::printf("vente d'une ligne, catalogue de 1 000 000 produits (médianes de %d) :\n", NbEssais);
    bench::Ratio("CONTROLE sans DISPLAY", bench::Mediane(sansEcran), c, 2);
    bench::Ratio("CONTROLE avec DISPLAY=:99", bench::Mediane(avecEcran), c, 2);
    return 0;
}
