#include "core/base/parametres.h"

#include <QFile>
#include <QStringDecoder>

TParametres::TParametres(const QString& chemin)
{
    QFile f(chemin);
    if (!f.open(QIODevice::ReadOnly))
        return;
    m_lu = true;
    QByteArray octets = f.readAll();
    // A byte-order mark goes before the guess: on a file not wholly UTF-8
    // after it, the Windows-1252 reading would turn it into text and lose the
    // first section.
    if (octets.startsWith("\xEF\xBB\xBF"))
        octets.remove(0, 3);
    // The host writes its settings in Windows-1252; UTF-8 is accepted too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texte = utf8(octets);
    if (utf8.hasError()) {
        QStringDecoder cp1252("windows-1252");
        texte = cp1252.isValid() ? cp1252(octets) : QString::fromLatin1(octets);
    }
    if (texte.startsWith(QChar(0xFEFF)))
        texte.remove(0, 1);
    QString section;
    for (QString ligne : texte.split('\n')) {
        ligne = ligne.trimmed();
        if (ligne.isEmpty() || ligne.startsWith(';') || ligne.startsWith('#'))
            continue;
        if (ligne.startsWith('[') && ligne.endsWith(']')) {
            section = ligne.mid(1, ligne.size() - 2).trimmed().toUpper();
            m_sections.insert(section);
            continue;
        }
        const int egal = int(ligne.indexOf('='));
        if (egal <= 0 || section.isEmpty())
            continue;
        const QString cle = section + '\n' + ligne.left(egal).trimmed().toUpper();
        if (!m_valeurs.contains(cle))
            m_valeurs.insert(cle, ligne.mid(egal + 1).trimmed());
    }
}

QString TParametres::Lire(const QString& section, const QString& cle, const QString& defaut) const
{
    return m_valeurs.value(section.toUpper() + '\n' + cle.toUpper(), defaut);
}
