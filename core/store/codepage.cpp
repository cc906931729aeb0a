#include "core/store/codepage.h"

#include <QList>

bool DansWindows1252Hors8Bits(char32_t c)
{
    switch (c) {
        case 0x81:
        case 0x8D:
        case 0x8F:
        case 0x90:
        case 0x9D:
        case 0x20AC:
        case 0x201A:
        case 0x0192:
        case 0x201E:
        case 0x2026:
        case 0x2020:
        case 0x2021:
        case 0x02C6:
        case 0x2030:
        case 0x0160:
        case 0x2039:
        case 0x0152:
        case 0x017D:
        case 0x2018:
        case 0x2019:
        case 0x201C:
        case 0x201D:
        case 0x2022:
        case 0x2013:
        case 0x2014:
        case 0x02DC:
        case 0x2122:
        case 0x0161:
        case 0x203A:
        case 0x0153:
        case 0x017E:
        case 0x0178:
            return true;
        default:
            return false;
    }
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
