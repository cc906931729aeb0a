#pragma once
// Synchronisation (`SYNCHRO` mode): the catalogue of another installation of
// the suite replaces this one's, and its product images are copied along.

#include <QString>

class TdmKestravel;

// Database and image paths under an installation root. The root is joined by
// plain concatenation, so it must end with a separator.
QString CheminBaseInstallation(const QString& racine);
QString CheminImageInstallation(const QString& racine, int externe, const QString& lien);

// Copies the catalogue of `racineSource` into the database of `racineCible`
// (the data module's own file in an installation), then the images of every
// product. The source is checked (it opens and holds the five tables with
// their fields) before anything local is touched, and the copy replaces the
// target catalogue in one step, so a failure leaves the old one whole.
// Throws EDatabaseError/EKestravel. Image copy failures are ignored; an image
// that is a symbolic link to a file outside the source's image folders is not
// copied, which is said on standard error.
void Synchroniser(TdmKestravel& dm, const QString& racineSource, const QString& racineCible);
