#pragma once
// The glyph cache of the report (rapport.h): texts set from glyphs learnt
// once per font and device rather than laid out again for every box.

#include <QFont>
#include <QList>
#include <QRawFont>
#include <QStringView>
#include <QVarLengthArray>
#include <array>
#include <limits>
#include <vector>

// Glyphs of a text set without laying it out: glyph numbers, their x from
// the text's origin and the text's advance, in 64ths of a dot.
struct TComposition {
    QVarLengthArray<quint32, 64> glyphes;
    QVarLengthArray<qint32, 64> x;
    qint32 avance = 0;
};

// The glyphs of one font on one kind of device, learnt from the text layout
// itself: each character's glyph and advance, and for each pair of
// characters met the distance from the first glyph to the second (its
// advance with the pair's kerning). A text of known characters is then set
// by adding these up, as the layout does, instead of being laid out again:
// laying out each box was most of the cost of a page. A pair the font draws
// otherwise (a ligature, a glyph from another font) is refused and its texts
// are laid out. The first texts set this way, then one in 1024, are laid
// out as well; a difference (a font whose rules reach beyond a pair) turns
// the font's learning off for good.
class TGlyphesPolice {
public:
    TGlyphesPolice(const QFont& source, const QFont& police, double dpiX, double dpiY)
        : source(source), dpiX(dpiX), dpiY(dpiY), m_police(police)
    {}
    // What the glyphs are for: the report's font at the device's resolution.
    const QFont source;
    const double dpiX, dpiY;

    const QRawFont& Brute() const { return m_brute; }

    // Sets `texte` from learnt glyphs; false when it must be laid out.
    bool Composer(QStringView texte, TComposition& c);

private:
    static constexpr qint32 Inconnu = std::numeric_limits<qint32>::min();
    static constexpr qint32 Refuse = Inconnu + 1;

    struct TCaractere {
        quint32 glyphe = 0;
        qint32 avance = Inconnu;
    };
    struct TForme {
        QList<quint32> glyphes;
        QVarLengthArray<qint32, 64> x;
        qint32 avance = 0;
    };

    bool Former(const QString& texte, TForme& f);
    void Apprendre(TCaractere& car, QChar c);
    qint32 ApprendrePaire(QChar a, const TCaractere& carA, QChar b, const TCaractere& carB);
    bool Verifier(QStringView texte, const TComposition& c);

    const QFont m_police;  // resolved on the device
    QRawFont m_brute;
    std::array<TCaractere, 256> m_caracteres{};
    std::vector<qint32> m_paires;  // 256 × 256, filled when first needed
    quint64 m_composees = 0;
    bool m_abandon = false;
};
