#include "core/exchange/synchronisation.h"

#include "core/base/chemins.h"
#include "core/store/dmkestravel.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
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
#include <sqlite3.h>

namespace {
const QChar Sep = QDir::separator();

class TConnexion {
public:
    TConnexion() = default;
    ~TConnexion() { sqlite3_close_v2(m_base); }
    TConnexion(const TConnexion&) = delete;
    TConnexion& operator=(const TConnexion&) = delete;

    // Opens `chemin` (an URI for file paths); throws with `quoi` in the message.
    void Ouvrir(const QString& chemin, int drapeaux, const QString& quoi)
    {
        const QByteArray u = chemin.toUtf8();
        if (sqlite3_open_v2(u.constData(), &m_base, drapeaux | SQLITE_OPEN_URI, nullptr) != SQLITE_OK)
            Erreur(quoi);
        sqlite3_busy_timeout(m_base, 10000);
    }
    sqlite3* Base() const { return m_base; }
    [[noreturn]] void Erreur(const QString& quoi) const
    {
        throw EDatabaseError(MessageSqlite(m_base, quoi + '.'));
    }
    void Executer(const QString& sql, const QString& quoi) const
    {
        if (sqlite3_exec(m_base, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            Erreur(quoi);
    }
    // Column names of a table, empty when it does not exist.
    QStringList Colonnes(const QString& table) const
    {
        QStringList r;
        sqlite3_stmt* st = nullptr;
        const QByteArray sql = QStringLiteral("PRAGMA main.table_info(\"%1\")").arg(table).toUtf8();
        if (sqlite3_prepare_v2(m_base, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
            Erreur(QStringLiteral("Lecture de la table %1 impossible").arg(table));
        while (sqlite3_step(st) == SQLITE_ROW)
            r << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        const int rc = sqlite3_finalize(st);
        if (rc != SQLITE_OK)
            Erreur(QStringLiteral("Lecture de la table %1 impossible").arg(table));
        return r;
    }

private:
    sqlite3* m_base = nullptr;
};

QString UriLecture(const QString& chemin)
{
    QUrl url = QUrl::fromLocalFile(chemin);
    url.setQuery("mode=ro");
    return url.toString(QUrl::FullyEncoded);
}

// The source must hold the five catalogue tables with every field this
// program uses; otherwise the shop would be left with a catalogue it cannot
// read.
void VerifierSource(const TConnexion& source, const QString& chemin)
{
    TConnexion modele;
    modele.Ouvrir(":memory:", SQLITE_OPEN_READWRITE, QStringLiteral("Base de travail"));
    for (const QString& sql : InstructionsSchema())
        modele.Executer(sql, QStringLiteral("Base de travail"));
    for (const QString& table : TablesCatalogue()) {
        const QStringList presentes = source.Colonnes(table);
        if (presentes.isEmpty())
            throw EDatabaseError(QStringLiteral("La base de données source « %1 » ne contient pas la table %2 ; "
                                                "le catalogue n'a pas été modifié.")
                                     .arg(chemin, table));
        for (const QString& colonne : modele.Colonnes(table))
            if (!presentes.contains(colonne, Qt::CaseInsensitive))
                throw EDatabaseError(QStringLiteral("Dans la base de données source « %1 », la table %2 n'a pas "
                                                    "de champ %3 ; le catalogue n'a pas été modifié.")
                                         .arg(chemin, table, colonne));
    }
}

// Replaces the whole content of `cible` with the source's in one write
// transaction of the engine: readers see the old catalogue or the new one.
int LireMode(void* mode, int, char** valeurs, char**)
{
    *static_cast<QString*>(mode) = QString::fromUtf8(valeurs[0]).toLower();
    return 0;
}

QString JournalMode(sqlite3* base, const char* mode)
{
    QString resultat;
    const QByteArray sql = mode ? QByteArray("PRAGMA journal_mode=") + mode : QByteArray("PRAGMA journal_mode");
    if (sqlite3_exec(base, sql.constData(), LireMode, &resultat, nullptr) != SQLITE_OK)
        return {};
    return resultat;
}

void Copier(const TConnexion& source, sqlite3* cible, const QString& cheminCible)
{
    // With a rollback journal the pages go once into the file, instead of
    // into the WAL and then into the file. Switching needs the catalogue to
    // ourselves: when another process has it open, the copy goes through the
    // WAL (just as safe, only slower), without waiting for it.
    sqlite3_busy_timeout(cible, 0);
    const bool journalSimple = JournalMode(cible, nullptr) == "wal" && JournalMode(cible, "DELETE") == "delete";
    sqlite3_busy_timeout(cible, 10000);
    struct TRetour {
        sqlite3* base;
        bool actif;
        ~TRetour()
        {
            if (actif)
                JournalMode(base, "WAL");
        }
    } retour{cible, journalSimple};

    sqlite3_backup* b = sqlite3_backup_init(cible, "main", source.Base(), "main");
    if (!b)
        throw EDatabaseError(
            MessageSqlite(cible, QStringLiteral("Copie du catalogue vers « %1 » impossible.").arg(cheminCible)));
    int rc;
    do {
        rc = sqlite3_backup_step(b, -1);
    } while (rc == SQLITE_OK);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw EDatabaseError(MessageSqlite(rc, QString::fromUtf8(sqlite3_errstr(rc)),
                                           QStringLiteral("Copie du catalogue vers « %1 » impossible ; le catalogue "
                                                          "n'a pas été modifié.")
                                               .arg(cheminCible)));
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
    const fs::path cheminCible(cible.toStdString());
    fs::path temporaire = cheminCible;
    temporaire += ".synchro";
    fs::copy_file(fs::path(source.toStdString()), temporaire, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::rename(temporaire, cheminCible, ec);
    if (ec)
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
    const QString texte = QStringLiteral("Synchronisation : l'image « %1 » n'a pas été copiée : c'est un lien vers "
                                         "« %2 », hors des dossiers d'images de la source.")
                              .arg(image, QFileInfo(image).canonicalFilePath());
    std::fprintf(stderr, "%s\n", texte.toLocal8Bit().constData());
}

// Copies the image of every product of the (new) catalogue.
void CopierImages(const TConnexion& source, const QString& racineSource, const QString& racineCible)
{
    const QHash<QString, QString> existantes = FichiersImages(racineSource);
    if (existantes.isEmpty())
        return;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(source.Base(),
                           "SELECT Lien, Externe FROM Produit WHERE Lien <> '' ORDER BY Externe, IdProduit, IdProduitType",
                           -1, &st, nullptr) != SQLITE_OK)
        source.Erreur(QStringLiteral("Lecture des produits impossible"));
    QSet<QString> dossiersPrets, refusees;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const QString lien = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        // Only a plain file name is used to reach a file, so a copied catalogue
        // cannot read or write outside the image folders.
        if (!LienSur(lien))
            continue;
        const int externe = sqlite3_column_int(st, 1);
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
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        source.Erreur(QStringLiteral("Lecture des produits impossible"));
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
    case 0: origine = QStringLiteral("Interne") + Sep; break;
    case 1: origine = QStringLiteral("Externe") + Sep; break;
    case 2: origine = QStringLiteral("Standard") + Sep; break;
    default: break;
    }
    return racine + "Administration" + Sep + "Images" + Sep + origine + lien;
}

void Synchroniser(TdmKestravel& dm, const QString& racineSource, const QString& racineCible)
{
    const QString baseSource = CheminBaseInstallation(racineSource);
    const QString baseCible = CheminBaseInstallation(racineCible);
    if (!QFileInfo(baseSource).isFile())
        throw EDatabaseError(QStringLiteral("La base de données source « %1 » est introuvable ; "
                                            "le catalogue n'a pas été modifié.")
                                 .arg(baseSource));
    const QString canonSource = QFileInfo(baseSource).canonicalFilePath();
    const QString canonCible = QFileInfo(baseCible).canonicalFilePath();
    if (canonSource == canonCible)
        throw EKestravel(QStringLiteral("La source et la cible de la synchronisation sont la même base « %1 ».")
                             .arg(baseSource));

    TConnexion source;
    source.Ouvrir(UriLecture(baseSource), SQLITE_OPEN_READONLY,
                  QStringLiteral("Impossible d'ouvrir la base de données source « %1 »").arg(baseSource));
    VerifierSource(source, baseSource);

    // In an installation the target is the program's own catalogue: it is
    // written through the data module's connection, whose cursors are closed
    // meanwhile. Another target file gets a connection of its own, and the
    // program's catalogue is then left alone.
    if (!canonCible.isEmpty() && canonCible == QFileInfo(dm.CheminBase()).canonicalFilePath()) {
        dm.DataModuleDestroy();
        try {
            Copier(source, dm.Handle(), baseCible);
            // Built afresh from the copied products by the next window that
            // searches: the source's index may not match its rows.
            SupprimerIndexRecherche(dm.Handle());
        } catch (...) {
            dm.DataModuleCreate();
            throw;
        }
        dm.DataModuleCreate();
    } else {
        TConnexion cible;
        cible.Ouvrir(QUrl::fromLocalFile(baseCible).toString(QUrl::FullyEncoded),
                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                     QStringLiteral("Impossible d'ouvrir la base de données cible « %1 »").arg(baseCible));
        Copier(source, cible.Base(), baseCible);
        SupprimerIndexRecherche(cible.Base());
    }
    CopierImages(source, racineSource, racineCible);
}
