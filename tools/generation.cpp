#include "tools/generation.h"

#include "core/store/basesql.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"
#include "core/store/schema.h"

#include <QDateTime>

namespace {
// A text field; an empty one is stored empty, not null.
void Texte(TChargementSql& c, int i, const QByteArray& t)
{
    c.Ligne().LierTexte(i, QByteArrayView(t.constData(), t.size()));
}
}  // namespace

void GenererCatalogue(const QString& chemin, const TOptionsGeneration& o)
{
    CreerCatalogueVide(chemin);
    const TBaseSql b(chemin, TBaseSql::Acces::Ecriture, QStringLiteral("Ouverture du catalogue impossible."));
    b.Executer(Dialecte::SansSynchronisation);
    TTransactionSql transaction(b);

    TChargementSql cat(b, "INSERT INTO ProduitType VALUES (?, ?, ?, ?)");
    for (int i = 1; i <= o.categories; ++i) {
        // Ten top-level categories; every other one hangs under a lower number.
        const int parent = i <= 10 ? 0 : i / 10;
        cat.Ligne().LierEntier(1, 0);
        cat.Ligne().LierEntier(2, i);
        cat.Ligne().LierEntier(3, parent);
        Texte(cat, 4, QStringLiteral("Catégorie %1").arg(i, 5, 10, QLatin1Char('0')).toUtf8());
        cat.Ajouter();
    }
    // A few categories of the other origins.
    for (int ext = 1; ext <= 2; ++ext)
        for (int i = 1; i <= 5; ++i) {
            cat.Ligne().LierEntier(1, ext);
            cat.Ligne().LierEntier(2, i);
            cat.Ligne().LierEntier(3, 0);
            Texte(cat, 4, QStringLiteral("Catalogue %1 - rayon %2").arg(ext).arg(i).toUtf8());
            cat.Ajouter();
        }

    TChargementSql carac(b, "INSERT INTO ProduitTypeCarac VALUES (0, ?, ?, ?)");
    const char* libelles[] = {"Longueur", "Largeur", "Poids", "Couleur", "Matière"};
    const char* unites[] = {"mm", "mm", "g", "", ""};
    for (int i = 0; i < 5; ++i) {
        carac.Ligne().LierEntier(1, i + 1);
        Texte(carac, 2, libelles[i]);
        Texte(carac, 3, unites[i]);
        carac.Ajouter();
    }

    TChargementSql prod(
        b,
        QStringLiteral("INSERT INTO Produit (Externe, IdProduit, IdProduitType, Description, CodeExport, PrixAchatHT,"
                       " PrixTarifHT, PrixVenteHT, Libelle, DateCreation, Reference, Lien, Stock, StockMini)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    TChargementSql val(b, "INSERT INTO ProduitCarac VALUES (0, ?, ?, ?)");
    TChargementSql mvt(
        b,
        QStringLiteral(
            "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle,"
            " DateMaj) VALUES (0, ?, ?, 0, ?, 'Ajout', ?)"));
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
        prod.Ligne().LierEntier(1, 0);
        prod.Ligne().LierEntier(2, p);
        prod.Ligne().LierEntier(3, categorie);
        Texte(prod, 4, QStringLiteral("Article de démonstration n° %1\r\nUsage courant.").arg(p).toUtf8());
        Texte(prod, 5, QStringLiteral("EX%1").arg(p).toUtf8());
        prod.Ligne().LierReel(6, achat);
        prod.Ligne().LierReel(7, achat * 1.8);
        prod.Ligne().LierReel(8, achat * 1.6);
        Texte(prod, 9, QStringLiteral("Produit %1").arg(p, 7, 10, QLatin1Char('0')).toUtf8());
        Texte(prod, 10, date);
        Texte(prod, 11, QStringLiteral("R%1").arg(p % 100000000).toUtf8());
        Texte(prod, 12, (p % 10 == 0) ? QStringLiteral("%1.jpg").arg(p).toUtf8() : QByteArray());
        prod.Ligne().LierEntier(13, stock);
        prod.Ligne().LierEntier(14, 5);
        prod.Ajouter();
        if (p % 4 == 0) {
            val.Ligne().LierEntier(1, p);
            val.Ligne().LierEntier(2, 1 + int(p % 5));
            Texte(val, 3, QByteArray::number(p % 1000));
            val.Ajouter();
        }
        if (p % 8 == 0) {
            mvt.Ligne().LierEntier(1, p);
            mvt.Ligne().LierEntier(2, categorie);
            mvt.Ligne().LierEntier(3, stock);
            Texte(mvt, 4, date);
            mvt.Ajouter();
        }
    }
    // A few products of the other origins, sharing numbers with internal ones.
    for (int ext = 1; ext <= 2; ++ext)
        for (int p = 1; p <= 50; ++p) {
            prod.Ligne().LierEntier(1, ext);
            prod.Ligne().LierEntier(2, p);
            prod.Ligne().LierEntier(3, 1 + p % 5);
            Texte(prod, 4, QByteArray("Article d'un autre catalogue"));
            Texte(prod, 5, QByteArray("AUT"));
            prod.Ligne().LierReel(6, 10);
            prod.Ligne().LierReel(7, 20);
            prod.Ligne().LierReel(8, 18);
            Texte(prod, 9, QStringLiteral("Produit externe %1-%2").arg(ext).arg(p).toUtf8());
            Texte(prod, 10, date);
            Texte(prod, 11, QByteArray("EXT"));
            Texte(prod, 12, QByteArray());
            prod.Ligne().LierEntier(13, 10);
            prod.Ligne().LierEntier(14, 2);
            prod.Ajouter();
        }
    for (TChargementSql* c : {&cat, &carac, &prod, &val, &mvt})
        c->Terminer();
    transaction.Commit();
}
