#include "interchange/formatcsv.h"

#include <algorithm>

namespace {
using T = TTypeColonne;

QString Insertion(const QString& table, const QStringList& champs, const QList<TColonneCsv>& colonnes)
{
    QStringList parametres;
    for (const TColonneCsv& c : colonnes)
        parametres << ":" + c.nom;
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(table, champs.join(", "), parametres.join(", "));
}

QStringList Noms(const QList<TColonneCsv>& colonnes)
{
    QStringList r;
    for (const TColonneCsv& c : colonnes)
        r << c.nom;
    return r;
}

QList<TDescriptionTable> Descriptions()
{
    QList<TDescriptionTable> d;
    const QList<TColonneCsv> produit = {
        {"Externe", T::Entier},       {"IdProduit", T::Entier},        {"IdProduitType", T::Entier},
        {"Description", T::Texte, true}, {"CodeExport", T::Texte},     {"PrixAchatHT", T::Prix},
        {"PrixTarifHT", T::Prix},     {"PrixVenteHT", T::Prix},        {"Libelle", T::Texte, true},
        {"DateCreation", T::DateHeure}, {"Reference", T::Texte, true}, {"Lien", T::Texte, true},
        {"Stock", T::Entier},         {"StockMini", T::Entier}};
    const QStringList champsProduit = Noms(produit);
    d << TDescriptionTable{TTableCsv::Produit, "Produit", "_export_produit.csv", "import_produit.csv",
                           "SELECT " + champsProduit.join(", ") +
                               " FROM Produit ORDER BY Externe ASC, IdProduit ASC, IdProduitType ASC",
                           "DELETE FROM Produit", Insertion("Produit", champsProduit, produit), produit};

    const QList<TColonneCsv> valeurs = {
        {"Externe", T::Entier}, {"IdProduit", T::Entier}, {"IdCarac", T::Entier}, {"Valeur", T::Texte}};
    d << TDescriptionTable{TTableCsv::ProduitCarac, "ProduitCarac", "_export_produit_carac.csv",
                           "import_produit_carac.csv",
                           "SELECT ExterneProduitCaracV AS Externe, IdProduit, IdCarac, Valeur FROM ProduitCarac"
                           " ORDER BY ExterneProduitCaracV ASC, IdProduit ASC, IdCarac ASC",
                           "DELETE FROM ProduitCarac",
                           Insertion("ProduitCarac", {"ExterneProduitCaracV", "IdProduit", "IdCarac", "Valeur"},
                                     valeurs),
                           valeurs};

    const QList<TColonneCsv> categories = {
        {"Externe", T::Entier}, {"IdProduitType", T::Entier}, {"IdParent", T::Entier}, {"Libelle", T::Texte}};
    d << TDescriptionTable{TTableCsv::ProduitType, "ProduitType", "_export_produit_type.csv",
                           "import_produit_type.csv",
                           "SELECT Externe, IdProduitType, IdParent, Libelle FROM ProduitType"
                           " ORDER BY Externe ASC, IdProduitType ASC",
                           "DELETE FROM ProduitType",
                           Insertion("ProduitType", {"Externe", "IdProduitType", "IdParent", "Libelle"}, categories),
                           categories};

    const QList<TColonneCsv> definitions = {
        {"Externe", T::Entier}, {"IdProduitCarac", T::Entier}, {"Libelle", T::Texte}, {"Unite", T::Texte}};
    d << TDescriptionTable{TTableCsv::ProduitTypeCarac, "ProduitTypeCarac", "_export_produit_type_carac.csv",
                           "import_produit_type_carac.csv",
                           "SELECT Externe, IdProduitCarac, Libelle, Unite FROM ProduitTypeCarac"
                           " ORDER BY Externe ASC, IdProduitCarac ASC",
                           "DELETE FROM ProduitTypeCarac",
                           Insertion("ProduitTypeCarac", {"Externe", "IdProduitCarac", "Libelle", "Unite"},
                                     definitions),
                           definitions};

    const QList<TColonneCsv> mouvements = {
        {"IdTransaction", T::Entier}, {"Externe", T::Entier},     {"IdProduit", T::Entier},
        {"IdProduitType", T::Entier}, {"QuantiteOld", T::Entier}, {"QuantiteNew", T::Entier},
        {"Libelle", T::Texte},        {"DateMaj", T::DateHeure}};
    const QStringList champsMouvement = Noms(mouvements);
    // "Transaction" is an SQL keyword. The movement number breaks ties so
    // that two exports of the same table are identical.
    d << TDescriptionTable{TTableCsv::Transaction, "Transaction", "_export_transaction.csv",
                           "import_transaction.csv",
                           "SELECT " + champsMouvement.join(", ") +
                               " FROM \"Transaction\" ORDER BY Externe ASC, IdProduit ASC, IdProduitType ASC,"
                               " IdTransaction ASC",
                           "DELETE FROM \"Transaction\"", Insertion("\"Transaction\"", champsMouvement, mouvements),
                           mouvements};
    return d;
}
}  // namespace

const TDescriptionTable& DescriptionTable(TTableCsv table)
{
    static const QList<TDescriptionTable> d = Descriptions();
    return d[int(table)];
}

QList<TTableCsv> TablesCsv()
{
    return {TTableCsv::Produit, TTableCsv::ProduitCarac, TTableCsv::ProduitType, TTableCsv::ProduitTypeCarac,
            TTableCsv::Transaction};
}

std::optional<TTableCsv> TableCsvParNom(const QString& nom)
{
    for (TTableCsv t : TablesCsv())
        if (DescriptionTable(t).nom == nom)
            return t;
    return std::nullopt;
}

QString NettoyerTexteProduit(QString texte)
{
    texte.remove(QLatin1Char(';'));
    texte.replace(QLatin1String("\r\n"), QLatin1String("\\r\\n"));
    return texte;
}

QString RestaurerTexteProduit(QString texte)
{
    return texte.replace(QLatin1String("\\r\\n"), QLatin1String("\r\n"));
}

// ---- code page ---------------------------------------------------------------

bool EstAscii(QByteArrayView octets)
{
    return std::all_of(octets.begin(), octets.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

TCodePage::TCodePage() : m_encodeur("windows-1252"), m_decodeur("windows-1252") {}

QByteArray TCodePage::Encoder(QStringView texte)
{
    // ASCII is the same in the code page; the converter is much slower.
    if (std::all_of(texte.begin(), texte.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return texte.toLatin1();
    QByteArray octets = m_encodeur(texte);
    // The converter writes SUB (0x1A) for what it cannot represent; the files
    // use "?". A real SUB in the text is rare enough to be sorted out by code
    // point.
    if (!octets.contains('\x1a'))
        return octets;
    if (!texte.contains(QChar(0x1a)))
        return octets.replace('\x1a', '?');
    QByteArray r;
    for (qsizetype i = 0; i < texte.size(); ++i) {
        const qsizetype n = (texte[i].isHighSurrogate() && i + 1 < texte.size()) ? 2 : 1;
        const QByteArray c = m_encodeur(texte.mid(i, n));
        r += (c == "\x1a" && texte[i] != QChar(0x1a)) ? QByteArray("?") : c;
        i += n - 1;
    }
    return r;
}

QString TCodePage::Decoder(QByteArrayView octets)
{
    if (EstAscii(octets))
        return QString::fromLatin1(octets);
    return m_decodeur(octets);
}

void AjouterChampCsv(QByteArray& ligne, QByteArrayView champ)
{
    // The quote is the same byte in Windows-1252 as in ASCII.
    ligne += '"';
    if (champ.contains('"')) {
        for (const char c : champ) {
            if (c == '"')
                ligne += '"';
            ligne += c;
        }
    } else {
        ligne += champ;
    }
    ligne += "\";";
}

// ---- parser ------------------------------------------------------------------

TLecteurCsv::TLecteurCsv(int colonnes, TRappel rappel) : m_colonnes(colonnes), m_rappel(std::move(rappel))
{
    m_fins.reserve(colonnes);
}

void TLecteurCsv::FinChamp()
{
    if (m_champ < m_colonnes)
        m_fins << int(m_octets.size());
    ++m_champ;
    m_etat = Etat::DebutChamp;
}

void TLecteurCsv::FinLigne()
{
    if (!m_vide) {
        FinChamp();
        m_champs.clear();
        int debut = 0;
        for (int fin : std::as_const(m_fins)) {
            m_champs << QByteArrayView(m_octets).sliced(debut, fin - debut);
            debut = fin;
        }
        while (m_champs.size() < m_colonnes)
            m_champs << QByteArrayView();
        m_rappel(m_champs, m_ligneDebut);
    }
    m_octets.resize(0);   // keeps the allocation for the next line
    m_fins.clear();
    m_champ = 0;
    m_vide = true;
    m_etat = Etat::DebutChamp;
}

void TLecteurCsv::Lire(QByteArrayView morceau)
{
    for (const char c : morceau) {
        if (m_vide && c != '\r' && c != '\n') {
            m_vide = false;
            m_ligneDebut = m_ligne;
        }
        const bool garde = m_champ < m_colonnes;
        switch (m_etat) {
        case Etat::EntreGuillemets:
            if (c == '"')
                m_etat = Etat::ApresGuillemet;
            else if (garde)
                m_octets += c;
            break;
        case Etat::DebutChamp:
            if (c == '"') {
                m_etat = Etat::EntreGuillemets;
                break;
            }
            [[fallthrough]];
        case Etat::SansGuillemets:
        case Etat::ApresGuillemet:
            if (c == '"' && m_etat == Etat::ApresGuillemet) {
                // A doubled quote inside a quoted field.
                if (garde)
                    m_octets += c;
                m_etat = Etat::EntreGuillemets;
            } else if (c == ';') {
                FinChamp();
            } else if (c == '\n') {
                FinLigne();
            } else if (c != '\r') {
                if (garde)
                    m_octets += c;
                m_etat = Etat::SansGuillemets;
            }
            break;
        }
        if (c == '\n')
            ++m_ligne;
    }
}

bool TLecteurCsv::Terminer()
{
    if (m_etat == Etat::EntreGuillemets) {
        m_octets.clear();
        m_fins.clear();
        m_champ = 0;
        m_vide = true;
        m_etat = Etat::DebutChamp;
        return false;
    }
    FinLigne();
    return true;
}
