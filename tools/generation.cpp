#include "tools/generation.h"

#include "core/store/dates.h"
#include "core/store/erreurs.h"
#include "core/store/schema.h"

#include <QDateTime>
#include <sqlite3.h>

namespace {
struct Base {
    sqlite3* db = nullptr;
    ~Base() { sqlite3_close(db); }
    void Exec(const char* sql)
    {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            const QString m = QString::fromUtf8(err);
            sqlite3_free(err);
            throw EDatabaseError(m);
        }
    }
    sqlite3_stmt* Preparer(const char* sql)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
        return st;
    }
    void Pas(sqlite3_stmt* st)
    {
        if (sqlite3_step(st) != SQLITE_DONE)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_reset(st);
    }
};

void Texte(sqlite3_stmt* st, int i, const QByteArray& t) { sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT); }
}  // namespace

void GenererCatalogue(const QString& chemin, const TOptionsGeneration& o)
{
    CreerCatalogueVide(chemin);
    Base b;
    if (sqlite3_open(chemin.toUtf8().constData(), &b.db) != SQLITE_OK)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(b.db)));
    b.Exec("PRAGMA synchronous=OFF");
    b.Exec("BEGIN");

    sqlite3_stmt* cat = b.Preparer("INSERT INTO ProduitType VALUES (?, ?, ?, ?)");
    for (int i = 1; i <= o.categories; ++i) {
        // Ten top-level categories; every other one hangs under a lower number.
        const int parent = i <= 10 ? 0 : i / 10;
        sqlite3_bind_int(cat, 1, 0);
        sqlite3_bind_int(cat, 2, i);
        sqlite3_bind_int(cat, 3, parent);
        Texte(cat, 4, QStringLiteral("Catégorie %1").arg(i, 5, 10, QLatin1Char('0')).toUtf8());
        b.Pas(cat);
    }
    // A few categories of the other origins.
    for (int ext = 1; ext <= 2; ++ext)
        for (int i = 1; i <= 5; ++i) {
            sqlite3_bind_int(cat, 1, ext);
            sqlite3_bind_int(cat, 2, i);
            sqlite3_bind_int(cat, 3, 0);
            Texte(cat, 4, QStringLiteral("Catalogue %1 - rayon %2").arg(ext).arg(i).toUtf8());
            b.Pas(cat);
        }
    sqlite3_finalize(cat);

    sqlite3_stmt* carac = b.Preparer("INSERT INTO ProduitTypeCarac VALUES (0, ?, ?, ?)");
    const char* libelles[] = {"Longueur", "Largeur", "Poids", "Couleur", "Matière"};
    const char* unites[] = {"mm", "mm", "g", "", ""};
    for (int i = 0; i < 5; ++i) {
        sqlite3_bind_int(carac, 1, i + 1);
        Texte(carac, 2, libelles[i]);
        Texte(carac, 3, unites[i]);
        b.Pas(carac);
    }
    sqlite3_finalize(carac);

    sqlite3_stmt* prod = b.Preparer(
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT,"
        " PrixTarifHT, PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock, StockMini)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    sqlite3_stmt* val = b.Preparer("INSERT INTO ProduitCarac VALUES (0, ?, ?, ?)");
    sqlite3_stmt* mvt = b.Preparer(
        "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle,"
        " DateMaj) VALUES (0, ?, ?, 0, ?, 'Ajout', ?)");
    const QByteArray date = DateHeureBase(QDateTime(QDate(2024, 4, 2), QTime(9, 30))).toUtf8();
    const int autres = o.grosseCategorie > 0 ? std::max(1, o.categories - 1) : o.categories;
    for (qint64 p = 1; p <= o.produits; ++p) {
        int categorie;
        if (o.grosseCategorie > 0)
            categorie = p <= o.grosseCategorie ? 1 : 2 + int((p - o.grosseCategorie - 1) % autres);
        else
            categorie = 1 + int((p - 1) % o.categories);
        if (categorie > o.categories)
            categorie = o.categories;
        const double achat = 1.0 + double(p % 5000) / 7.0;
        const int stock = int(p % 37) - 3;
        sqlite3_bind_int(prod, 1, 0);
        sqlite3_bind_int64(prod, 2, p);
        sqlite3_bind_int(prod, 3, categorie);
        Texte(prod, 4, QStringLiteral("Article de démonstration n° %1\r\nUsage courant.").arg(p).toUtf8());
        Texte(prod, 5, QStringLiteral("EX%1").arg(p).toUtf8());
        sqlite3_bind_double(prod, 6, achat);
        sqlite3_bind_double(prod, 7, achat * 1.8);
        sqlite3_bind_double(prod, 8, achat * 1.6);
        Texte(prod, 9, QStringLiteral("Produit %1").arg(p, 7, 10, QLatin1Char('0')).toUtf8());
        Texte(prod, 10, date);
        Texte(prod, 11, QStringLiteral("R%1").arg(p % 100000000).toUtf8());
        Texte(prod, 12, (p % 10 == 0) ? QStringLiteral("%1.jpg").arg(p).toUtf8() : QByteArray());
        sqlite3_bind_int(prod, 13, stock);
        sqlite3_bind_int(prod, 14, 5);
        b.Pas(prod);
        if (p % 4 == 0) {
            sqlite3_bind_int64(val, 1, p);
            sqlite3_bind_int(val, 2, 1 + int(p % 5));
            Texte(val, 3, QByteArray::number(p % 1000));
            b.Pas(val);
        }
        if (p % 8 == 0) {
            sqlite3_bind_int64(mvt, 1, p);
            sqlite3_bind_int(mvt, 2, categorie);
            sqlite3_bind_int(mvt, 3, stock);
            Texte(mvt, 4, date);
            b.Pas(mvt);
        }
    }
    // A few products of the other origins, sharing numbers with internal ones.
    for (int ext = 1; ext <= 2; ++ext)
        for (int p = 1; p <= 50; ++p) {
            sqlite3_bind_int(prod, 1, ext);
            sqlite3_bind_int(prod, 2, p);
            sqlite3_bind_int(prod, 3, 1 + p % 5);
            Texte(prod, 4, QByteArray("Article d'un autre catalogue"));
            Texte(prod, 5, QByteArray("AUT"));
            sqlite3_bind_double(prod, 6, 10);
            sqlite3_bind_double(prod, 7, 20);
            sqlite3_bind_double(prod, 8, 18);
            Texte(prod, 9, QStringLiteral("Produit externe %1-%2").arg(ext).arg(p).toUtf8());
            Texte(prod, 10, date);
            Texte(prod, 11, QByteArray("EXT"));
            Texte(prod, 12, QByteArray());
            sqlite3_bind_int(prod, 13, 10);
            sqlite3_bind_int(prod, 14, 2);
            b.Pas(prod);
        }
    sqlite3_finalize(prod);
    sqlite3_finalize(val);
    sqlite3_finalize(mvt);
    b.Exec("COMMIT");
}
