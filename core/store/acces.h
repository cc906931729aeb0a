#pragma once
// Keyed access to the catalogue, identifier allocation, stock movements,
// the write-transaction guard, and the two shapes of an ordinary statement.

#include "core/store/dmkestravel.h"

#include <QVariant>
#include <QVariantList>

// A statement prepared on `base` with the values bound from its first
// parameter on; each Etape() gives the next row.
TInstructionSql Interroger(const TBaseSql& base, const QString& sql, const QVariantList& valeurs = {});
// Runs a statement that returns no row with these values and gives the
// number of rows it wrote.
qint64 ExecuterInstruction(const TBaseSql& base, const QString& sql, const QVariantList& valeurs = {});

// Restricts the cursor to rows whose leading key fields equal the values (in
// the ordering's field order) and moves to the first; true when any row.
bool AppliquerPlage(TCurseur& curseur, const QVariantList& valeurs);
// Moves the cursor to the row whose key fields equal the values, inside its
// current range; true when found, otherwise the cursor stays where it was.
bool TrouverCle(TCurseur& curseur, const QVariantList& valeurs);

// Next free internal (origin 0) identifier: the highest one plus 1, 1 when
// none. Called inside the transaction that inserts the row, which keeps the
// number from every other process until it ends.
int ProchainIdProduit(TdmKestravel& dm);
int ProchainIdProduitType(TdmKestravel& dm);
int ProchainIdProduitCarac(TdmKestravel& dm);

// Fixed texts of stock movements.
inline const char* const LibelleAjout = "Ajout";
inline const char* const LibelleMisAJour = "Mis à jour";
inline const char* const LibellePassageCommande = "Passage en commande";
inline const char* const LibelleCommandeAnnulee = "Commande annulée";

// Appends one `Transaction` row dated now. `idProduitType` may be a null
// QVariant when the writer does not know the category.
void AjouterMouvementStock(const TBaseSql& base, int externe, int idProduit, const QVariant& idProduitType,
                           int quantiteOld, int quantiteNew, const QString& libelle);
// Same, for a movement with no former quantity (a null `quantiteOld` leaves
// `QuantiteOld` empty, as a new product's first stock does).
void AjouterMouvementStock(const TBaseSql& base, int externe, int idProduit, const QVariant& idProduitType,
                           const QVariant& quantiteOld, int quantiteNew, const QString& libelle);
// The statement behind them, for a writer of thousands of movements that
// prepares it once (a stock request): bound by LierMouvementStock.
inline const char* const InsertionMouvementStock =
    "INSERT INTO \"Transaction\" (Externe, IdProduit, IdProduitType, QuantiteOld, QuantiteNew, Libelle, DateMaj)"
    " VALUES (?, ?, ?, ?, ?, ?, ?)";
void LierMouvementStock(TInstructionSql& q, int externe, int idProduit, const QVariant& idProduitType,
                        const QVariant& quantiteOld, int quantiteNew, const QString& libelle);

// One write transaction on the catalogue (TTransactionSql): committed by
// Commit(), rolled back when it goes out of scope without it. Inside an open
// transaction it joins that one and leaves commit or rollback to its owner.
class TTransaction : public TTransactionSql {
public:
    explicit TTransaction(TdmKestravel& dm) : TTransactionSql(dm.Connexion()) {}
};
