#include "core/exchange/remplacementfichier.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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

TRemplacementFichier::TRemplacementFichier(const QString& chemin, const QByteArray& contenu, Vidage vidage)
    : m_chemin(chemin), m_vidage(vidage)
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
    const bool ok = ::fchmod(fd, mode) == 0 && EcrireTout(fd, contenu)
        && (vidage == Vidage::AuRemplacement || ::fsync(fd) == 0);
    const int erreur = errno;
    if (::close(fd) != 0 || !ok) {
        const int cause = ok ? errno : erreur;
        ::unlink(modele.constData());
        m_temporaire.clear();
        Echec(chemin, cause);
    }
    // Its name too, so that after a power cut it is there if the caller
    // recorded it.
    if (vidage == Vidage::Immediat)
        SynchroniserDossier(chemin);
}

TRemplacementFichier::~TRemplacementFichier()
{
    if (!m_garde && !m_temporaire.isEmpty())
        ::unlink(QFile::encodeName(m_temporaire).constData());
}

void TRemplacementFichier::Publier()
{
    if (m_vidage == Vidage::AuRemplacement) {
        const int fd = ::open(QFile::encodeName(m_temporaire).constData(), O_WRONLY | O_CLOEXEC);
        const bool ok = fd >= 0 && ::fsync(fd) == 0;
        const int erreur = errno;
        if (fd >= 0)
            ::close(fd);
        if (!ok)
            Echec(m_chemin, erreur);
    }
    Renommer(m_temporaire, m_chemin);
    m_temporaire.clear();
}

namespace {
const QString SuffixeTemporaire = QStringLiteral(".kestravel-");

bool NomTemporaireDe(const QString& nom, const QString& nomFichier)
{
    static const QRegularExpression aleatoire(QStringLiteral("^[A-Za-z0-9]{6}$"));
    const QString debut = '.' + nomFichier + SuffixeTemporaire;
    return nom.startsWith(debut) && aleatoire.match(nom.mid(debut.size())).hasMatch();
}
}  // namespace

bool TemporaireDe(const QString& chemin, const QString& temporaire)
{
    const QFileInfo f(chemin), t(temporaire);
    return t.isAbsolute() && t.absolutePath() == f.absolutePath() && NomTemporaireDe(t.fileName(), f.fileName());
}

void SupprimerTemporairesDe(const QString& chemin)
{
    const QFileInfo f(chemin);
    // The file's name as a pattern: its own wildcard characters match
    // themselves among others, the exact test follows.
    QString motif = '.' + f.fileName() + SuffixeTemporaire + "??????";
    for (int i = 0; i < f.fileName().size(); ++i)
        if (QStringLiteral("*?[]\\").contains(motif[i + 1]))
            motif[i + 1] = '?';
    const QDir dossier = f.absoluteDir();
    for (const QString& nom : dossier.entryList({motif}, QDir::Files | QDir::Hidden | QDir::System))
        if (NomTemporaireDe(nom, f.fileName()))
            ::unlink(QFile::encodeName(dossier.filePath(nom)).constData());
}

void Renommer(const QString& de, const QString& vers)
{
    if (::rename(QFile::encodeName(de).constData(), QFile::encodeName(vers).constData()) != 0)
        Echec(vers, errno);
    SynchroniserDossier(vers);
}
