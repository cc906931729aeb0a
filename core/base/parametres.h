#pragma once
// Read-only access to the host's INI settings file. Sections and keys are
// matched without regard to case, values are taken verbatim (paths keep their
// backslashes), as the host writes them.

#include <QHash>
#include <QSet>
#include <QString>

class TParametres {
public:
    // A missing or unreadable file is not an error: every key gives its default.
    explicit TParametres(const QString& chemin);
    QString Lire(const QString& section, const QString& cle, const QString& defaut) const;
    // Whether the file could be read, has the section, has the key (even
    // with an empty value).
    bool Lu() const { return m_lu; }
    bool ASection(const QString& section) const { return m_sections.contains(section.toUpper()); }
    bool ACle(const QString& section, const QString& cle) const
    {
        return m_valeurs.contains(section.toUpper() + '\n' + cle.toUpper());
    }

private:
    QHash<QString, QString> m_valeurs;  // "SECTION\nCLE" upper-cased → value
    QSet<QString> m_sections;  // upper-cased
    bool m_lu = false;
};
