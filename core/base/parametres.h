#pragma once
// Read-only access to the host's INI settings file. Sections and keys are
// matched without regard to case, values are taken verbatim (paths keep their
// backslashes), as the host writes them.

#include <QHash>
#include <QString>

class TParametres {
public:
    // A missing or unreadable file is not an error: every key gives its default.
    explicit TParametres(const QString& chemin);
    QString Lire(const QString& section, const QString& cle, const QString& defaut) const;

private:
    QHash<QString, QString> m_valeurs;  // "SECTION\nCLE" upper-cased → value
};
