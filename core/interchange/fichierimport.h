#pragma once
// Reading an import file, shared by the import and its preview: the file's
// refusals, its records past the header lines, and each field converted to
// the value the import writes.

#include "core/interchange/interchange.h"

#include <QFile>

class TInstructionSql;

// One field as the import writes it.
struct TValeurCsv {
    enum class Genre { Nul, Entier, Reel, Texte };
    Genre genre = Genre::Nul;
    qint64 entier = 0;
    double reel = 0;
    // UTF-8: a view on the file's bytes when they need no conversion, else
    // on `converti`. Valid while the field and this value are.
    QByteArrayView texte;
    QByteArray converti;
};

// Fills `v` from the file's bytes (Windows-1252, or UTF-8 per the code
// page); returns why the field cannot be imported, or nothing. An empty
// date-time becomes `maintenant`; an empty first `IdTransaction` stays null,
// for the database to number.
QString ConvertirChamp(TValeurCsv& v, const TColonneCsv& c, QByteArrayView champ, bool premier,
                       const QByteArray& maintenant, TCodePage& codePage);
void LierValeur(TInstructionSql& st, int parametre, const TValeurCsv& v);

// The import file of a table, opened (refused when missing or unreadable).
class TFichierImport {
public:
    TFichierImport(TTableCsv table, const QString& dossier);

    // A record past the header lines: exactly one field per column.
    using TRappelLigne = std::function<void(const QList<QByteArrayView>& champs, qint64 ligne)>;
    // Reads the whole file once. Refuses an unclosed quote, and content
    // in which no record can be told apart.
    void Lire(const TRappelLigne& rappel, const TRappelProgression& progression);

    const QString& Chemin() const { return m_chemin; }
    TCodePage& CodePage() { return m_codePage; }
    // Records delivered.
    qint64 Lignes() const { return m_lignes; }
    // The bytes read, summed up: the same file gives the same sum.
    QByteArray Empreinte() const;
    // "Importation - Ligne 3 du fichier import_produit.csv : raison.\n…"
    EKestravel Refus(qint64 ligne, const QString& raison) const;

private:
    const TDescriptionTable& m_description;
    QString m_chemin;
    QFile m_fichier;
    TCodePage m_codePage;
    qint64 m_lignes = 0;
    qint64 m_lus = 0;
    size_t m_somme = 0;
};
