#include "core/exchange/remplacementfichier.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {
[[noreturn]] void Echec(const QString& chemin, int erreur)
{
    throw EKestravel(MessageEcritureImpossible(chemin, erreur));
}

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

// The rename is in the folder's entry: flushed too, so it survives a power cut.
void SynchroniserDossier(const QString& chemin)
{
    const int fd =
        ::open(QFile::encodeName(QFileInfo(chemin).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
}  // namespace

QString MessageEcritureImpossible(const QString& chemin, int erreur)
{
    return ComposerMessage(QStringLiteral("Impossible d'enregistrer le fichier « %1 ».").arg(chemin),
                           PhraseFichier(CauseFichier(chemin, true, erreur)),
                           QString::fromLocal8Bit(std::strerror(erreur)));
}

TRemplacementFichier::TRemplacementFichier(const QString& chemin, const QByteArray& contenu) : m_chemin(chemin)
{
    const QFileInfo info(chemin);
    const QByteArray cible = QFile::encodeName(info.absoluteFilePath());
    struct stat existant {};
    const bool existe = ::stat(cible.constData(), &existant) == 0;
    if (existe && ::access(cible.constData(), W_OK) != 0)
        Echec(chemin, errno);

    QByteArray modele = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".kestravel-XXXXXX");
    const int fd = ::mkostemp(modele.data(), O_CLOEXEC);
    if (fd < 0)
        Echec(chemin, errno);
    m_temporaire = QFile::decodeName(modele);
    mode_t mode = existant.st_mode & 07777;
    if (!existe) {
        const mode_t masque = ::umask(0);
        ::umask(masque);
        mode = 0666 & ~masque;
    }
    const bool ok = ::fchmod(fd, mode) == 0 && EcrireTout(fd, contenu) && ::fsync(fd) == 0;
    const int erreur = errno;
    if (::close(fd) != 0 || !ok) {
        const int cause = ok ? errno : erreur;
        ::unlink(modele.constData());
        m_temporaire.clear();
        Echec(chemin, cause);
    }
    // Its name too, so that after a power cut it is there if the caller
    // recorded it.
    SynchroniserDossier(chemin);
}

TRemplacementFichier::~TRemplacementFichier()
{
    if (!m_garde && !m_temporaire.isEmpty())
        ::unlink(QFile::encodeName(m_temporaire).constData());
}

void TRemplacementFichier::Publier()
{
    Renommer(m_temporaire, m_chemin);
    m_temporaire.clear();
}

void Renommer(const QString& de, const QString& vers)
{
    if (::rename(QFile::encodeName(de).constData(), QFile::encodeName(vers).constData()) != 0)
        Echec(vers, errno);
    SynchroniserDossier(vers);
}
