// The host's settings reader. Properties:
// - any bytes: the same answers whether the lines end in LF or CR LF, and
//   with or without a UTF-8 byte-order mark in front;
// - a settings file built from the input (sections, keys, values, blanks,
//   comments, either line end, UTF-8 with or without mark or Windows-1252)
//   gives back, for every key, the value first written under it.

#include "core/base/parametres.h"
#include "fuzz/soutien_fuzz.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {
QString CheminIni() { return DossierTravail() + QStringLiteral("/Kestravel.ini"); }

TParametres Lire(const QByteArray& octets)
{
    EcrireOctets(CheminIni(), octets);
    return TParametres(CheminIni());
}

bool EstUtf8(const QByteArray& octets)
{
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString texte = d(octets);  // the decoder works only when its result is read
    Q_UNUSED(texte);
    return !d.hasError();
}

// The keys start-up reads, and a few others.
const QList<QPair<QString, QString>> Cles = {
    {"General", "Version"}, {"General", "Administration"}, {"general", "version"}, {"Autre", "Version"}};

void VerifierMemesReponses(const TParametres& a, const TParametres& b, const QString& variante)
{
    for (const auto& [section, cle] : Cles)
        VERIFIER(a.Lire(section, cle, "<défaut>") == b.Lire(section, cle, "<défaut>"),
                 QStringLiteral("%1/%2 : « %3 » puis « %4 » %5")
                     .arg(section, cle, a.Lire(section, cle, "<défaut>"), b.Lire(section, cle, "<défaut>"), variante));
}

// A text from the input, without line ends.
QString Texte(TEntree& e, int max)
{
    QString t = QString::fromUtf8(e.Octets(max));
    t.remove('\n');
    t.remove('\r');
    return t;
}

// Names people give sections and keys, or else anything.
QString Nom(TEntree& e, const QStringList& courants)
{
    const int choix = e.Entier(0, courants.size());
    return choix < courants.size() ? courants[choix] : Texte(e, 12);
}

QString Blancs(TEntree& e)
{
    static const QStringList blancs = {"", " ", "\t", "  \t "};
    return blancs[e.Entier(0, blancs.size() - 1)];
}

struct TCle {
    QString section, cle, valeur;
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitialiserProcessus();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* donnees, size_t taille)
{
    const QByteArray brut(reinterpret_cast<const char*>(donnees), qsizetype(taille));
    {
        const TParametres p = Lire(brut);
        if (!brut.contains('\r')) {
            QByteArray crlf = brut;
            VerifierMemesReponses(p, Lire(crlf.replace("\n", "\r\n")), "avec CR LF");
        }
        if (!brut.startsWith("\xEF\xBB\xBF"))
            VerifierMemesReponses(p, Lire("\xEF\xBB\xBF" + brut), "avec la marque UTF-8");
    }

    TEntree e(donnees, taille);
    const QString finLigne = e.Octet() % 2 ? "\r\n" : "\n";
    QString texte;
    QList<TCle> cles;
    const int sections = e.Entier(1, 4);
    for (int s = 0; s < sections; ++s) {
        if (e.Octet() % 4 == 0)
            texte += (e.Octet() % 2 ? ";" : "#") + Texte(e, 20) + finLigne;
        const QString section = Nom(e, {"General", "general", "GENERAL", "Général", "Autre"}).trimmed();
        if (section.isEmpty())
            continue;
        texte += Blancs(e) + '[' + Blancs(e) + section + Blancs(e) + ']' + Blancs(e) + finLigne;
        for (int c = e.Entier(0, 4); c > 0; --c) {
            const QString cle = Nom(e, {"Version", "version", "Administration", "Chemin"}).trimmed();
            if (cle.isEmpty() || cle.contains('=') || cle.startsWith('[') || cle.startsWith(';') || cle.startsWith('#'))
                continue;
            const QString valeur = Texte(e, 40);
            texte += Blancs(e) + cle + Blancs(e) + '=' + valeur + finLigne;
            if (e.Octet() % 4 == 0)
                texte += Blancs(e) + finLigne;
            cles << TCle{section, cle, valeur.trimmed()};
        }
    }

    // The host writes Windows-1252; UTF-8 is read too. A Windows-1252 text
    // whose bytes also happen to be valid UTF-8 reads as UTF-8: that guess
    // cannot be told from the bytes, so it is left out.
    QByteArray octets = texte.toUtf8();
    const int encodage = e.Entier(0, 2);
    if (encodage == 1) {
        octets.prepend("\xEF\xBB\xBF");
    } else if (encodage == 2) {
        QStringEncoder cp1252("windows-1252");
        QStringDecoder retour("windows-1252");
        const QByteArray ansi = cp1252(texte);
        if (!cp1252.hasError() && QString(retour(ansi)) == texte && !EstUtf8(ansi))
            octets = ansi;
    }
    const TParametres p = Lire(octets);
    for (const TCle& c : cles) {
        QString attendu;
        for (const TCle& d : cles) {
            if (d.section.toUpper() == c.section.toUpper() && d.cle.toUpper() == c.cle.toUpper()) {
                attendu = d.valeur;
                break;
            }
        }
        const QString lu = p.Lire(c.section, c.cle, "<défaut>");
        VERIFIER(lu == attendu,
                 QStringLiteral("[%1] %2 : « %3 » au lieu de « %4 »\n  fichier : %5")
                     .arg(c.section, c.cle, lu, attendu, QString::fromLatin1(octets.toPercentEncoding())));
    }
    return 0;
}
