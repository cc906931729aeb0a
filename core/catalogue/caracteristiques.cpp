#include "core/catalogue/caracteristiques.h"

#include "core/store/acces.h"
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

int AjouterDefinition(TdmKestravel& dm, const QString& libelle, const QString& unite)
{
    TTransaction t(dm);
    const int id = ProchainIdProduitCarac(dm);
    ExecuterInstruction(dm.Connexion(),
                        "INSERT INTO ProduitTypeCarac (Externe, IdProduitCarac, Libelle, Unite) VALUES (0, ?, ?, ?)",
                        {id, libelle, unite});
    t.Commit();
    return id;
}

void ModifierDefinition(TdmKestravel& dm, int externe, int idProduitCarac, const QString& libelle, const QString& unite)
{
    ExecuterInstruction(dm.Connexion(),
                        "UPDATE ProduitTypeCarac SET Libelle = ?, Unite = ? WHERE Externe = ? AND IdProduitCarac = ?",
                        {libelle, unite, externe, idProduitCarac});
}

void SupprimerDefinition(TdmKestravel& dm, int externe, int idProduitCarac)
{
    ExecuterInstruction(dm.Connexion(), "DELETE FROM ProduitTypeCarac WHERE Externe = ? AND IdProduitCarac = ?",
                        {externe, idProduitCarac});
}
