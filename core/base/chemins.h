#pragma once
// The host's administration folder and the product image folders under it.
// Every folder path ends with a separator.

#include <QString>

QString DossierAdministration();
// Stores the folder read from the settings file, adding the trailing
// separator (an empty value becomes a lone separator).
void SetDossierAdministration(const QString& dossier);

QString CheminImages();
QString CheminImagesInterne();
QString CheminImagesExterne();
QString CheminImagesStandard();
// Image folder of an origin (0, 1, 2); empty for any other origin.
QString CheminImagesOrigine(int externe);

// Creates the images folder, then the three origin folders, one level each;
// failures are silent.
void VerifierDossiersImages();

// True when `lien` is a plain file name: not empty, no separator, not "." or
// "..", not absolute. Only such a value is ever used to reach a file.
bool LienSur(const QString& lien);
// The text that names a product's image: origin folder + `Lien` (for another
// origin, `Lien` alone). Used where the path is only shown or sent.
QString TexteCheminImage(int externe, const QString& lien);
// The image file of a product, or an empty text when `Lien` is not a plain
// file name or the origin has no folder. Callers still check it exists.
QString FichierImage(int externe, const QString& lien);
