// A 10,000-line stock control request (orders, refreshes, give-backs) and a
// one-line order (what a sale costs the host) on a generated 100,000-product
// catalogue, through the real binary, against the sqlite3 CLI running the
// same lookups, updates and inserts in one transaction on a copy of the same
// data. Beside the one-line order, a program that only starts and ends on
// Qt Core (noyauvide.cpp) shows what any sale of this module spends before
// its own work.
//
// Usage: bench_controle SCRATCH BUILD

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/bench_commun.h"

#include <unistd.h>

namespace {
using bench::Lancer;
using bench::Mesure;
const int NbProduits = 100000, NbCategories = 1000, NbLignes = 10000, NbEssais = 3, NbEssaisUneLigne = 15;

struct Ligne {
    int type;  // 0 order, 1 refresh, 2 give back
    int id, categorie, quantite;
};
}  // namespace

int main(int argc, char* argv[])
{
    const auto [travail, build] = bench::Dossiers(argc, argv, "controle");
    const QString racine = travail + "/installation/";
    const QString module = racine + "Modules/Kestravel/";

    const QString genere = travail + QStringLiteral("/genere-%1.abs").arg(NbProduits);
    if (!QFile::exists(genere)) {
        const Mesure g = Lancer({build + "/tools/kestravel-db", "generate", genere, "--products",
                                 QString::number(NbProduits), "--categories", QString::number(NbCategories)});
        if (g.code != 0) {
            std::fprintf(stderr, "génération impossible\n");
            return 1;
        }
    }
    bench::Installation(racine, build, genere);

    // The same 10,000 lines for both: 60 % orders, 20 % refreshes, 20 %
    // give-backs, on random internal products.
    QRandomGenerator alea(20240402);
    std::vector<Ligne> lignes;
    for (int i = 0; i < NbLignes; ++i) {
        const int id = 1 + int(alea.bounded(NbProduits));
        const int r = int(alea.bounded(10));
        lignes.push_back({r < 6 ? 0 : (r < 8 ? 1 : 2), id, 1 + (id - 1) % NbCategories, 1 + int(alea.bounded(5))});
    }
    static const char* const Types[] = {"Commander", "Actualiser", "Remonter"};
    QByteArray demande = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Kestravel>";
    QByteArray script = ".bail on\nBEGIN IMMEDIATE;\n";
    const QByteArray maintenant = "strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')";
    // The one-line request: one unit of a product that holds 33 (the
    // generator gives product p a stock of p % 37 - 3), ordered at each run.
    const QByteArray demandeUneLigne =
        demande + "<Produit Type=\"Commander\" Externe=\"0\" IdProduit=\"36\" IdProduitType=\"36\" Quantite=\"1\"/>"
                  "</Kestravel>\n";
    const QByteArray cleUneLigne = "Externe = 0 AND IdProduit = 36 AND IdProduitType = 36";
    const QByteArray scriptUneLigne =
        script + "SELECT 1 FROM Produit WHERE " + cleUneLigne + ";\nSELECT Stock FROM Produit WHERE " + cleUneLigne
        + ";\nINSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle,"
          " DateMaj) SELECT 0, IdProduit, IdProduitType, Stock, Stock - 1, 'Passage en commande', " + maintenant
        + " FROM Produit WHERE " + cleUneLigne + " AND Stock >= 1;\nUPDATE Produit SET Stock = Stock - 1 WHERE "
        + cleUneLigne + " AND Stock >= 1;\nCOMMIT;\n";
    for (const Ligne& l : lignes) {
        const QByteArray cle = "Externe = 0 AND IdProduit = " + QByteArray::number(l.id)
            + " AND IdProduitType = " + QByteArray::number(l.categorie);
        const QByteArray q = QByteArray::number(l.quantite);
        demande += QStringLiteral(
                       "<Produit Type=\"%1\" Externe=\"0\" IdProduit=\"%2\" IdProduitType=\"%3\" "
                       "Quantite=\"%4\"/>")
                       .arg(Types[l.type])
                       .arg(l.id)
                       .arg(l.categorie)
                       .arg(l.quantite)
                       .toUtf8();
        // Per line: the existence lookup, then what the line does.
        script += "SELECT 1 FROM Produit WHERE " + cle + ";\n";
        if (l.type == 0) {
            script += "SELECT Stock FROM Produit WHERE " + cle + ";\n";
            script +=
                "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew,"
                " Libelle, DateMaj) SELECT 0, IdProduit, IdProduitType, Stock, Stock - "
                + q + ", 'Passage en commande', " + maintenant + " FROM Produit WHERE " + cle + " AND Stock >= " + q
                + ";\n";
            script += "UPDATE Produit SET Stock = Stock - " + q + " WHERE " + cle + " AND Stock >= " + q + ";\n";
        } else if (l.type == 1) {
            script +=
                "SELECT Libelle, Description, Reference, PrixAchatHT, PrixTarifHT, PrixVenteHT, Lien"
                " FROM Produit WHERE "
                + cle + ";\n";
        } else {
            script += "UPDATE Produit SET Stock = Stock + " + q + " WHERE " + cle + ";\n";
            script += "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew,"
                      " Libelle, DateMaj) SELECT 0, IdProduit, IdProduitType, Stock - " + q + ", Stock,"
                      " 'Commande annulée', " + maintenant + " FROM Produit WHERE " + cle + ";\n";
        }
    }
    demande += "</Kestravel>\n";
    script += "COMMIT;\n";
    const QString fichierDemande = travail + "/demande.xml";
    const QString fichierScript = travail + "/demande.sql";
    const QString copieSql = travail + "/copie-sqlite3.abs";
    const QString fichierScriptUneLigne = travail + "/demande-une-ligne.sql";
    bench::Ecrire(fichierScript, script);
    bench::Ecrire(fichierScriptUneLigne, scriptUneLigne);

    std::vector<double> nous, reference;
    long pointe = 0;
    for (int essai = 0; essai < NbEssais; ++essai) {
        bench::Copier(genere, module + "Kestravel.abs");
        bench::Ecrire(fichierDemande, demande);
        // Each copy is written out before its measure: the flushes of what
        // is measured must not wait behind it.
        ::sync();
        const Mesure m = Lancer({module + "kestravel", "CONTROLE", racine + "Kestravel.ini", fichierDemande});
        if (m.code != 0) {
            std::fprintf(stderr, "kestravel CONTROLE a échoué (code %d)\n", m.code);
            return 1;
        }
        nous.push_back(m.secondes);
        pointe = std::max(pointe, m.pointeKo);

        bench::Copier(genere, copieSql);
        // Same journal mode as the program's catalogue.
        Lancer({"/usr/bin/sqlite3", copieSql, "PRAGMA journal_mode=WAL;"});
        ::sync();
        const Mesure s = Lancer({"/usr/bin/sqlite3", copieSql}, fichierScript);
        if (s.code != 0) {
            std::fprintf(stderr, "sqlite3 a échoué (code %d)\n", s.code);
            return 1;
        }
        reference.push_back(s.secondes);
    }

    // The one-line order, repeated on one fresh copy.
    std::vector<double> nousUne, referenceUne;
    bench::Copier(genere, module + "Kestravel.abs");
    bench::Copier(genere, copieSql);
    Lancer({"/usr/bin/sqlite3", copieSql, "PRAGMA journal_mode=WAL;"});
    ::sync();
    for (int essai = 0; essai < NbEssaisUneLigne; ++essai) {
        bench::Ecrire(fichierDemande, demandeUneLigne);
        const Mesure m = Lancer({module + "kestravel", "CONTROLE", racine + "Kestravel.ini", fichierDemande});
        if (m.code != 0) {
            std::fprintf(stderr, "kestravel CONTROLE (une ligne) a échoué (code %d)\n", m.code);
            return 1;
        }
        nousUne.push_back(m.secondes);
        referenceUne.push_back(Lancer({"/usr/bin/sqlite3", copieSql}, fichierScriptUneLigne).secondes);
    }
    // Apart, not between the sales: run between them, another Qt program
    // slows each next sale by a few milliseconds on this machine.
    std::vector<double> noyauVide, referenceVide;
    for (int essai = 0; essai < NbEssaisUneLigne; ++essai) {
        noyauVide.push_back(Lancer({build + "/bench/kestravel-noyau-vide"}).secondes);
        referenceVide.push_back(Lancer({"/usr/bin/sqlite3", copieSql}, fichierScriptUneLigne).secondes);
    }

    const double n = bench::Mediane(nous), r = bench::Mediane(reference);
    const double n1 = bench::Mediane(nousUne), r1 = bench::Mediane(referenceUne);
    std::printf("CONTROLE %d lignes sur %d produits, médiane de %d ; base : sqlite3, même SQL, une transaction\n",
                NbLignes, NbProduits, NbEssais);
    bench::Ratio("CONTROLE de 10 000 lignes contre sqlite3", n * 1000, r * 1000, 2);
    std::printf("mémoire de pointe de kestravel        : %.1f Mo\n", double(pointe) / 1024.0);
    std::printf("CONTROLE une ligne : médiane de %d\n", NbEssaisUneLigne);
    bench::Ratio("CONTROLE d'une ligne contre sqlite3", n1 * 1000, r1 * 1000, 2);
    const double v = bench::Mediane(noyauVide), rv = bench::Mediane(referenceVide);
    std::printf("démarrage d'un programme vide sur Qt Core : %.1f ms, soit %.2f× la vente de sqlite3 (%.1f ms)\n",
                v * 1000, v / rv, rv * 1000);
    return 0;
}
