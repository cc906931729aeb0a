#pragma once
// A code read by a barcode scanner in the "Rechercher" field: the products
// whose reference or export code is exactly that text, letter case aside.

#include "core/store/recherche.h"

// The products of the criterion's origin and categories (as a search) whose
// `Reference` or `CodeExport` equals `critere.texte`, letters A to Z in
// either case, blanks around the text ignored; by origin and number. Read
// through the indexes of indexannexes.h. An error is returned, not thrown.
TResultatRecherche ChercherCode(const TBaseSql& base, const TCritereRecherche& critere);
