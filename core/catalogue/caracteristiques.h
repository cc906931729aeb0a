#pragma once
// Characteristic definitions (`ProduitTypeCarac`) as the product windows
// maintain and assign them. Only internal (origin 0) definitions are listed
// and created; the duplicate check covers every origin.

#include "core/catalogue/concurrence.h"
#include "core/store/dmkestravel.h"
#include "core/store/records.h"

#include <QVector>
#include <optional>

// Internal definitions by ascending number.
QVector<TCaracteristiques> DefinitionsInternes(TdmKestravel& dm);
std::optional<TCaracteristiques> LireDefinition(TdmKestravel& dm, int externe, int idProduitCarac);

// True when a definition of any origin has this label and unit, compared
// upper-cased by the locale's rules, without trimming.
bool DefinitionEnDouble(TdmKestravel& dm, const QString& libelle, const QString& unite);
// True when at least one saved product value refers to the definition.
bool DefinitionUtilisee(TdmKestravel& dm, int externe, int idProduitCarac);

// Creates an internal definition and returns its number; ERefus when one of
// that label and unit exists (checked inside the insert's transaction).
int AjouterDefinition(TdmKestravel& dm, const QString& libelle, const QString& unite);
// Writes the label and unit the user changed from `lue` (the definition as
// the window read it) over the row as stored now, asking when another
// workstation changed the same field meanwhile; ERefus when the result
// would double another definition.
TIssueAccord ModifierDefinition(TdmKestravel& dm, const TCaracteristiques& lue, const QString& libelle,
                                const QString& unite);
// ERefus when a product has a value of it (checked inside the delete's
// transaction).
void SupprimerDefinition(TdmKestravel& dm, int externe, int idProduitCarac);
