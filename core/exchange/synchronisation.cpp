#include "core/exchange/synchronisation.h"

#include "core/base/chemins.h"
#include "core/base/emplacement.h"
#include "core/base/systeme.h"
#include "core/store/dialecte.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/libpq.h"
#include "core/store/recherche.h"
#include "core/store/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {
const QChar Sep = QDir::separator();

QString UriLecture(const QString& chemin)
{
    QUrl url = QUrl::fromLocalFile(chemin);
    url.setQuery("mode=ro");
    return url.toString(QUrl::FullyEncoded);
}

// The source must hold the five catalogue tables with every field this
// program uses; otherwise the shop would be left with a catalogue it cannot
// read.
void VerifierSource(const TBaseSql& source, const QString& chemin)
{
    for (const QString& table : TablesCatalogue()) {
        QStringList presentes;
        for (const TBaseSql::TColonne& c : source.Colonnes(table))
            presentes << c.nom;
        if (presentes.isEmpty())
            throw EDatabaseError(QStringLiteral("La base de données source « %1 » ne contient pas la table %2 ; "
                                                "le catalogue n'a pas été modifié.")
                                     .arg(chemin, table));
        for (const QString& colonne : ColonnesCatalogue(table))
            if (!presentes.contains(colonne, Qt::CaseInsensitive))
                throw EDatabaseError(QStringLiteral("Dans la base de données source « %1 », la table %2 n'a pas "
                                                    "de champ %3 ; le catalogue n'a pas été modifié.")
                                         .arg(chemin, table, colonne));
    }
}

// Replaces the whole content of `cible` with the source's in one write
// transaction: readers see the old catalogue or the new one. Between two
// files the engine copies its pages; with a server on either side the five
// tables' rows are copied.
void Copier(const TBaseSql& source, const TBaseSql& cible, const QString& nomCible)
{
    const QString contexte =
        QStringLiteral("Copie du catalogue vers « %1 » impossible ; le catalogue n'a pas été modifié.").arg(nomCible);
    if (!source.SurServeur() && !cible.SurServeur()) {
        Dialecte::CopierBase(source, cible, contexte);
        return;
    }
    try {
        TTransactionSql transaction(cible);
        RemplacerTables(source, cible);
        transaction.Commit();
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(contexte + '\n' + e.Message());
    }
}

// The search index is the file's own: built afresh from the copied products
// by the next window that searches (the source's may not match its rows).
void OublierIndex(const TBaseSql& cible)
{
    if (!cible.SurServeur())
        SupprimerIndexRecherche(cible);
}

// A server's catalogue, as messages name it.
QString NomCatalogue(const TEmplacementCatalogue& e)
{
    return e.SurServeur() ? QStringLiteral("serveur %1").arg(NomServeur(e.serveur)) : e.fichier;
}

// An image on its way: ".NAME.kestravel-synchro" beside it, a name no user
// file has, so that what a killed run left is known for the module's own.
const QString SuffixeImageEnCours = QStringLiteral(".kestravel-synchro");

QString ImageEnCours(const QFileInfo& cible)
{
    return cible.absolutePath() + Sep + '.' + cible.fileName() + SuffixeImageEnCours;
}

// Removes the images on their way that an earlier run, ended before
// renaming them, left in the folder.
void SupprimerImagesEnCours(const QString& dossier)
{
    const QDir d(dossier);
    for (const QString& nom : d.entryList({'.' + QStringLiteral("*") + SuffixeImageEnCours}, QDir::Files | QDir::Hidden))
        QFile::remove(d.filePath(nom));
}

// Copies one image over any file of the same name; a failure is ignored, the
// target keeps its old file.
void CopierImage(const QString& source, const QString& cible, QSet<QString>& dossiersPrets)
{
    const QFileInfo infoCible(cible);
    const QString dossier = infoCible.absolutePath();
    if (!dossiersPrets.contains(dossier)) {
        QDir().mkpath(dossier);
        dossiersPrets.insert(dossier);
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const QString enCours = ImageEnCours(infoCible);
    const fs::path temporaire(QFile::encodeName(enCours).toStdString());
    fs::copy_file(fs::path(source.toStdString()), temporaire, fs::copy_options::overwrite_existing, ec);
    if (ec || Systeme::Renommer(enCours, cible, Systeme::Vidage::Differe) != 0)
        fs::remove(temporaire, ec);
}

// The image files of the source's image folders, listed once rather than
// tested product by product: each listed path with the file to copy from.
// A symbolic link is followed only to a file inside one of those folders
// (a link elsewhere would hand the target any file this process can read);
// any other link maps to an empty path.
QHash<QString, QString> FichiersImages(const QString& racine)
{
    QStringList dossiers, racines;
    for (int externe : {0, 1, 2, 3}) {
        const QString dossier = CheminImageInstallation(racine, externe, QString());
        const QString canonique = QFileInfo(dossier).canonicalFilePath();
        dossiers << dossier;
        if (!canonique.isEmpty())
            racines << canonique + Sep;
    }
    auto dedans = [&](const QString& chemin) {
        return std::any_of(racines.begin(), racines.end(), [&](const QString& r) { return chemin.startsWith(r); });
    };
    QHash<QString, QString> fichiers;
    for (const QString& dossier : std::as_const(dossiers)) {
        for (const QString& nom : QDir(dossier).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            const QFileInfo info(dossier + nom);
            if (!info.isFile())
                continue;
            if (!info.isSymLink()) {
                fichiers.insert(dossier + nom, dossier + nom);
                continue;
            }
            const QString cible = info.canonicalFilePath();
            fichiers.insert(dossier + nom, dedans(cible) ? cible : QString());
        }
    }
    return fichiers;
}

void SignalerLienRefuse(const QString& image)
{
    const QString texte = QStringLiteral(
                              "Synchronisation : l'image « %1 » n'a pas été copiée : c'est un lien vers "
                              "« %2 », hors des dossiers d'images de la source.")
                              .arg(image, QFileInfo(image).canonicalFilePath());
    std::fprintf(stderr, "%s\n", texte.toLocal8Bit().constData());
}

// Copies the image of every product of the (new) catalogue.
void CopierImages(const TBaseSql& source, const QString& racineSource, const QString& racineCible)
{
    for (int externe : {0, 1, 2, 3})
        SupprimerImagesEnCours(CheminImageInstallation(racineCible, externe, QString()));
    const QHash<QString, QString> existantes = FichiersImages(racineSource);
    if (existantes.isEmpty())
        return;
    TInstructionSql st(source,
                       QByteArrayView("SELECT Lien, Externe FROM Produit WHERE Lien <> ''"
                                      " ORDER BY Externe, IdProduit, IdProduitType"),
                       QStringLiteral("Lecture des produits impossible."));
    QSet<QString> dossiersPrets, refusees;
    while (st.Etape()) {
        const QString lien = st.Texte(0);
        // Only a plain file name is used to reach a file, so a copied catalogue
        // cannot read or write outside the image folders.
        if (!LienSur(lien))
            continue;
        const int externe = int(st.Entier(1));
        const QString de = CheminImageInstallation(racineSource, externe, lien);
        const auto fichier = existantes.constFind(de);
        if (fichier == existantes.constEnd())
            continue;
        if (!fichier->isEmpty()) {
            // From the file checked, not through the link again.
            CopierImage(*fichier, CheminImageInstallation(racineCible, externe, lien), dossiersPrets);
        } else if (!refusees.contains(de)) {
            refusees.insert(de);
            SignalerLienRefuse(de);
        }
    }
}
}  // namespace

QString CheminBaseInstallation(const QString& racine)
{
    return racine + "Modules" + Sep + "Kestravel" + Sep + "Kestravel.abs";
}

QString CheminImageInstallation(const QString& racine, int externe, const QString& lien)
{
    QString origine;
    switch (externe) {
        case 0:
            origine = QStringLiteral("Interne") + Sep;
            break;
        case 1:
            origine = QStringLiteral("Externe") + Sep;
            break;
        case 2:
            origine = QStringLiteral("Standard") + Sep;
            break;
        default:
            break;
    }
    return racine + "Administration" + Sep + "Images" + Sep + origine + lien;
}

namespace {
// The source catalogue, read-only, checked to be one.
TBaseSql OuvrirSource(const TEmplacementCatalogue& source, const QString& baseSource)
{
    const QString ouverture = QStringLiteral("Impossible d'ouvrir la base de données source « %1 ».");
    TBaseSql baseLue;
    try {
        baseLue = source.SurServeur()
            ? TBaseSql::Serveur(source.serveur)
            : TBaseSql(UriLecture(baseSource), TBaseSql::Acces::Lecture, ouverture.arg(baseSource));
    } catch (const EDatabaseError& e) {
        if (!source.SurServeur())
            throw;
        throw EDatabaseError(ouverture.arg(NomCatalogue(source)) + '\n' + e.Message());
    }
    VerifierSource(baseLue, NomCatalogue(source));
    return baseLue;
}

// In an installation the target is the program's own catalogue: it is
// written through the data module's connection, whose cursors are closed
// meanwhile. Another target gets a connection of its own, and the
// program's catalogue is then left alone.
void RemplacerCible(TdmKestravel& dm, const TBaseSql& baseLue, const TEmplacementCatalogue& cible,
                    const QString& baseCible)
{
    const QString canonCible = QFileInfo(baseCible).canonicalFilePath();
    const bool catalogueDuProgramme = cible.SurServeur()
        ? cible.serveur == dm.ConnexionServeur()
        : !canonCible.isEmpty() && canonCible == QFileInfo(dm.CheminBase()).canonicalFilePath();
    if (catalogueDuProgramme) {
        dm.DataModuleDestroy();
        try {
            Copier(baseLue, dm.Connexion(), NomCatalogue(cible));
            OublierIndex(dm.Connexion());
        } catch (...) {
            dm.DataModuleCreate();
            throw;
        }
        dm.DataModuleCreate();
    } else {
        const TBaseSql autre = cible.SurServeur()
            ? TBaseSql::Serveur(cible.serveur)
            : TBaseSql(QUrl::fromLocalFile(baseCible).toString(QUrl::FullyEncoded), TBaseSql::Acces::Creation,
                       QStringLiteral("Impossible d'ouvrir la base de données cible « %1 ».").arg(baseCible));
        Copier(baseLue, autre, NomCatalogue(cible));
        OublierIndex(autre);
    }
}
}  // namespace

void Synchroniser(TdmKestravel& dm, const QString& racineSource, const QString& racineCible)
{
    // Each installation names its catalogue as the program does: its
    // Kestravel.conf, else its file.
    const QString baseSource = CheminBaseInstallation(racineSource);
    const QString baseCible = CheminBaseInstallation(racineCible);
    const TEmplacementCatalogue source = EmplacementCatalogue(QFileInfo(baseSource).path());
    const TEmplacementCatalogue cible = EmplacementCatalogue(QFileInfo(baseCible).path());
    if (!source.SurServeur() && !QFileInfo(baseSource).isFile())
        throw EDatabaseError(QStringLiteral("La base de données source « %1 » est introuvable ; "
                                            "le catalogue n'a pas été modifié.")
                                 .arg(baseSource));
    const QString canonSource = QFileInfo(baseSource).canonicalFilePath();
    const QString canonCible = QFileInfo(baseCible).canonicalFilePath();
    if (source.SurServeur() ? source.serveur == cible.serveur : (!cible.SurServeur() && canonSource == canonCible))
        throw EKestravel(QStringLiteral("La source et la cible de la synchronisation sont la même base « %1 ».")
                             .arg(NomCatalogue(source)));

    const TBaseSql baseLue = OuvrirSource(source, baseSource);
    RemplacerCible(dm, baseLue, cible, baseCible);
    CopierImages(baseLue, racineSource, racineCible);
}
