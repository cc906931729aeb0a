#include "gui/admin/glyphespolice.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QTextLayout>
#include <cmath>

namespace {
// Place of a character in the tables of TGlyphesPolice: the printable
// Latin-1 characters at their own code, a few other common ones of French
// texts in the unused control range; -1 for any other character (a text
// holding one is laid out as a whole).
int Case(char16_t c)
{
    if ((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff && c != 0xad))
        return c;
    static constexpr char16_t Autres[] = {0x152,  0x153,  0x178,  0x2009, 0x2013, 0x2014, 0x2018,
                                          0x2019, 0x201c, 0x201d, 0x2022, 0x2026, 0x202f, 0x20ac};
    for (int i = 0; i < int(std::size(Autres)); ++i)
        if (Autres[i] == c)
            return 0x80 + i;
    return -1;
}
}  // namespace

bool TGlyphesPolice::Composer(QStringView texte, TComposition& c)
{
    c.glyphes.clear();
    c.x.clear();
    c.avance = 0;
    if (m_abandon)
        return false;
    qint32 x = 0;
    int precedente = -1;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const int k = Case(texte[i].unicode());
        if (k < 0)
            return false;
        TCaractere& car = m_caracteres[k];
        if (car.avance == Inconnu)
            Apprendre(car, texte[i]);
        if (car.avance == Refuse)
            return false;
        if (precedente >= 0) {
            if (m_paires.empty())
                m_paires.assign(256 * 256, Inconnu);
            qint32& ecart = m_paires[precedente * 256 + k];
            if (ecart == Inconnu)
                ecart = ApprendrePaire(texte[i - 1], m_caracteres[precedente], texte[i], car);
            if (ecart == Refuse)
                return false;
            x += ecart;
        }
        c.glyphes.append(car.glyphe);
        c.x.append(x);
        precedente = k;
    }
    if (precedente >= 0)
        c.avance = x + m_caracteres[precedente].avance;
    ++m_composees;
    if ((m_composees <= 32 || m_composees % 1024 == 0) && !Verifier(texte, c)) {
        m_abandon = true;
        return false;
    }
    return true;
}

// The layout's own result for `texte` set alone: its glyphs in one run
// of one font, on one baseline.
bool TGlyphesPolice::Former(const QString& texte, TForme& f)
{
    QTextLayout mise(texte, m_police);
    mise.beginLayout();
    const QTextLine ligne = mise.createLine();
    mise.endLayout();
    const QList<QGlyphRun> passes = mise.glyphRuns();
    if (!ligne.isValid() || passes.size() != 1)
        return false;
    const QGlyphRun& passe = passes.first();
    if (!m_brute.isValid())
        m_brute = passe.rawFont();
    else if (passe.rawFont() != m_brute)
        return false;
    f.glyphes = passe.glyphIndexes();
    for (const QPointF& position : passe.positions()) {
        if (position.y() != ligne.ascent())
            return false;
        f.x.append(qint32(std::lround(position.x() * 64)));
    }
    f.avance = qint32(std::lround(QFontMetricsF(m_police).horizontalAdvance(texte) * 64));
    return f.glyphes.size() == f.x.size();
}

void TGlyphesPolice::Apprendre(TCaractere& car, QChar c)
{
    TForme f;
    car.avance = Refuse;
    if (Former(QString(c), f) && f.glyphes.size() == 1 && f.x[0] == 0) {
        car.glyphe = f.glyphes[0];
        car.avance = f.avance;
    }
}

qint32 TGlyphesPolice::ApprendrePaire(QChar a, const TCaractere& carA, QChar b, const TCaractere& carB)
{
    TForme f;
    if (!Former(QString(a) + b, f) || f.glyphes.size() != 2 || f.glyphes[0] != carA.glyphe
        || f.glyphes[1] != carB.glyphe || f.x[0] != 0 || f.avance != f.x[1] + carB.avance)
        return Refuse;
    return f.x[1];
}

bool TGlyphesPolice::Verifier(QStringView texte, const TComposition& c)
{
    TForme f;
    if (!Former(texte.toString(), f) || f.avance != c.avance || f.glyphes.size() != c.glyphes.size())
        return false;
    for (qsizetype i = 0; i < f.glyphes.size(); ++i)
        if (f.glyphes[i] != c.glyphes[i] || f.x[i] != c.x[i])
            return false;
    return true;
}
