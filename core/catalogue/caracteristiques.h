#pragma once
// Characteristic definitions (`ProduitTypeCarac`) as the product windows
// maintain and assign them. Only internal (origin 0) definitions are listed
// and created; the duplicate check covers every origin.

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

// Creates an internal definition and returns its number.
int AjouterDefinition(TdmKestravel& dm, const QString& libelle, const QString& unite);
void ModifierDefinition(TdmKestravel& dm, int externe, int idProduitCarac, const QString& libelle,
                        const QString& unite);
void SupprimerDefinition(TdmKestravel& dm, int externe, int idProduitCarac);
