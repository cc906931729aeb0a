#pragma once
// Copy of one product under a new product number: same category, texts,
// prices (rounded to the cent) and characteristic values, today's creation
// date, no stock values, and a copy of its image file.

#include <QString>

class TdmKestravel;

// The copy's `Lien`: the new number followed by the source's `Lien` from its
// first "." on; empty when the source has no ".".
QString LienCopie(int idProduit, const QString& lienSource);

// Duplicates the product with this key and returns the copy's `IdProduit`, or
// 0 when the key is not found (nothing is written then). The rows are written
// in one transaction; the image file is copied after it, never over an
// existing file, and only between plain file names of the internal images
// folder. A failed file copy is silent: the copy simply has no new image.
int DupliquerProduit(TdmKestravel& dm, int externe, int idProduit, int idProduitType);
