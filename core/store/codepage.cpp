#include "core/store/codepage.h"

#include <QList>

namespace {
// The characters of bytes 0x80 to 0x9F; 0 for the five bytes the code page
// leaves unassigned.
constexpr char16_t Haut[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
}  // namespace

char32_t DepuisWindows1252(unsigned char octet)
{
    return octet >= 0x80 && octet < 0xA0 ? Haut[octet - 0x80] : octet;
}

int VersWindows1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < 32; ++i)
        if (Haut[i] == c)
            return 0x80 + i;
    return -1;
}

bool DansWindows1252Hors8Bits(char32_t c)
{
    if (c >= 0x80 && c < 0xA0)
        return DepuisWindows1252(uchar(c)) == 0;
    return VersWindows1252(c) >= 0;
}

QStringList CaracteresHorsWindows1252(QStringView texte)
{
    QStringList hors;
    // A lone surrogate becomes U+FFFD, which the code page lacks too.
    for (const char32_t c : texte.toUcs4()) {
        if (!DansWindows1252(c)) {
            const QString s = QString::fromUcs4(&c, 1);
            if (!hors.contains(s))
                hors << s;
        }
    }
    return hors;
}

QString AvertissementHorsWindows1252(QStringView texte)
{
    const QStringList hors = CaracteresHorsWindows1252(texte);
    if (hors.isEmpty())
        return {};
    return QStringLiteral(
               "Le texte saisi contient des caractères hors du jeu Windows-1252 du logiciel hôte et des "
               "fichiers CSV : « %1 ». Ils ne pourront pas leur parvenir tels quels (un fichier CSV les "
               "remplace par « ? »).\nEnregistrer quand même ?")
        .arg(hors.join(QStringLiteral(" », « ")));
}
