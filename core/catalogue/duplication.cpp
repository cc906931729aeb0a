#include "core/catalogue/duplication.h"

#include "core/base/chemins.h"
#include "core/catalogue/categories.h"
#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dates.h"
#include "core/store/format.h"

#include <QDateTime>
#include <QFile>

QString LienCopie(int idProduit, const QString& lienSource)
{
    // Empty but not null: the column holds an empty text, not a missing one.
    const int point = lienSource.indexOf('.');
    return point < 0 ? QStringLiteral("") : QString::number(idProduit) + lienSource.mid(point);
}

int DupliquerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType)
{
    TTransaction transaction(dm);
    // Allocated inside the write transaction, so another process cannot take
    // the same number meanwhile.
    const int nouveau = ProchainIdProduit(dm);
    const std::optional<TProduit> source = LireProduit(dm, externe, idProduit, idProduitType);
    if (!source)
        return 0;
    ReserverCategorie(dm, source->GetExterne(), source->GetIdProduitType());
    const QString lien = LienCopie(nouveau, source->GetLien());
    const auto valeurs = ChargerCaracValeurs(dm, *source);

    ExecuterInstruction(
        dm.Connexion(),
        "INSERT INTO Produit (Externe, IdProduit, IdProduitType, Reference, CodeExport, Libelle,"
        " Description, DateCreation, Lien, PrixAchatHT, PrixTarifHT, PrixVenteHT)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {source->GetExterne(), nouveau, source->GetIdProduitType(), source->GetReference(), source->GetCodeExport(),
         source->GetLibelle(), source->GetDescription(), DateHeureBase(QDateTime(QDate::currentDate(), QTime(0, 0))),
         lien, ArrondiMontant(source->GetPrixAchatHT()), ArrondiMontant(source->GetPrixTarifHT()),
         ArrondiMontant(source->GetPrixVenteHT())});
    for (const TCaracValeurPtr& v : *valeurs)
        ExecuterInstruction(dm.Connexion(),
                            "INSERT INTO ProduitCarac (ExterneProduitCaracV, IdProduit, IdCarac, Valeur)"
                            " VALUES (0, ?, ?, ?)",
                            {nouveau, v->GetIdProduitCarac(), v->GetValeur()});
    transaction.Commit();

    // QFile::copy never replaces an existing file; FichierImage refuses any
    // name that could reach outside the images folder.
    const QString depuis = FichierImage(0, source->GetLien());
    const QString vers = FichierImage(0, lien);
    if (!depuis.isEmpty() && !vers.isEmpty())
        QFile::copy(depuis, vers);
    return nouveau;
}
