#include "core/catalogue/categories.h"

#include "core/catalogue/concurrence.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

namespace {
// `IdParent` as the checks read it: empty or negative is the root. The cast
// reads a value the host left as text the way it always has.
const QString ParentLu = QStringLiteral(
    "CASE WHEN CAST(COALESCE(IdParent, 0) AS INTEGER) > 0 THEN CAST(COALESCE(IdParent, 0) AS INTEGER) ELSE 0 END");

// Whether the query (its values bound in order) gives any row.
bool Existe(TdmKestravel& dm, const QString& sql, const QVariantList& valeurs)
{
    return Interroger(dm.Connexion(), sql + " LIMIT 1", valeurs).Etape();
}
}  // namespace

std::optional<QString> LibelleCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    TInstructionSql q =
        Interroger(dm.Connexion(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                   {externe, idProduitType});
    if (!q.Etape())
        return std::nullopt;
    return q.Texte(0);
}

void ValiderLibelleCategorie(TdmKestravel& dm, int externe, int idParent, const QString& libelle)
{
    if (libelle.isEmpty())
        throw ERefus(QStringLiteral("Le nom de la catégorie du produit ne doit pas être vide"));
    TInstructionSql q =
        Interroger(dm.Connexion(), "SELECT Libelle FROM ProduitType WHERE Externe = ? AND " + ParentLu + " = ?",
                   {externe, idParent});
    const QString cherche = Majuscules(libelle);
    while (q.Etape()) {
        if (Majuscules(q.Texte(0)) == cherche)
            throw ERefus(QStringLiteral("Le nom du type de produit existe déjà dans cette catégorie"));
    }
}

int AjouterCategorie(TdmKestravel& dm, const TObjectNoeud& parent, const QString& libelle)
{
    // Check, allocation and insert in one write transaction: another user of
    // the catalogue cannot take the label or the number in between.
    TTransaction transaction(dm);
    ValiderLibelleCategorie(dm, parent.GetExterne(), parent.GetIdProduitType(), libelle);
    const int id = ProchainIdProduitType(dm);
    const int idParent = parent.GetIdProduitType();
    ExecuterInstruction(dm.Connexion(),
                        "INSERT INTO ProduitType (Externe, IdProduitType, IdParent, Libelle) VALUES (0, ?, ?, ?)",
                        {id, idParent != 0 ? QVariant(idParent) : QVariant(), libelle});
    transaction.Commit();
    return id;
}

TIssueAccord RenommerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie, const QString& libelleLu,
                               const QString& libelle)
{
    const QVariantList cle{categorie.GetExterne(), categorie.GetIdProduitType()};
    QString maintenant;
    int idParent = 0;
    return EcrireAvecAccord(
        dm,
        [&] {
            TInstructionSql q = Interroger(dm.Connexion(),
                                           "SELECT " + ParentLu + ", Libelle FROM ProduitType"
                                                                  " WHERE Externe = ? AND IdProduitType = ?"
                                               + Dialecte::PourModifier(dm.Connexion()),
                                           cle);
            if (!q.Etape())
                return false;
            idParent = int(q.Entier(0));
            maintenant = q.Texte(1);
            return true;
        },
        [&] {
            QVector<TConflit> r;
            NoterConflit(r, QStringLiteral("Le nom de la catégorie"), libelleLu, maintenant, libelle);
            return r;
        },
        [&] {
            ValiderLibelleCategorie(dm, categorie.GetExterne(), idParent, libelle);
            ExecuterInstruction(dm.Connexion(),
                                "UPDATE ProduitType SET Libelle = ? WHERE Externe = ? AND IdProduitType = ?",
                                QVariantList{libelle} + cle);
        });
}

std::optional<int> SupprimerCategorie(TdmKestravel& dm, const TObjectNoeud& categorie)
{
    const int externe = categorie.GetExterne();
    const int id = categorie.GetIdProduitType();
    // Checks and delete in one write transaction, the row locked: a product
    // put in the category by another workstation meanwhile is seen (on a
    // server, its insert waits for the lock, or the delete waits for it).
    TTransaction transaction(dm);
    // The category row itself: the first one with this number in key order,
    // that is the internal one.
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT Externe, " + ParentLu + " FROM ProduitType WHERE IdProduitType = ?"
                                   " ORDER BY Externe LIMIT 1" + Dialecte::PourModifier(dm.Connexion()),
                                   {id});
    const bool existe = q.Etape();
    const int externeLigne = existe ? int(q.Entier(0)) : 0;
    const int idParent = existe ? int(q.Entier(1)) : 0;
    if (Existe(dm, "SELECT 1 FROM ProduitType WHERE Externe = ? AND IdParent = ?", {externe, id}))
        throw ERefus(QStringLiteral("Impossible de supprimer une catégorie qui contient des catégories de produit"));
    if (!existe)
        return std::nullopt;
    if (Existe(dm, "SELECT 1 FROM Produit WHERE Externe = 0 AND IdProduitType = ?", {id}))
        throw ERefus(QStringLiteral("Impossible de supprimer une catégorie qui contient des produits"));
    ExecuterInstruction(dm.Connexion(), "DELETE FROM ProduitType WHERE Externe = ? AND IdProduitType = ?",
                        {externeLigne, id});
    transaction.Commit();
    return idParent;
}

void ReserverCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    Interroger(dm.Connexion(),
               "SELECT 1 FROM ProduitType WHERE Externe = ? AND IdProduitType = ?"
                   + QString::fromLatin1(Dialecte::PourPartager(dm.Connexion())),
               {externe, idProduitType})
        .Etape();
}
