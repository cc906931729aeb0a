#pragma once
// Windows-1252, the code page of every file the host reads (the CSV files,
// the exchange file). The catalogue itself holds any text; what the code page
// lacks cannot reach those files, so it is found here once for the writers
// and for the windows that warn about it.

#include <QString>
#include <QStringList>
#include <QStringView>

// True when the code page has the character (the 27 typographic signs of
// 0x80–0x9F included, and the five bytes it leaves unassigned, which read
// back as the C1 controls of the same number). The second function answers
// for the characters that are neither ASCII nor Latin-1 letters and signs.
bool DansWindows1252Hors8Bits(char32_t c);
inline bool DansWindows1252(char32_t c)
{
    // Latin-1 but for its C1 controls: the most common case, kept inline.
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return true;
    return DansWindows1252Hors8Bits(c);
}

// The character of a byte, 0 for an unassigned one; the byte of a
// character, -1 when the code page lacks it (the five unassigned bytes
// have no character here: the system's converter refuses them both ways).
char32_t DepuisWindows1252(unsigned char octet);
int VersWindows1252(char32_t c);

// The characters of `texte` the code page lacks, each once, in order of
// appearance; empty when it has them all.
QStringList CaracteresHorsWindows1252(QStringView texte);

// Warning for a text typed by the user that holds such characters; empty
// when there are none.
QString AvertissementHorsWindows1252(QStringView texte);
