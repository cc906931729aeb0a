// Cursor walk and key search on a 1,000,000-product catalogue, against a bare
// SQLite C API loop doing the same reads in the same run (processor time).

#include "bench/bench_commun.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <cmath>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const auto [dossier, build] = bench::Dossiers(argc, argv);
    const QString chemin =
        bench::Catalogue(dossier, build, "store-1M.abs", {"--products", "1000000", "--categories", "10000"});
    const int recherches = 100000;
    QVector<int> cles(recherches);
    QRandomGenerator gen(42);
    for (int& c : cles)
        c = 1 + int(gen.bounded(1000000));

    sqlite3* brut = nullptr;
    sqlite3_open_v2(chemin.toUtf8().constData(), &brut, SQLITE_OPEN_READONLY, nullptr);
    const char* colonnes =
        "Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT, PrixTarifHT,"
        " PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock, StockMini";
    long long sommeBrute = 0, sommeCurseur = 0;

    // Reads every column of every row, as the cursor does. Both sides add
    // the same figure for a value: a text's length, an integer, a real in
    // hundredths rounded, so that the two sums must be equal.
    auto lireLigne = [&](sqlite3_stmt* st) {
        for (int i = 0; i < 14; ++i) {
            switch (sqlite3_column_type(st, i)) {
                case SQLITE_TEXT:
                    sommeBrute += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                                    sqlite3_column_bytes(st, i))
                                      .size();
                    break;
                case SQLITE_FLOAT:
                    sommeBrute += std::llround(sqlite3_column_double(st, i) * 100);
                    break;
                default:
                    sommeBrute += sqlite3_column_int64(st, i);
            }
        }
    };
    const double walkBrut = bench::MesurerCpu(3, [&] {
        sommeBrute = 0;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(brut,
                           QStringLiteral("SELECT %1 FROM Produit ORDER BY Externe, IdProduit, IdProduitType")
                               .arg(colonnes)
                               .toUtf8()
                               .constData(),
                           -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            lireLigne(st);
        sqlite3_finalize(st);
    });
    const long long parcoursBrut = sommeBrute;
    const double findBrut = bench::MesurerCpu(3, [&] {
        sommeBrute = 0;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(brut,
                           QStringLiteral("SELECT %1 FROM Produit WHERE Externe = ? AND IdProduit = ?")
                               .arg(colonnes)
                               .toUtf8()
                               .constData(),
                           -1, &st, nullptr);
        for (int c : cles) {
            sqlite3_bind_int(st, 1, 0);
            sqlite3_bind_int(st, 2, c);
            if (sqlite3_step(st) == SQLITE_ROW)
                lireLigne(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    });
    const long long rechercheBrute = sommeBrute;
    sqlite3_close(brut);

    TdmKestravel dm(chemin);
    TCurseur& t = dm.tblProduit;
    const QStringList champs = {"Externe",     "IdProduit",   "IdProduitType", "Description", "CodeExport",
                                "PrixAchatHT", "PrixTarifHT", "PrixVenteHT",   "Libelle",     "DateCreation",
                                "Reference",   "Lien",        "Stock",         "StockMini"};
    auto lireCurseur = [&] {
        for (const QString& c : champs) {
            const QVariant v = t.Field(c);
            switch (v.typeId()) {
                case QMetaType::QString:
                    sommeCurseur += v.toString().size();
                    break;
                case QMetaType::Double:
                    sommeCurseur += std::llround(v.toDouble() * 100);
                    break;
                default:
                    sommeCurseur += v.toLongLong();
            }
        }
    };
    const double memAvant = bench::MemoireMax();
    long long lignes = 0;
    const double walk = bench::MesurerCpu(3, [&] {
        lignes = 0;
        sommeCurseur = 0;
        for (t.First(); !t.Eof(); t.Next()) {
            lireCurseur();
            ++lignes;
        }
    });
    const double memApres = bench::MemoireMax();
    const long long parcoursCurseur = sommeCurseur;
    const double find = bench::MesurerCpu(3, [&] {
        sommeCurseur = 0;
        for (int c : cles)
            if (TrouverCle(t, {0, c}))
                lireCurseur();
    });

    std::printf("lignes parcourues : %lld (contrôle %lld / %lld)\n", lignes, parcoursCurseur, parcoursBrut);
    // A figure measured on reads that differ from the baseline's is worth
    // nothing: the run stops.
    if (parcoursCurseur != parcoursBrut || sommeCurseur != rechercheBrute) {
        std::fprintf(stderr, "Les valeurs lues diffèrent de la lecture directe : parcours %lld / %lld, recherche %lld / %lld.\n",
                     parcoursCurseur, parcoursBrut, sommeCurseur, rechercheBrute);
        return 1;
    }
    bench::Ratio("parcours complet de tblProduit (1 000 000)", walk, walkBrut, 2);
    bench::Ratio("100 000 TrouverCle", find, findBrut, 3);
    std::printf("mémoire max : %.1f Mio avant le parcours, %.1f Mio après (croissance %.1f Mio)\n", memAvant, memApres,
                memApres - memAvant);
    return 0;
}
