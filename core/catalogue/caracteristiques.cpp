#include "core/catalogue/caracteristiques.h"

#include "core/store/acces.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"

namespace {
TCaracteristiques Definition(const QSqlQuery& q)
{
    TCaracteristiques d;
    d.SetExterne(q.value(0).toInt());
    d.SetIdProduitCarac(q.value(1).toInt());
    d.SetLibelle(q.value(2).toString());
    d.SetUnite(q.value(3).toString());
    return d;
}
}  // namespace

QVector<TCaracteristiques> DefinitionsInternes(TdmKestravel& dm)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT Externe, IdProduitCarac, Libelle, Unite FROM ProduitTypeCarac"
                              " WHERE Externe = 0 ORDER BY IdProduitCarac");
    QVector<TCaracteristiques> r;
    while (Suivante(q))
        r.push_back(Definition(q));
    return r;
}

std::optional<TCaracteristiques> LireDefinition(TdmKestravel& dm, int externe, int idProduitCarac)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT Externe, IdProduitCarac, Libelle, Unite FROM ProduitTypeCarac"
                              " WHERE Externe = ? AND IdProduitCarac = ?",
                              {externe, idProduitCarac});
    if (!Suivante(q))
        return std::nullopt;
    return Definition(q);
}

bool DefinitionEnDouble(TdmKestravel& dm, const QString& libelle, const QString& unite)
{
    // SQL's upper() folds ASCII only: compare with the locale's rules here.
    const QString l = Majuscules(libelle), u = Majuscules(unite);
    QSqlQuery q = ExecuterSql(dm.Base(), "SELECT Libelle, Unite FROM ProduitTypeCarac");
    while (Suivante(q))
        if (Majuscules(q.value(0).toString()) == l && Majuscules(q.value(1).toString()) == u)
            return true;
    return false;
}

bool DefinitionUtilisee(TdmKestravel& dm, int externe, int idProduitCarac)
{
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "SELECT 1 FROM ProduitCarac WHERE ExterneProduitCaracV = ? AND IdCarac = ?"
                              " LIMIT 1",
                              {externe, idProduitCarac});
    return Suivante(q);
}

int AjouterDefinition(TdmKestravel& dm, const QString& libelle, const QString& unite)
{
    TTransaction t(dm);
    const int id = ProchainIdProduitCarac(dm);
    ExecuterSql(dm.Base(), "INSERT INTO ProduitTypeCarac (Externe, IdProduitCarac, Libelle, Unite) VALUES (0, ?, ?, ?)",
                {id, libelle, unite});
    t.Commit();
    return id;
}

void ModifierDefinition(TdmKestravel& dm, int externe, int idProduitCarac, const QString& libelle, const QString& unite)
{
    ExecuterSql(dm.Base(),
                "UPDATE ProduitTypeCarac SET Libelle = ?, Unite = ? WHERE Externe = ? AND IdProduitCarac = ?",
                {libelle, unite, externe, idProduitCarac});
}

void SupprimerDefinition(TdmKestravel& dm, int externe, int idProduitCarac)
{
    ExecuterSql(dm.Base(), "DELETE FROM ProduitTypeCarac WHERE Externe = ? AND IdProduitCarac = ?",
                {externe, idProduitCarac});
}
