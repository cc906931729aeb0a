#include "core/exchange/remplacementfichier.h"

#include "core/base/systeme.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <cstring>

namespace {
[[noreturn]] void Echec(const QString& chemin, int erreur)
{
    throw EKestravel(MessageEcritureImpossible(chemin, erreur));
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
    const int erreur =
        Systeme::EcrireTemporaire(chemin, contenu, m_temporaire,
                                  vidage == Vidage::Immediat ? Systeme::Vidage::Immediat : Systeme::Vidage::Differe);
    if (erreur != 0)
        Echec(chemin, erreur);
}

TRemplacementFichier::~TRemplacementFichier()
{
    if (!m_temporaire.isEmpty())
        Systeme::Supprimer(m_temporaire);
}

void TRemplacementFichier::Publier()
{
    if (m_vidage == Vidage::AuRemplacement) {
        if (const int erreur = Systeme::Vider(m_temporaire))
            Echec(m_chemin, erreur);
    }
    Renommer(m_temporaire, m_chemin);
    m_temporaire.clear();
}

namespace {
const QString SuffixeTemporaire = QStringLiteral(".kestravel-");

bool NomTemporaireDe(const QString& nom, const QString& nomFichier)
{
    const QString debut = '.' + nomFichier + SuffixeTemporaire;
    if (nom.size() != debut.size() + 6 || !nom.startsWith(debut))
        return false;
    // Six random letters or digits, as mkstemp makes them.
    for (qsizetype i = debut.size(); i < nom.size(); ++i) {
        const char16_t c = nom[i].unicode();
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
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
    // Names compared as they are (a name filter would compile a pattern at
    // every sale).
    QDirIterator entrees(f.absolutePath(), QDir::Files | QDir::Hidden | QDir::System);
    while (entrees.hasNext()) {
        entrees.next();
        if (NomTemporaireDe(entrees.fileName(), f.fileName()))
            Systeme::Supprimer(entrees.filePath());
    }
}

void Renommer(const QString& de, const QString& vers)
{
    if (const int erreur = Systeme::Renommer(de, vers))
        Echec(vers, erreur);
}
