#pragma once
// The CSV files of the five catalogue tables: their columns and statements,
// the Windows-1252 line writer and the streaming parser. No widgets here, so
// the format is testable and benchmarkable on its own.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <functional>
#include <optional>

enum class TTableCsv { Produit, ProduitCarac, ProduitType, ProduitTypeCarac, Transaction };

enum class TTypeColonne { Entier, Prix, DateHeure, Texte };

struct TColonneCsv {
    QString nom;  // header of the column, and name of the insert parameter
    TTypeColonne type;
    bool nettoyee = false;  // product texts: semicolons removed, CR LF written "\r\n"
};

struct TDescriptionTable {
    TTableCsv table;
    QString nom;  // table name in the database
    QString suffixeExport;  // "_export_produit.csv"…
    QString fichierImport;  // "import_produit.csv"…
    QString selection;  // SELECT in file order
    QString vidage;  // DELETE
    QString insertion;  // INSERT with one named parameter per column
    QList<TColonneCsv> colonnes;
    // A line whose first field is exactly this text is a header line.
    const QString& Entete() const { return colonnes.first().nom; }
};

const TDescriptionTable& DescriptionTable(TTableCsv table);
// The five tables in the order of the windows' buttons.
QList<TTableCsv> TablesCsv();
// The table of that database name ("Produit", "Transaction"…), if any.
std::optional<TTableCsv> TableCsvParNom(const QString& nom);

// Texts of Libelle, Description, Reference and Lien in the product file.
QString NettoyerTexteProduit(QString texte);
QString RestaurerTexteProduit(QString texte);

// ASCII bytes are the same in UTF-8 and in Windows-1252.
bool EstAscii(QByteArrayView octets);

// Windows-1252 at the file boundary; UTF-8 for reading a file that began
// with the byte-order mark.
class TCodePage {
public:
    TCodePage();
    void SetUtf8(bool utf8) { m_utf8 = utf8; }
    // A character the code page lacks is written "?" and counted.
    QByteArray Encoder(QStringView texte);
    // In UTF-8, bytes that are not valid UTF-8 give *ok false.
    QString Decoder(QByteArrayView octets, bool* ok = nullptr);
    // Characters written "?" so far.
    qint64 Remplacements() const { return m_remplacements; }

private:
    QStringEncoder m_encodeur;
    QStringDecoder m_decodeur;
    bool m_utf8 = false;
    qint64 m_remplacements = 0;
};

// One CSV line, in Windows-1252 bytes: every field between double quotes
// (inner quotes doubled) and followed by a semicolon, then CR LF.
void AjouterChampCsv(QByteArray& ligne, QByteArrayView champ);
inline void TerminerLigneCsv(QByteArray& ligne) { ligne += "\r\n"; }

// Why a parse stopped short.
enum class TErreurCsv {
    Aucune,
    // A quoted field never closed, or closed by a quote followed by text:
    // a quote missing somewhere, which would otherwise shift the fields.
    GuillemetNonFerme,
};

// Streaming parser. Reads what the writer produces: a quoted field keeps its
// semicolons and line ends, a doubled quote inside it is one quote. Unquoted
// fields are accepted too. Outside quotes a line ends with LF, CR LF or a CR
// alone (old spreadsheet exports); blank lines are skipped; a last line
// without a line end still counts. A file that starts with the UTF-8
// byte-order mark is flagged as UTF-8 and the mark is not part of the first
// field. Fed in pieces of any size, it delivers exactly what the whole
// input at once gives.
class TLecteurCsv {
public:
    // `ligne` is the number of the file line on which the record starts (1 for
    // the first); `champs` holds exactly `colonnes` fields in the file's bytes
    // (valid during the call), missing ones empty and extra ones dropped.
    using TRappel = std::function<void(const QList<QByteArrayView>& champs, qint64 ligne)>;

    TLecteurCsv(int colonnes, TRappel rappel);
    // After an error the rest of the input is ignored.
    void Lire(QByteArrayView morceau);
    // Delivers a last line without line end. False on an error (a quoted
    // field still open at the end included; it is not delivered).
    bool Terminer();

    TErreurCsv Erreur() const { return m_erreur; }
    // Line on which the faulty quoted field started, and its field number
    // (0 for the first).
    qint64 LigneErreur() const { return m_ligneChamp; }
    int ChampErreur() const { return m_champ; }
    // The input started with the UTF-8 byte-order mark.
    bool Utf8() const { return m_utf8; }
    // During the call back: the record has text beyond its last kept column.
    bool LigneDeborde() const { return m_deborde; }

private:
    enum class Etat { DebutChamp, SansGuillemets, EntreGuillemets, ApresGuillemet, Erreur };
    void Octet(char c);
    void Garder(char c);
    // Bytes inside a quoted field, quotes excluded.
    void Dedans(const char* debut, const char* fin);
    void FinChamp();
    void FinLigne();
    void FinLigneOctet(char c, bool apresCr);

    const int m_colonnes;
    TRappel m_rappel;
    Etat m_etat = Etat::DebutChamp;
    TErreurCsv m_erreur = TErreurCsv::Aucune;
    QByteArray m_octets;  // the line's kept fields, end to end
    QList<int> m_fins;  // end offset of each kept field in m_octets
    int m_champ = 0;
    bool m_vide = true;  // nothing but line ends so far
    bool m_deborde = false;
    bool m_crFinLigne = false;  // the last byte was a CR that ended a line
    bool m_cr = false;  // the last byte was a CR
    int m_bom = 0;  // bytes of the byte-order mark matched so far; -1 once decided
    bool m_utf8 = false;
    qint64 m_ligne = 1;  // current file line
    qint64 m_ligneDebut = 1;  // line on which the record started
    qint64 m_ligneChamp = 1;  // line on which the current quoted field started
    QList<QByteArrayView> m_champs;
};

// The whole parse of a buffer, for tests and fuzzing. `morceau` > 0 feeds the
// parser pieces of that size; the result must not depend on it.
struct TLectureCsv {
    QList<QByteArrayList> lignes;  // the fields of each record
    QList<qint64> numeros;  // the line on which each record starts
    bool utf8 = false;
    TErreurCsv erreur = TErreurCsv::Aucune;
    qint64 ligneErreur = 0;
    int champErreur = 0;
    bool operator==(const TLectureCsv& autre) const;
    bool operator!=(const TLectureCsv& autre) const { return !(*this == autre); }
};
TLectureCsv LireCsv(QByteArrayView octets, int colonnes, qsizetype morceau = 0);
