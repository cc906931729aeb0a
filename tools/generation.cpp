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

// Ten top-level categories, every other one under a lower number; then a
// few categories of the other origins.
void GenererCategories(const TBaseSql& b, int nombre)
{
    TChargementSql cat(b, "INSERT INTO ProduitType VALUES (?, ?, ?, ?)");
    for (int i = 1; i <= nombre; ++i) {
        cat.Ligne().LierEntier(1, 0);
        cat.Ligne().LierEntier(2, i);
        cat.Ligne().LierEntier(3, i <= 10 ? 0 : i / 10);
        Texte(cat, 4, QStringLiteral("Catégorie %1").arg(i, 5, 10, QLatin1Char('0')).toUtf8());
        cat.Ajouter();
    }
    for (int ext = 1; ext <= 2; ++ext)
        for (int i = 1; i <= 5; ++i) {
            cat.Ligne().LierEntier(1, ext);
            cat.Ligne().LierEntier(2, i);
            cat.Ligne().LierEntier(3, 0);
            Texte(cat, 4, QStringLiteral("Catalogue %1 - rayon %2").arg(ext).arg(i).toUtf8());
            cat.Ajouter();
        }
    cat.Terminer();
}

void GenererCaracteristiques(const TBaseSql& b)
{
    TChargementSql carac(b, "INSERT INTO ProduitTypeCarac VALUES (0, ?, ?, ?)");
    const char* libelles[] = {"Longueur", "Largeur", "Poids", "Couleur", "Matière"};
    const char* unites[] = {"mm", "mm", "g", "", ""};
    for (int i = 0; i < 5; ++i) {
        carac.Ligne().LierEntier(1, i + 1);
        Texte(carac, 2, libelles[i]);
        Texte(carac, 3, unites[i]);
        carac.Ajouter();
    }
    carac.Terminer();
}

// One row of Produit, in the columns' order.
struct TProduitGenere {
    int externe;
    qint64 id;
    int categorie;
    QByteArray description, code;
    double achat, tarif, vente;
    QByteArray libelle, reference, lien;
    int stock, stockMini;
};

void AjouterProduit(TChargementSql& c, const TProduitGenere& p, const QByteArray& date)
{
    c.Ligne().LierEntier(1, p.externe);
    c.Ligne().LierEntier(2, p.id);
    c.Ligne().LierEntier(3, p.categorie);
    Texte(c, 4, p.description);
    Texte(c, 5, p.code);
    c.Ligne().LierReel(6, p.achat);
    c.Ligne().LierReel(7, p.tarif);
    c.Ligne().LierReel(8, p.vente);
    Texte(c, 9, p.libelle);
    Texte(c, 10, date);
    Texte(c, 11, p.reference);
    Texte(c, 12, p.lien);
    c.Ligne().LierEntier(13, p.stock);
    c.Ligne().LierEntier(14, p.stockMini);
    c.Ajouter();
}

// The category of internal product `p`: round robin, or, with a large
// category, the first products in category 1 and the rest round robin over
// the others.
int CategorieDe(qint64 p, const TOptionsGeneration& o)
{
    const int autres = o.grosseCategorie > 0 ? std::max(1, o.categories - 1) : o.categories;
    const int categorie = o.grosseCategorie > 0
        ? (p <= o.grosseCategorie ? 1 : 2 + int((p - o.grosseCategorie - 1) % autres))
        : 1 + int((p - 1) % o.categories);
    return std::min(categorie, o.categories);
}

TProduitGenere ProduitInterne(qint64 p, int categorie)
{
    const double achat = 1.0 + double(p % 5000) / 7.0;
    return {0,
            p,
            categorie,
            QStringLiteral("Article de démonstration n° %1\r\nUsage courant.").arg(p).toUtf8(),
            QStringLiteral("EX%1").arg(p).toUtf8(),
            achat,
            achat * 1.8,
            achat * 1.6,
            QStringLiteral("Produit %1").arg(p, 7, 10, QLatin1Char('0')).toUtf8(),
            QStringLiteral("R%1").arg(p % 100000000).toUtf8(),
            (p % 10 == 0) ? QStringLiteral("%1.jpg").arg(p).toUtf8() : QByteArray(),
            int(p % 37) - 3,
            5};
}

// The internal products, with a characteristic value every fourth one and
// a stock movement every eighth; then a few products of the other origins,
// sharing numbers with internal ones.
void GenererProduits(const TBaseSql& b, const TOptionsGeneration& o)
{
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
    for (qint64 p = 1; p <= o.produits; ++p) {
        const TProduitGenere produit = ProduitInterne(p, CategorieDe(p, o));
        AjouterProduit(prod, produit, date);
        if (p % 4 == 0) {
            val.Ligne().LierEntier(1, p);
            val.Ligne().LierEntier(2, 1 + int(p % 5));
            Texte(val, 3, QByteArray::number(p % 1000));
            val.Ajouter();
        }
        if (p % 8 == 0) {
            mvt.Ligne().LierEntier(1, p);
            mvt.Ligne().LierEntier(2, produit.categorie);
            mvt.Ligne().LierEntier(3, produit.stock);
            Texte(mvt, 4, date);
            mvt.Ajouter();
        }
    }
    for (int ext = 1; ext <= 2; ++ext)
        for (int p = 1; p <= 50; ++p)
            AjouterProduit(prod,
                           {ext, p, 1 + p % 5, "Article d'un autre catalogue", "AUT", 10, 20, 18,
                            QStringLiteral("Produit externe %1-%2").arg(ext).arg(p).toUtf8(), "EXT", QByteArray(), 10,
                            2},
                           date);
    for (TChargementSql* c : {&prod, &val, &mvt})
        c->Terminer();
}
}  // namespace

void GenererCatalogue(const QString& chemin, const TOptionsGeneration& o)
{
    CreerCatalogueVide(chemin);
    const TBaseSql b(chemin, TBaseSql::Acces::Ecriture, QStringLiteral("Ouverture du catalogue impossible."));
    b.Executer(Dialecte::SansSynchronisation);
    TTransactionSql transaction(b);
    GenererCategories(b, o.categories);
    GenererCaracteristiques(b);
    GenererProduits(b, o);
    transaction.Commit();
}
