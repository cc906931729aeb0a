#include "core/exchange/remplacementfichier.h"

#include "core/base/systeme.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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
            Systeme::Supprimer(dossier.filePath(nom));
}

void Renommer(const QString& de, const QString& vers)
{
    if (const int erreur = Systeme::Renommer(de, vers))
        Echec(vers, erreur);
}
