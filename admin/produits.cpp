#include "admin/produits.h"

#include "app/chemins.h"
#include "app/prompts.h"
#include "store/acces.h"
#include "store/catalogue.h"
#include "store/erreurs.h"
#include "store/format.h"

#include <QFile>

QVector<TLigneProduit> LireProduitsCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT IdProduit, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock"
                              " FROM Produit"
                              " WHERE Externe = ? AND IdProduitType = ? ORDER BY IdProduit",
                              {externe, idProduitType});
    QVector<TLigneProduit> lignes;
    while (q.next()) {
        TLigneProduit l;
        l.externe = externe;
        l.idProduit = q.value(0).toInt();
        l.idProduitType = idProduitType;
        l.libelle = q.value(1).toString();
        l.reference = q.value(2).toString();
        l.prixTarifHT = q.value(3).toDouble();
        l.prixAchatHT = q.value(4).toDouble();
        l.prixVenteHT = q.value(5).toDouble();
        l.stock = q.value(6).toInt();
        lignes.push_back(l);
    }
    return lignes;
}

QStringList TextesProduit(const TLigneProduit& l)
{
    return {QString::number(l.externe),
            QString::number(l.idProduit),
            QString::number(l.idProduitType),
            l.libelle,
            l.reference,
            Montant(l.prixTarifHT),
            Montant(l.prixAchatHT),
            Montant(l.prixVenteHT),
            l.stock > 0 ? QString::number(l.stock) : QString()};
}

int ComparerTexteTri(const QString& a, const QString& b)
{
    const auto plier = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = plier(a[i].unicode());
        const char16_t y = plier(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool DeplacerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType, int cible)
{
    if (cible == 0) {
        Prompts().Information(QStringLiteral("Impossible de placer un produit dans la racine Interne"));
        return false;
    }
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "UPDATE Produit SET IdProduitType = ?"
                              " WHERE Externe = ? AND IdProduit = ? AND IdProduitType = ?",
                              {cible, externe, idProduit, idProduitType});
    return q.numRowsAffected() > 0;
}

bool SupprimerProduit(TdmKestravel& dm, int idProduit, int idProduitType)
{
    const std::optional<TProduit> produit = LireProduit(dm, 0, idProduit, idProduitType);
    if (!produit)
        return false;
    if (!Prompts().Confirmer(QStringLiteral("Vous voulez vraiment supprimer le produit?")))
        return false;
    {
        TTransaction transaction(dm);
        ExecuterSql(dm.Base(), "DELETE FROM Produit WHERE Externe = 0 AND IdProduit = ? AND IdProduitType = ?",
                    {idProduit, idProduitType});
        ExecuterSql(dm.Base(), "DELETE FROM ProduitCarac WHERE ExterneProduitCaracV = 0 AND IdProduit = ?",
                    {idProduit});
        transaction.Commit();
    }
    // The rows are gone for good: only now may the picture go too. A
    // picture that cannot be removed is left behind rather than reported.
    const QString image = FichierImage(0, produit->GetLien());
    if (!image.isEmpty() && QFile::exists(image))
        QFile::remove(image);
    return true;
}
