#include "core/base/systeme.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>

namespace Systeme {

QString CheminProgramme()
{
    char chemin[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", chemin, sizeof chemin - 1);
    return n > 0 ? QFile::decodeName(QByteArray(chemin, int(n))) : QString();
}

int Remplacer(const QString& chemin, char* argv[])
{
    ::execv(QFile::encodeName(chemin).constData(), argv);
    return errno;
}

void SynchroniserDossier(const QString& chemin)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(chemin).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

namespace {
// The whole buffer, whatever the number of partial writes; false with errno
// set on failure.
bool EcrireTout(int fd, const QByteArray& contenu)
{
    const char* p = contenu.constData();
    qsizetype reste = contenu.size();
    while (reste > 0) {
        const ssize_t n = ::write(fd, p, size_t(reste));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        reste -= n;
    }
    return true;
}
}  // namespace

int EcrireTemporaire(const QString& cible, const QByteArray& contenu, QString& temporaire, Vidage vidage)
{
    const QFileInfo info(cible);
    const QByteArray chemin = QFile::encodeName(info.absoluteFilePath());
    struct stat existant {};
    const bool existe = ::stat(chemin.constData(), &existant) == 0;
    if (existe && ::access(chemin.constData(), W_OK) != 0)
        return errno;

    QByteArray modele = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".kestravel-XXXXXX");
    const int fd = ::mkostemp(modele.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    mode_t mode = existant.st_mode & 07777;
    if (!existe) {
        const mode_t masque = ::umask(0);
        ::umask(masque);
        mode = 0666 & ~masque;
    }
    const bool ok =
        ::fchmod(fd, mode) == 0 && EcrireTout(fd, contenu) && (vidage == Vidage::Differe || ::fsync(fd) == 0);
    const int erreur = errno;
    if (::close(fd) != 0 || !ok) {
        const int cause = ok ? errno : erreur;
        ::unlink(modele.constData());
        return cause;
    }
    temporaire = QFile::decodeName(modele);
    // Its name too, so that after a power cut it is there if the caller
    // recorded it.
    if (vidage == Vidage::Immediat)
        SynchroniserDossier(cible);
    return 0;
}

int Vider(const QString& chemin)
{
    const int fd = ::open(QFile::encodeName(chemin).constData(), O_WRONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    const int erreur = errno;
    if (fd >= 0)
        ::close(fd);
    return ok ? 0 : erreur;
}

int Renommer(const QString& de, const QString& vers, Vidage vidage)
{
    if (::rename(QFile::encodeName(de).constData(), QFile::encodeName(vers).constData()) != 0)
        return errno;
    // The rename is in the folder's entry: flushed too.
    if (vidage == Vidage::Immediat)
        SynchroniserDossier(vers);
    return 0;
}

void Supprimer(const QString& chemin) { ::unlink(QFile::encodeName(chemin).constData()); }

TVerrouExclusif::~TVerrouExclusif()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int TVerrouExclusif::Prendre(const QString& chemin)
{
    const int fd = ::open(QFile::encodeName(chemin).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int erreur = errno;
            ::close(fd);
            return erreur;
        }
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return 0;
}

}  // namespace Systeme
