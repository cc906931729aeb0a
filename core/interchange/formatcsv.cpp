#include "core/interchange/formatcsv.h"

#include "core/store/codepage.h"

#include <algorithm>
#include <cstring>

namespace {
using T = TTypeColonne;

QString Insertion(const QString& table, const QStringList& champs, const QList<TColonneCsv>& colonnes)
{
    QStringList parametres;
    for (const TColonneCsv& c : colonnes)
        parametres << ":" + c.nom;
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, champs.join(", "), parametres.join(", "));
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
    const QList<TColonneCsv> produit = {{"Externe", T::Entier},        {"IdProduit", T::Entier},
                                        {"IdProduitType", T::Entier},  {"Description", T::Texte, true},
                                        {"CodeExport", T::Texte},      {"PrixAchatHT", T::Prix},
                                        {"PrixTarifHT", T::Prix},      {"PrixVenteHT", T::Prix},
                                        {"Libelle", T::Texte, true},   {"DateCreation", T::DateHeure},
                                        {"Reference", T::Texte, true}, {"Lien", T::Texte, true},
                                        {"Stock", T::Entier},          {"StockMini", T::Entier}};
    const QStringList champsProduit = Noms(produit);
    d << TDescriptionTable{
        TTableCsv::Produit,
        "Produit",
        "_export_produit.csv",
        "import_produit.csv",
        "SELECT " + champsProduit.join(", ") + " FROM Produit ORDER BY Externe ASC, IdProduit ASC, IdProduitType ASC",
        "DELETE FROM Produit",
        Insertion("Produit", champsProduit, produit),
        produit};

    const QList<TColonneCsv> valeurs = {
        {"Externe", T::Entier}, {"IdProduit", T::Entier}, {"IdCarac", T::Entier}, {"Valeur", T::Texte}};
    d << TDescriptionTable{
        TTableCsv::ProduitCarac,
        "ProduitCarac",
        "_export_produit_carac.csv",
        "import_produit_carac.csv",
        "SELECT ExterneProduitCaracV AS Externe, IdProduit, IdCarac, Valeur FROM ProduitCarac"
        " ORDER BY ExterneProduitCaracV ASC, IdProduit ASC, IdCarac ASC",
        "DELETE FROM ProduitCarac",
        Insertion("ProduitCarac", {"ExterneProduitCaracV", "IdProduit", "IdCarac", "Valeur"}, valeurs),
        valeurs};

    const QList<TColonneCsv> categories = {
        {"Externe", T::Entier}, {"IdProduitType", T::Entier}, {"IdParent", T::Entier}, {"Libelle", T::Texte}};
    d << TDescriptionTable{TTableCsv::ProduitType,
                           "ProduitType",
                           "_export_produit_type.csv",
                           "import_produit_type.csv",
                           "SELECT Externe, IdProduitType, IdParent, Libelle FROM ProduitType"
                           " ORDER BY Externe ASC, IdProduitType ASC",
                           "DELETE FROM ProduitType",
                           Insertion("ProduitType", {"Externe", "IdProduitType", "IdParent", "Libelle"}, categories),
                           categories};

    const QList<TColonneCsv> definitions = {
        {"Externe", T::Entier}, {"IdProduitCarac", T::Entier}, {"Libelle", T::Texte}, {"Unite", T::Texte}};
    d << TDescriptionTable{
        TTableCsv::ProduitTypeCarac,
        "ProduitTypeCarac",
        "_export_produit_type_carac.csv",
        "import_produit_type_carac.csv",
        "SELECT Externe, IdProduitCarac, Libelle, Unite FROM ProduitTypeCarac"
        " ORDER BY Externe ASC, IdProduitCarac ASC",
        "DELETE FROM ProduitTypeCarac",
        Insertion("ProduitTypeCarac", {"Externe", "IdProduitCarac", "Libelle", "Unite"}, definitions),
        definitions};

    const QList<TColonneCsv> mouvements = {{"IdTransaction", T::Entier}, {"Externe", T::Entier},
                                           {"IdProduit", T::Entier},     {"IdProduitType", T::Entier},
                                           {"QuantiteOld", T::Entier},   {"QuantiteNew", T::Entier},
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
    // A lone LF (what the editor saves) or CR becomes the same "\r\n" as a
    // CR LF: written raw, it would cut the record for a line-based reader.
    // One pass: every product of an export goes through here.
    const auto aChanger = [](QChar c) {
        return c == QLatin1Char(';') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    };
    const auto premier = std::find_if(texte.cbegin(), texte.cend(), aChanger);
    if (premier == texte.cend())
        return texte;
    QString r;
    r.reserve(texte.size() + 8);
    r.append(texte.constData(), premier - texte.cbegin());
    for (auto i = premier; i != texte.cend(); ++i) {
        if (*i == QLatin1Char(';'))
            continue;
        if (*i == QLatin1Char('\r') || *i == QLatin1Char('\n')) {
            r += QLatin1String("\\r\\n");
            if (*i == QLatin1Char('\r') && i + 1 != texte.cend() && i[1] == QLatin1Char('\n'))
                ++i;
        } else {
            r += *i;
        }
    }
    return r;
}

QString RestaurerTexteProduit(QString texte) { return texte.replace(QLatin1String("\\r\\n"), QLatin1String("\r\n")); }

// ---- code page ---------------------------------------------------------------

bool EstAscii(QByteArrayView octets)
{
    return std::all_of(octets.begin(), octets.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

TCodePage::TCodePage() : m_encodeur("windows-1252"), m_decodeur("windows-1252") {}

QByteArray TCodePage::Encoder(QStringView texte)
{
    bool ascii = true, complet = true;
    for (const QChar c : texte) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            if (!DansWindows1252(c.unicode())) {
                complet = false;
                break;
            }
        }
    }
    // ASCII is the same in the code page; the converter is much slower.
    if (ascii)
        return texte.toLatin1();
    if (complet)
        return m_encodeur(texte);
    // The converter would drop some characters the code page lacks without
    // a trace (zero-width ones) and mark the others with SUB; the files use
    // "?" for all, and the count is told to the user.
    QString propre;
    propre.reserve(texte.size());
    for (const char32_t c : texte.toUcs4()) {
        if (DansWindows1252(c)) {
            propre += QChar(char16_t(c));
        } else {
            propre += QLatin1Char('?');
            ++m_remplacements;
        }
    }
    return m_encodeur(propre);
}

QString TCodePage::Decoder(QByteArrayView octets, bool* ok)
{
    if (ok)
        *ok = true;
    if (EstAscii(octets))
        return QString::fromLatin1(octets);
    if (!m_utf8)
        return m_decodeur(octets);
    // Stateless: a sequence cut at the end is an error, not kept for later.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texte = utf8(octets);
    if (utf8.hasError()) {
        if (ok)
            *ok = false;
        return {};
    }
    return texte;
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

namespace {
// What "CSV UTF-8" in spreadsheets puts first.
constexpr char Bom[] = "\xEF\xBB\xBF";
}  // namespace

TLecteurCsv::TLecteurCsv(int colonnes, TRappel rappel) : m_colonnes(qMax(colonnes, 0)), m_rappel(std::move(rappel))
{
    m_fins.reserve(m_colonnes);
}

inline void TLecteurCsv::Garder(char c)
{
    if (m_champ < m_colonnes)
        m_octets += c;
    else if (c != ' ' && c != '\t')
        m_deborde = true;
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
        // A field left empty or missing is an empty text, never a null one
        // (a null view is bound as SQL null).
        static const char vide[] = "";
        const QByteArrayView octets = m_octets.isNull() ? QByteArrayView(vide, 0) : QByteArrayView(m_octets);
        int debut = 0;
        for (int fin : std::as_const(m_fins)) {
            m_champs << octets.sliced(debut, fin - debut);
            debut = fin;
        }
        while (m_champs.size() < m_colonnes)
            m_champs << QByteArrayView(vide, 0);
        m_rappel(m_champs, m_ligneDebut);
    }
    m_octets.resize(0);  // keeps the allocation for the next line
    m_fins.clear();
    m_champ = 0;
    m_vide = true;
    m_deborde = false;
    m_etat = Etat::DebutChamp;
}

void TLecteurCsv::FinLigneOctet(char c, bool apresCr)
{
    // The LF of a CR LF: the CR has ended the line already.
    if (c == '\n' && apresCr)
        return;
    FinLigne();
    m_crFinLigne = c == '\r';
}

inline void TLecteurCsv::Octet(char c)
{
    const bool apresCr = m_crFinLigne;
    m_crFinLigne = false;
    if (m_vide && c != '\r' && c != '\n') {
        m_vide = false;
        m_ligneDebut = m_ligne;
    }
    switch (m_etat) {
        case Etat::EntreGuillemets:
            if (c == '"')
                m_etat = Etat::ApresGuillemet;
            else
                Garder(c);
            break;
        case Etat::ApresGuillemet:
            if (c == '"') {
                // A doubled quote inside a quoted field.
                Garder(c);
                m_etat = Etat::EntreGuillemets;
            } else if (c == ';') {
                FinChamp();
            } else if (c == '\n' || c == '\r') {
                FinLigneOctet(c, apresCr);
            } else if (c != ' ' && c != '\t') {
                // Text right after a closing quote: that quote closed a field
                // whose own closing quote is missing.
                m_etat = Etat::Erreur;
                m_erreur = TErreurCsv::GuillemetNonFerme;
                return;
            }
            break;
        case Etat::DebutChamp:
            if (c == '"') {
                m_etat = Etat::EntreGuillemets;
                m_ligneChamp = m_ligne;
                break;
            }
            [[fallthrough]];
        case Etat::SansGuillemets:
            if (c == ';') {
                FinChamp();
            } else if (c == '\n' || c == '\r') {
                FinLigneOctet(c, apresCr);
            } else {
                Garder(c);
                m_etat = Etat::SansGuillemets;
            }
            break;
        case Etat::Erreur:
            return;
    }
    // Lines are counted the same way inside quotes, for the messages.
    if (c == '\r' || (c == '\n' && !m_cr))
        ++m_ligne;
    m_cr = c == '\r';
}

void TLecteurCsv::Dedans(const char* debut, const char* fin)
{
    const qsizetype n = fin - debut;
    if (m_champ < m_colonnes)
        m_octets.append(debut, n);
    else if (!std::all_of(debut, fin, [](char c) { return c == ' ' || c == '\t'; }))
        m_deborde = true;
    if (!std::memchr(debut, '\n', size_t(n)) && !std::memchr(debut, '\r', size_t(n))) {
        m_cr = false;
        return;
    }
    for (const char* p = debut; p < fin; ++p) {
        if (*p == '\r' || (*p == '\n' && !m_cr))
            ++m_ligne;
        m_cr = *p == '\r';
    }
}

void TLecteurCsv::Lire(QByteArrayView morceau)
{
    const char* p = morceau.data();
    const char* const fin = p + morceau.size();
    // The byte-order mark may come split across pieces.
    while (m_bom >= 0 && p < fin) {
        if (*p == Bom[m_bom]) {
            ++p;
            if (++m_bom == 3) {
                m_bom = -1;
                m_utf8 = true;
            }
        } else {
            const int vus = m_bom;
            m_bom = -1;
            for (int i = 0; i < vus; ++i)
                Octet(Bom[i]);
        }
    }
    while (p < fin && m_etat != Etat::Erreur) {
        if (m_etat == Etat::EntreGuillemets) {
            // Most of a file is inside quotes: up to the next quote at once.
            const auto* guillemet = static_cast<const char*>(std::memchr(p, '"', size_t(fin - p)));
            const char* finTexte = guillemet ? guillemet : fin;
            if (finTexte > p) {
                Dedans(p, finTexte);
                p = finTexte;
                continue;
            }
        }
        Octet(*p++);
    }
}

bool TLecteurCsv::Terminer()
{
    if (m_bom > 0) {
        // A file as short as the start of a byte-order mark.
        const int vus = m_bom;
        m_bom = -1;
        for (int i = 0; i < vus; ++i)
            Octet(Bom[i]);
    }
    m_bom = -1;
    if (m_etat == Etat::EntreGuillemets) {
        m_etat = Etat::Erreur;
        m_erreur = TErreurCsv::GuillemetNonFerme;
    }
    if (m_etat == Etat::Erreur)
        return false;
    FinLigne();
    return true;
}

bool TLectureCsv::operator==(const TLectureCsv& autre) const
{
    return lignes == autre.lignes && numeros == autre.numeros && utf8 == autre.utf8 && erreur == autre.erreur
        && ligneErreur == autre.ligneErreur && champErreur == autre.champErreur;
}

TLectureCsv LireCsv(QByteArrayView octets, int colonnes, qsizetype morceau)
{
    TLectureCsv r;
    TLecteurCsv lecteur(colonnes, [&](const QList<QByteArrayView>& champs, qint64 ligne) {
        QByteArrayList c;
        c.reserve(champs.size());
        for (QByteArrayView v : champs)
            c << v.toByteArray();
        r.lignes << c;
        r.numeros << ligne;
    });
    if (morceau <= 0) {
        lecteur.Lire(octets);
    } else {
        for (qsizetype i = 0; i < octets.size(); i += morceau)
            lecteur.Lire(octets.sliced(i, qMin(morceau, octets.size() - i)));
    }
    if (!lecteur.Terminer()) {
        r.erreur = lecteur.Erreur();
        r.ligneErreur = lecteur.LigneErreur();
        r.champErreur = lecteur.ChampErreur();
    }
    r.utf8 = lecteur.Utf8();
    return r;
}
