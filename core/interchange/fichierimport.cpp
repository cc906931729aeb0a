#include "core/interchange/fichierimport.h"

#include "core/store/basesql.h"
#include "core/store/dates.h"
#include "core/store/format.h"

#include <QDir>
#include <QFileInfo>
#include <QHashFunctions>

QString ConvertirChamp(TValeurCsv& v, const TColonneCsv& c, QByteArrayView champ, bool premier,
                       const QByteArray& maintenant, TCodePage& codePage)
{
    using G = TValeurCsv::Genre;
    const QByteArrayView t = champ.trimmed();
    auto refus = [&](const char* quoi) {
        return QStringLiteral("« %1 » n'est pas %2 (colonne %3)")
            .arg(codePage.Decoder(champ), QString::fromUtf8(quoi), c.nom);
    };
    switch (c.type) {
        case TTypeColonne::Entier: {
            v.genre = G::Entier;
            v.entier = 0;
            if (t.isEmpty()) {
                if (premier && c.nom == QLatin1String("IdTransaction"))
                    v.genre = G::Nul;
                return {};
            }
            bool ok = false;
            v.entier = t.toLongLong(&ok);
            return ok ? QString() : refus("un nombre entier");
        }
        case TTypeColonne::Prix: {
            bool ok = true;
            v.genre = G::Reel;
            v.reel = t.isEmpty() ? 0.0 : LireMontant(codePage.Decoder(t), &ok);
            return ok ? QString() : refus("un prix");
        }
        case TTypeColonne::DateHeure: {
            v.genre = G::Texte;
            if (t.isEmpty()) {
                v.texte = maintenant;
                return {};
            }
            v.converti = NormaliserDateHeureBase(codePage.Decoder(t)).toLatin1();
            v.texte = v.converti;
            return v.converti.isEmpty() ? refus("une date-heure aaaa-mm-jj hh:nn:ss.zzz") : QString();
        }
        case TTypeColonne::Texte: {
            v.genre = G::Texte;
            // ASCII needs no conversion to UTF-8.
            if (EstAscii(champ) && !(c.nettoyee && champ.contains(QByteArrayView("\\r\\n")))) {
                v.texte = champ;
                return {};
            }
            bool ok = true;
            const QString texte = codePage.Decoder(champ, &ok);
            if (!ok)
                return QStringLiteral(
                           "texte de la colonne %1 qui n'est pas de l'UTF-8 valide (le fichier commence "
                           "par la marque de l'UTF-8)")
                    .arg(c.nom);
            v.converti = (c.nettoyee ? RestaurerTexteProduit(texte) : texte).toUtf8();
            v.texte = v.converti;
            return {};
        }
    }
    return {};
}

void LierValeur(TInstructionSql& st, int parametre, const TValeurCsv& v)
{
    switch (v.genre) {
        case TValeurCsv::Genre::Nul:
            st.LierNul(parametre);
            return;
        case TValeurCsv::Genre::Entier:
            st.LierEntier(parametre, v.entier);
            return;
        case TValeurCsv::Genre::Reel:
            st.LierReel(parametre, v.reel);
            return;
        case TValeurCsv::Genre::Texte:
            st.LierTexte(parametre, v.texte);
            return;
    }
}

TFichierImport::TFichierImport(TTableCsv table, const QString& dossier)
    : m_description(DescriptionTable(table)), m_chemin(CheminImport(table, dossier)), m_fichier(m_chemin)
{
    if (!QFileInfo::exists(m_chemin))
        throw EInterchange(QStringLiteral("Importation - Le fichier d'importation n'existe pas : ") + m_chemin);
    if (!m_fichier.open(QIODevice::ReadOnly))
        throw EInterchange(QStringLiteral("Importation - Une erreur est survenue pendant l'ouverture du fichier : ")
                           + m_chemin);
}

EKestravel TFichierImport::Refus(qint64 ligne, const QString& raison) const
{
    return EKestravel(QStringLiteral("Importation - Ligne %1 du fichier %2 : %3.\nLa table %4 n'a pas été modifiée.")
                          .arg(ligne)
                          .arg(m_description.fichierImport, raison, m_description.nom));
}

QByteArray TFichierImport::Empreinte() const
{
    return QByteArray::number(m_lus) + ':' + QByteArray::number(quint64(m_somme), 16);
}

void TFichierImport::Lire(const TRappelLigne& rappel, const TRappelProgression& progression)
{
    const TDescriptionTable& d = m_description;
    const QByteArray entete = d.Entete().toLatin1();
    const TLecteurCsv* lu = nullptr;
    // Content past the header: a record after it, or text glued to it.
    qint64 enregistrements = 0;
    bool contenuApresEntete = false;
    TLecteurCsv lecteur(int(d.colonnes.size()), [&](const QList<QByteArrayView>& champs, qint64 ligne) {
        if (enregistrements++ == 0)
            m_codePage.SetUtf8(lu->Utf8());
        else
            contenuApresEntete = true;
        if (champs.first() == entete) {
            contenuApresEntete = contenuApresEntete || lu->LigneDeborde();
            return;
        }
        ++m_lignes;
        rappel(champs, ligne);
    });
    lu = &lecteur;

    const qint64 taille = m_fichier.size();
    QByteArray morceau(256 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = m_fichier.read(morceau.data(), morceau.size());
        if (n < 0)
            throw EInterchange(QStringLiteral("Importation - Une erreur est survenue pendant la lecture du fichier : ")
                               + m_chemin);
        if (n == 0)
            break;
        m_somme = qHashBits(morceau.constData(), size_t(n), m_somme);
        lecteur.Lire(QByteArrayView(morceau.constData(), n));
        m_lus += n;
        if (lecteur.Erreur() != TErreurCsv::Aucune)
            break;
        if (progression)
            progression(m_lus, qMax(taille, m_lus));
    }
    if (!lecteur.Terminer()) {
        const int champ = lecteur.ChampErreur();
        throw Refus(
            lecteur.LigneErreur(),
            QStringLiteral("guillemet non fermé")
                + (champ < d.colonnes.size() ? QStringLiteral(" (colonne %1)").arg(d.colonnes[champ].nom) : QString()));
    }
    // Rows were there but none could be told apart (an unknown line end or
    // separator): emptying the table would lose it for nothing.
    if (m_lignes == 0 && contenuApresEntete)
        throw EInterchange(QStringLiteral("Importation - Le fichier %1 ne contient aucune ligne lisible après son "
                                          "en-tête : ses champs doivent être séparés par des points-virgules et ses "
                                          "lignes par des fins de ligne.\nLa table %2 n'a pas été modifiée.")
                               .arg(QDir::toNativeSeparators(m_chemin), d.nom));
    if (progression)
        progression(m_lus, m_lus);
}
