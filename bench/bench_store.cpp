// Cursor walk and key search on a 1,000,000-product catalogue, against a bare
// SQLite C API loop doing the same reads in the same run (processor time).

#include "bench/bench_commun.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QRandomGenerator>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString dossier = argc > 1 ? argv[1] : "bench-data";
    const QString build = argc > 2 ? argv[2] : "build";
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

    // Reads every column of every row, as the cursor does.
    auto lireLigne = [&](sqlite3_stmt* st) {
        for (int i = 0; i < 14; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_TEXT)
                sommeBrute += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                                sqlite3_column_bytes(st, i))
                                  .size();
            else
                sommeBrute += sqlite3_column_int64(st, i);
        }
    };
    const double walkBrut = bench::MesurerCpu(3, [&] {
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
    const double findBrut = bench::MesurerCpu(3, [&] {
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
    sqlite3_close(brut);

    TdmKestravel dm(chemin);
    TCurseur& t = dm.tblProduit;
    const QStringList champs = {"Externe",     "IdProduit",   "IdProduitType", "Description", "CodeExport",
                                "PrixAchatHT", "PrixTarifHT", "PrixVenteHT",   "Libelle",     "DateCreation",
                                "Reference",   "Lien",        "Stock",         "StockMini"};
    auto lireCurseur = [&] {
        for (const QString& c : champs) {
            const QVariant v = t.Field(c);
            sommeCurseur += v.typeId() == QMetaType::QString ? v.toString().size() : v.toLongLong();
        }
    };
    const double memAvant = bench::MemoireMax();
    long long lignes = 0;
    const double walk = bench::MesurerCpu(3, [&] {
        lignes = 0;
        for (t.First(); !t.Eof(); t.Next()) {
            lireCurseur();
            ++lignes;
        }
    });
    const double memApres = bench::MemoireMax();
    const double find = bench::MesurerCpu(3, [&] {
        for (int c : cles)
            if (TrouverCle(t, {0, c}))
                lireCurseur();
    });

    std::printf("lignes parcourues : %lld (contrôle %lld / %lld)\n", lignes, sommeCurseur, sommeBrute);
    bench::Ratio("parcours complet de tblProduit (1 000 000)", walk, walkBrut, 2);
    bench::Ratio("100 000 TrouverCle", find, findBrut, 3);
    std::printf("mémoire max : %.1f Mio avant le parcours, %.1f Mio après (croissance %.1f Mio)\n", memAvant, memApres,
                memApres - memAvant);
    return 0;
}
