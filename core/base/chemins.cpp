#include "core/base/chemins.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString& Administration()
{
    static QString dossier;
    return dossier;
}
const QChar Sep = QDir::separator();
}  // namespace

QString DossierAdministration() { return Administration(); }

void SetDossierAdministration(const QString& dossier)
{
    Administration() = dossier.endsWith(Sep) ? dossier : dossier + Sep;
}

QString CheminImages() { return DossierAdministration() + "Images" + Sep; }
QString CheminImagesInterne() { return CheminImages() + "Interne" + Sep; }
QString CheminImagesExterne() { return CheminImages() + "Externe" + Sep; }
QString CheminImagesStandard() { return CheminImages() + "Standard" + Sep; }

QString CheminImagesOrigine(int externe)
{
    switch (externe) {
        case 0:
            return CheminImagesInterne();
        case 1:
            return CheminImagesExterne();
        case 2:
            return CheminImagesStandard();
        default:
            return {};
    }
}

void VerifierDossiersImages()
{
    for (const QString& d : {CheminImages(), CheminImagesInterne(), CheminImagesExterne(), CheminImagesStandard()})
        if (!QFileInfo::exists(d))
            QDir().mkdir(d);
}

bool LienSur(const QString& lien)
{
    return !lien.isEmpty() && lien != "." && lien != ".." && !lien.contains('/') && !lien.contains('\\')
        && !QDir::isAbsolutePath(lien) && !(lien.size() >= 2 && lien[1] == ':');
}

QString TexteCheminImage(int externe, const QString& lien) { return CheminImagesOrigine(externe) + lien; }

QString FichierImage(int externe, const QString& lien)
{
    const QString dossier = CheminImagesOrigine(externe);
    if (dossier.isEmpty() || !LienSur(lien))
        return {};
    return dossier + lien;
}
