#include "core/catalogue/caracteristiques.h"

#include "core/store/acces.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

namespace {
TCaracteristiques Definition(const TInstructionSql& q)
{
    TCaracteristiques d;
    d.SetExterne(int(q.Entier(0)));
    d.SetIdProduitCarac(int(q.Entier(1)));
    d.SetLibelle(q.Texte(2));
    d.SetUnite(q.Texte(3));
    return d;
}
}  // namespace

QVector<TCaracteristiques> DefinitionsInternes(TdmKestravel& dm)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT Externe, IdProduitCarac, Libelle, Unite FROM ProduitTypeCarac"
                                   " WHERE Externe = 0 ORDER BY IdProduitCarac");
    QVector<TCaracteristiques> r;
    while (q.Etape())
        r.push_back(Definition(q));
    return r;
}

std::optional<TCaracteristiques> LireDefinition(TdmKestravel& dm, int externe, int idProduitCarac)
{
    TInstructionSql q = Interroger(dm.Connexion(),
                                   "SELECT Externe, IdProduitCarac, Libelle, Unite FROM ProduitTypeCarac"
                                   " WHERE Externe = ? AND IdProduitCarac = ?",
                                   {externe, idProduitCarac});
    if (!q.Etape())
        return std::nullopt;
    return Definition(q);
}

bool DefinitionEnDouble(TdmKestravel& dm, const QString& libelle, const QString& unite)
{
    // SQL's upper() folds ASCII only: compare with the locale's rules here.
    const QString l = Majuscules(libelle), u = Majuscules(unite);
    TInstructionSql q = Interroger(dm.Connexion(), "SELECT Libelle, Unite FROM ProduitTypeCarac");
    while (q.Etape())
        if (Majuscules(q.Texte(0)) == l && Majuscules(q.Texte(1)) == u)
            return true;
    return false;
}

bool DefinitionUtilisee(TdmKestravel& dm, int externe, int idProduitCarac)
{
    return Interroger(dm.Connexion(),
                      "SELECT 1 FROM ProduitCarac WHERE ExterneProduitCaracV = ? AND IdCarac = ?"
                      " LIMIT 1",
                      {externe, idProduitCarac})
        .Etape();
}

namespace {
const QString EnDouble = QStringLiteral("Cette caractéristique existe dèja");

void RefuserDouble(TdmKestravel& dm, const QString& libelle, const QString& unite)
{
    if (DefinitionEnDouble(dm, libelle, unite))
        throw ERefus(EnDouble);
}
}  // namespace

int AjouterDefinition(TdmKestravel& dm, const QString& libelle, const QString& unite)
{
    // The check, the number and the insert in one transaction: another
    // workstation cannot add the same definition or take the number between.
    TTransaction t(dm);
    RefuserDouble(dm, libelle, unite);
    const int id = ProchainIdProduitCarac(dm);
    ExecuterInstruction(dm.Connexion(),
                        "INSERT INTO ProduitTypeCarac (Externe, IdProduitCarac, Libelle, Unite) VALUES (0, ?, ?, ?)",
                        {id, libelle, unite});
    t.Commit();
    return id;
}

TIssueAccord ModifierDefinition(TdmKestravel& dm, const TCaracteristiques& lue, const QString& libelle,
                                const QString& unite)
{
    const QVariantList cle{lue.GetExterne(), lue.GetIdProduitCarac()};
    std::optional<TCaracteristiques> maintenant;
    return EcrireAvecAccord(
        dm,
        [&] {
            TInstructionSql q = Interroger(dm.Connexion(),
                                           QStringLiteral("SELECT Externe, IdProduitCarac, Libelle, Unite"
                                                          " FROM ProduitTypeCarac WHERE Externe = ?"
                                                          " AND IdProduitCarac = ?")
                                               + Dialecte::PourModifier(dm.Connexion()),
                                           cle);
            maintenant = q.Etape() ? std::optional(Definition(q)) : std::nullopt;
            return maintenant.has_value();
        },
        [&] {
            QVector<TConflit> r;
            NoterConflit(r, QStringLiteral("Le libellé"), lue.GetLibelle(), maintenant->GetLibelle(), libelle);
            NoterConflit(r, QStringLiteral("L'unité"), lue.GetUnite(), maintenant->GetUnite(), unite);
            return r;
        },
        [&] {
            // Only what the user changed; the other field stays as stored.
            const QString l = libelle != lue.GetLibelle() ? libelle : maintenant->GetLibelle();
            const QString u = unite != lue.GetUnite() ? unite : maintenant->GetUnite();
            if (l == maintenant->GetLibelle() && u == maintenant->GetUnite())
                return;
            RefuserDouble(dm, l, u);
            ExecuterInstruction(
                dm.Connexion(),
                "UPDATE ProduitTypeCarac SET Libelle = ?, Unite = ? WHERE Externe = ? AND IdProduitCarac = ?",
                QVariantList{l, u} + cle);
        });
}

void SupprimerDefinition(TdmKestravel& dm, int externe, int idProduitCarac)
{
    // A value given to a product by another workstation meanwhile is seen.
    TTransaction t(dm);
    Interroger(dm.Connexion(),
               QStringLiteral("SELECT 1 FROM ProduitTypeCarac WHERE Externe = ? AND IdProduitCarac = ?")
                   + Dialecte::PourModifier(dm.Connexion()),
               {externe, idProduitCarac})
        .Etape();
    if (DefinitionUtilisee(dm, externe, idProduitCarac))
        throw ERefus(QStringLiteral("Impossible de supprimer une caractéristique qui est déja affectée au produit"));
    ExecuterInstruction(dm.Connexion(), "DELETE FROM ProduitTypeCarac WHERE Externe = ? AND IdProduitCarac = ?",
                        {externe, idProduitCarac});
    t.Commit();
}
