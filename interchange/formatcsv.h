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
    QString nom;             // header of the column, and name of the insert parameter
    TTypeColonne type;
    bool nettoyee = false;   // product texts: semicolons removed, CR LF written "\r\n"
};

struct TDescriptionTable {
    TTableCsv table;
    QString nom;              // table name in the database
    QString suffixeExport;    // "_export_produit.csv"…
    QString fichierImport;    // "import_produit.csv"…
    QString selection;        // SELECT in file order
    QString vidage;           // DELETE
    QString insertion;        // INSERT with one named parameter per column
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

// Windows-1252 at the file boundary. A character the code page cannot hold is
// written "?".
// ASCII bytes are the same in UTF-8 and in Windows-1252.
bool EstAscii(QByteArrayView octets);

class TCodePage {
public:
    TCodePage();
    QByteArray Encoder(QStringView texte);
    QString Decoder(QByteArrayView octets);

private:
    QStringEncoder m_encodeur;
    QStringDecoder m_decodeur;
};

// One CSV line, in Windows-1252 bytes: every field between double quotes
// (inner quotes doubled) and followed by a semicolon, then CR LF.
void AjouterChampCsv(QByteArray& ligne, QByteArrayView champ);
inline void TerminerLigneCsv(QByteArray& ligne) { ligne += "\r\n"; }

// Streaming parser. Reads what the writer produces: a quoted field keeps its
// semicolons and line ends, a doubled quote inside it is one quote. Unquoted
// fields are accepted too; a carriage return outside quotes is dropped; blank
// lines are skipped; a last line without a line end still counts.
class TLecteurCsv {
public:
    // `ligne` is the number of the file line on which the record starts (1 for
    // the first); `champs` holds exactly `colonnes` fields in the file's bytes
    // (valid during the call), missing ones empty and extra ones dropped.
    using TRappel = std::function<void(const QList<QByteArrayView>& champs, qint64 ligne)>;

    TLecteurCsv(int colonnes, TRappel rappel);
    void Lire(QByteArrayView morceau);
    // Delivers a last line without line end. False when the input ends inside
    // a quoted field (the unfinished record is not delivered).
    bool Terminer();
    // Line on which the unfinished quoted field started.
    qint64 LigneEnCours() const { return m_ligneDebut; }

private:
    enum class Etat { DebutChamp, SansGuillemets, EntreGuillemets, ApresGuillemet };
    void FinChamp();
    void FinLigne();

    const int m_colonnes;
    TRappel m_rappel;
    Etat m_etat = Etat::DebutChamp;
    QByteArray m_octets;        // the line's kept fields, end to end
    QList<int> m_fins;          // end offset of each kept field in m_octets
    int m_champ = 0;
    bool m_vide = true;         // nothing but carriage returns on the line so far
    qint64 m_ligne = 1;         // current file line
    qint64 m_ligneDebut = 1;    // line on which the record started
    QList<QByteArrayView> m_champs;
};
