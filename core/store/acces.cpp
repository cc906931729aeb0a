#include "core/store/acces.h"

#include "core/store/basesql.h"
#include "core/store/dates.h"
#include "core/store/dialecte.h"

#include <QDateTime>

namespace {
// A key value is given as text to a text field and as an integer to an
// integer field; fields of other types take no value.
QVariantList ValeursCle(const TCurseur& c, const QVariantList& valeurs)
{
    QVariantList r;
    int v = 0;
    for (int i = 0; i < c.Cles().size() && v < valeurs.size(); ++i) {
        switch (c.Genre(i)) {
            case TCurseur::GenreCle::Entier:
                r << valeurs[v++].toLongLong();
                break;
            case TCurseur::GenreCle::Texte:
                r << valeurs[v++].toString();
                break;
            case TCurseur::GenreCle::Autre:
                return r;
        }
    }
    return r;
}

int ProchainIdentifiant(TdmKestravel& dm, TCurseur& c, const QString& table, const QString& champ)
{
    // Read and used inside the inserting transaction: the number is taken by
    // the insert before anyone else can read the same highest one.
    Q_ASSERT(dm.Connexion().EnTransaction());
    c.CancelRange();
    Dialecte::ReserverNumeros(dm.Connexion(), table);
    // Unquoted: a server folds the names of these tables as it created them.
    TInstructionSql q =
        Interroger(dm.Connexion(), QStringLiteral("SELECT MAX(%1) FROM %2 WHERE Externe = 0").arg(champ, table));
    return (q.Etape() && !q.EstNul(0)) ? int(q.Entier(0)) + 1 : 1;
}
}  // namespace

TInstructionSql Interroger(const TBaseSql& base, const QString& sql, const QVariantList& valeurs)
{
    TInstructionSql q(base, sql);
    q.Lier(valeurs);
    return q;
}

qint64 ExecuterInstruction(const TBaseSql& base, const QString& sql, const QVariantList& valeurs)
{
    Interroger(base, sql, valeurs).Executer();
    return base.LignesModifiees();
}

bool AppliquerPlage(TCurseur& curseur, const QVariantList& valeurs)
{
    curseur.CancelRange();
    curseur.SetRange(ValeursCle(curseur, valeurs));
    return !curseur.Eof();
}

bool TrouverCle(TCurseur& curseur, const QVariantList& valeurs)
{
    return curseur.FindKey(ValeursCle(curseur, valeurs));
}

int ProchainIdProduit(TdmKestravel& dm) { return ProchainIdentifiant(dm, dm.tblProduit, "Produit", "IdProduit"); }

int ProchainIdProduitType(TdmKestravel& dm)
{
    return ProchainIdentifiant(dm, dm.tblProduitType, "ProduitType", "IdProduitType");
}

int ProchainIdProduitCarac(TdmKestravel& dm)
{
    return ProchainIdentifiant(dm, dm.tblProduitTypeCarac, "ProduitTypeCarac", "IdProduitCarac");
}

void AjouterMouvementStock(const TBaseSql& base, int externe, int idProduit, const QVariant& idProduitType,
                           int quantiteOld, int quantiteNew, const QString& libelle)
{
    AjouterMouvementStock(base, externe, idProduit, idProduitType, QVariant(quantiteOld), quantiteNew, libelle);
}

void AjouterMouvementStock(const TBaseSql& base, int externe, int idProduit, const QVariant& idProduitType,
                           const QVariant& quantiteOld, int quantiteNew, const QString& libelle)
{
    TInstructionSql q(base, QByteArrayView(InsertionMouvementStock));
    LierMouvementStock(q, externe, idProduit, idProduitType, quantiteOld, quantiteNew, libelle);
    q.Executer();
}

void LierMouvementStock(TInstructionSql& q, int externe, int idProduit, const QVariant& idProduitType,
                        const QVariant& quantiteOld, int quantiteNew, const QString& libelle)
{
    q.Lier({externe, idProduit, idProduitType.isNull() ? QVariant() : QVariant(idProduitType.toInt()),
            quantiteOld.isNull() ? QVariant() : QVariant(quantiteOld.toInt()), quantiteNew, libelle,
            DateHeureBase(QDateTime::currentDateTime())});
}
