#include "core/store/echecs.h"

#include <sqlite3.h>
#include <QFileDevice>
#include <QFileInfo>
#include <QStorageInfo>
#include <cerrno>

TCauseEchec CauseSysteme(int errnum)
{
    switch (errnum) {
        case EBUSY:
        case ETXTBSY:
        case EAGAIN:
            return TCauseEchec::Occupe;
        case EROFS:
            return TCauseEchec::LectureSeule;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return TCauseEchec::DisquePlein;
        case ENOENT:
        case ENOTDIR:
            return TCauseEchec::Introuvable;
        case EACCES:
        case EPERM:
            return TCauseEchec::AccesRefuse;
        case ENOMEM:
            return TCauseEchec::Memoire;
        case EEXIST:
            return TCauseEchec::Doublon;
        case EIO:
        case ENXIO:
        case ESTALE:
        case EHOSTDOWN:
        case ETIMEDOUT:
            return TCauseEchec::Materiel;
        default:
            return TCauseEchec::Autre;
    }
}

TCauseEchec CauseSqlite(int code, int errnoSysteme)
{
    if (code == SQLITE_IOERR_NOMEM)
        return TCauseEchec::Memoire;
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return TCauseEchec::Occupe;
        case SQLITE_READONLY:
            return TCauseEchec::LectureSeule;
        case SQLITE_FULL:
            return TCauseEchec::DisquePlein;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return TCauseEchec::Corrompu;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return TCauseEchec::AccesRefuse;
        case SQLITE_NOMEM:
            return TCauseEchec::Memoire;
        case SQLITE_CONSTRAINT:
            return TCauseEchec::Doublon;
        case SQLITE_CANTOPEN: {
            // The engine cannot tell a missing folder from a refused one; the
            // system's error number can.
            const TCauseEchec c = CauseSysteme(errnoSysteme);
            return c == TCauseEchec::Autre ? TCauseEchec::Introuvable : c;
        }
        case SQLITE_IOERR: {
            const TCauseEchec c = CauseSysteme(errnoSysteme);
            return c == TCauseEchec::Autre ? TCauseEchec::Materiel : c;
        }
        default:
            return TCauseEchec::Autre;
    }
}

QString PhraseCatalogue(TCauseEchec cause)
{
    switch (cause) {
        case TCauseEchec::Occupe:
            return QStringLiteral(
                "Le catalogue est occupé : un autre poste de travail le verrouille depuis trop longtemps. "
                "Réessayez dans quelques instants ; si cela dure, fermez Kestravel sur les autres postes.");
        case TCauseEchec::LectureSeule:
            return QStringLiteral(
                "Le catalogue est en lecture seule : vérifiez que vous avez le droit d'écrire dans le "
                "fichier Kestravel.abs et dans son dossier.");
        case TCauseEchec::DisquePlein:
            return QStringLiteral("Le disque du catalogue est plein : libérez de la place, puis recommencez.");
        case TCauseEchec::Corrompu:
            return QStringLiteral(
                "Le fichier du catalogue est endommagé ou n'est pas un catalogue Kestravel : "
                "restaurez la dernière sauvegarde.");
        case TCauseEchec::Introuvable:
            return QStringLiteral(
                "Le fichier du catalogue ou son dossier est introuvable : "
                "vérifiez l'installation de Kestravel.");
        case TCauseEchec::AccesRefuse:
            return QStringLiteral(
                "L'accès au catalogue est refusé : vérifiez vos droits sur le fichier Kestravel.abs "
                "et sur son dossier.");
        case TCauseEchec::Memoire:
            return QStringLiteral(
                "La mémoire manque pour terminer l'opération : fermez d'autres programmes, "
                "puis recommencez.");
        case TCauseEchec::Doublon:
            return QStringLiteral(
                "Le catalogue contient déjà un enregistrement avec la même clé, ou une valeur est "
                "refusée : l'opération n'a pas été faite.");
        case TCauseEchec::Materiel:
            return QStringLiteral(
                "Le disque ou le partage réseau du catalogue a signalé une erreur de lecture ou "
                "d'écriture : vérifiez-le, puis recommencez.");
        case TCauseEchec::Autre:
            break;
    }
    return QStringLiteral("Le catalogue a refusé l'opération.");
}

QString PhraseFichier(TCauseEchec cause)
{
    switch (cause) {
        case TCauseEchec::Occupe:
            return QStringLiteral("Le fichier est utilisé par un autre programme : fermez-le, puis recommencez.");
        case TCauseEchec::LectureSeule:
            return QStringLiteral("Le disque ou le dossier est en lecture seule : choisissez un autre emplacement.");
        case TCauseEchec::DisquePlein:
            return QStringLiteral(
                "Le disque est plein : libérez de la place ou choisissez un autre emplacement, "
                "puis recommencez.");
        case TCauseEchec::Corrompu:
            return QStringLiteral("Le fichier est endommagé.");
        case TCauseEchec::Introuvable:
            return QStringLiteral("Le fichier ou son dossier est introuvable : vérifiez le chemin.");
        case TCauseEchec::AccesRefuse:
            return QStringLiteral(
                "L'accès est refusé : vous n'avez pas le droit d'écrire ou de lire ce fichier "
                "ou son dossier.");
        case TCauseEchec::Memoire:
            return PhraseCatalogue(cause);
        case TCauseEchec::Doublon:
            return QStringLiteral("Un fichier de ce nom existe déjà.");
        case TCauseEchec::Materiel:
            return QStringLiteral(
                "Le disque ou le partage réseau a signalé une erreur de lecture ou d'écriture : "
                "vérifiez-le, puis recommencez.");
        case TCauseEchec::Autre:
            break;
    }
    return QStringLiteral("Le fichier n'a pas pu être lu ou écrit.");
}

QString ComposerMessage(const QString& contexte, const QString& phrase, const QString& detail)
{
    QString message = contexte.trimmed();
    if (!message.isEmpty())
        message += '\n';
    message += phrase;
    // Texts that tell nothing are dropped rather than shown.
    QString d = detail;
    for (const char* vide : {"Unknown error", "Erreur inconnue", "Success"})
        d.remove(QLatin1String(vide), Qt::CaseInsensitive);
    d = d.simplified();
    while (d.startsWith(':') || d.endsWith(':'))
        d = (d.startsWith(':') ? d.mid(1) : d.chopped(1)).trimmed();
    if (!d.isEmpty())
        message += QStringLiteral("\n\nDétail technique : ") + d;
    return message;
}

QString MessageSqlite(int code, const QString& detail, const QString& contexte)
{
    return ComposerMessage(contexte, PhraseCatalogue(CauseSqlite(code)), detail);
}

QString MessageSqlite(sqlite3* base, const QString& contexte)
{
    if (!base)
        return ComposerMessage(contexte, QStringLiteral("La base de données n'est pas ouverte."), QString());
    const int code = sqlite3_extended_errcode(base);
    const TCauseEchec cause = CauseSqlite(code, sqlite3_system_errno(base));
    return ComposerMessage(contexte, PhraseCatalogue(cause), QString::fromUtf8(sqlite3_errmsg(base)));
}

TCauseEchec CauseFichier(const QString& chemin, bool ecriture, int errnum, qint64 taille)
{
    const TCauseEchec systeme = CauseSysteme(errnum);
    if (systeme != TCauseEchec::Autre)
        return systeme;
    const QFileInfo fichier(chemin);
    const QFileInfo dossier(fichier.absolutePath());
    if (!dossier.isDir())
        return TCauseEchec::Introuvable;
    if (!ecriture) {
        if (!fichier.exists())
            return TCauseEchec::Introuvable;
        return fichier.isReadable() ? TCauseEchec::Autre : TCauseEchec::AccesRefuse;
    }
    const QStorageInfo disque(dossier.absoluteFilePath());
    if (disque.isValid() && disque.isReadOnly())
        return TCauseEchec::LectureSeule;
    // A file is replaced through a new file in its folder: both need the right.
    if ((fichier.exists() && !fichier.isWritable()) || !dossier.isWritable())
        return TCauseEchec::AccesRefuse;
    if (disque.isValid() && disque.bytesAvailable() <= taille)
        return TCauseEchec::DisquePlein;
    return TCauseEchec::Autre;
}

QString MessageFichier(const QFileDevice& fichier, const QString& chemin, bool ecriture, const QString& contexte,
                       int errnum, qint64 taille)
{
    TCauseEchec cause = CauseFichier(chemin, ecriture, errnum, taille);
    if (cause == TCauseEchec::Autre) {
        if (fichier.error() == QFileDevice::PermissionsError)
            cause = TCauseEchec::AccesRefuse;
        else if (fichier.error() == QFileDevice::ResourceError && ecriture)
            cause = TCauseEchec::DisquePlein;
    }
    return ComposerMessage(contexte, PhraseFichier(cause), fichier.errorString());
}
