#include "core/store/recherche.h"

#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <QStringList>
#include <sqlite3.h>

namespace {
// French accented letters and their plain form. The index's triggers hold
// the same table as nested replace() calls, in two levels (capitals, then
// small letters): SQLite's parser refuses much deeper nesting.
const struct {
    char16_t accent;
    const char* simple;
} Pliage[] = {
    {u'à', "a"}, {u'â', "a"}, {u'ä', "a"}, {u'ç', "c"}, {u'é', "e"}, {u'è', "e"}, {u'ê', "e"},
    {u'ë', "e"}, {u'î', "i"}, {u'ï', "i"}, {u'ô', "o"}, {u'ö', "o"}, {u'ù', "u"}, {u'û', "u"},
    {u'ü', "u"}, {u'ÿ', "y"}, {u'æ', "ae"}, {u'œ', "oe"}, {u'ñ', "n"},
};

const char* const Declencheurs[] = {"RechercheProduitAjout", "RechercheProduitSuppression",
                                    "RechercheProduitModification", "RechercheProduitRemplacement"};

// `expression` with the accented letters of one case replaced.
QString Remplacements(QString expression, bool capitales)
{
    for (const auto& p : Pliage) {
        const QChar lettre = capitales ? QChar(p.accent).toUpper() : QChar(p.accent);
        expression = QStringLiteral("replace(%1, '%2', '%3')").arg(expression, lettre, QLatin1String(p.simple));
    }
    return expression;
}

// SELECT giving (id, label, reference, export code) folded, from `source`
// whose columns are named by `prefixe` ("new." in a trigger).
QString SelectionPliee(const QString& id, const QString& prefixe, const QString& source)
{
    const auto capitales = [&](const char* champ) { return Remplacements(prefixe + QLatin1String(champ), true); };
    return QStringLiteral("SELECT i, %1, %2, %3 FROM (SELECT %4 AS i, %5 AS l, %6 AS r, %7 AS c%8)")
        .arg(Remplacements("l", false), Remplacements("r", false), Remplacements("c", false), id,
             capitales("Libelle"), capitales("Reference"), capitales("CodeExport"), source);
}

const QString Insertion = QStringLiteral("INSERT OR REPLACE INTO RechercheProduit (rowid, Libelle, Reference, CodeExport) ");

void Executer(sqlite3* base, const QString& sql)
{
    if (sqlite3_exec(base, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw EDatabaseError(MessageSqlite(base, QStringLiteral("L'index de recherche des produits n'a pas pu être "
                                                                "modifié.")));
}

// Runs `travail` in a transaction of its own, or in the caller's when one
// is open.
void EnTransaction(sqlite3* base, const std::function<void()>& travail)
{
    if (!sqlite3_get_autocommit(base)) {
        travail();
        return;
    }
    Executer(base, QStringLiteral("BEGIN IMMEDIATE"));
    try {
        travail();
        Executer(base, QStringLiteral("COMMIT"));
    } catch (...) {
        sqlite3_exec(base, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

struct TInstruction {
    sqlite3_stmt* st = nullptr;
    ~TInstruction() { sqlite3_finalize(st); }
};

int Entier(sqlite3* base, const char* sql)
{
    TInstruction q;
    if (sqlite3_prepare_v2(base, sql, -1, &q.st, nullptr) != SQLITE_OK || sqlite3_step(q.st) != SQLITE_ROW)
        throw EDatabaseError(MessageSqlite(base, QStringLiteral("Lecture du catalogue impossible.")));
    return sqlite3_column_int(q.st, 0);
}

int Patienter(void* rappel)
{
    (*static_cast<const std::function<void()>*>(rappel))();
    return 0;
}


QString Motif(const QString& mot)
{
    QString m = mot;
    m.replace('\\', "\\\\").replace('%', "\\%").replace('_', "\\_");
    return '%' + m + '%';
}
}  // namespace

QString PlierRecherche(const QString& texte)
{
    QString resultat;
    resultat.reserve(texte.size());
    for (const QChar c : texte) {
        const QChar minuscule = c.toLower();
        const auto* p = std::find_if(std::begin(Pliage), std::end(Pliage),
                                     [&](const auto& e) { return e.accent == minuscule.unicode(); });
        if (p != std::end(Pliage))
            resultat += QLatin1String(p->simple);
        else
            resultat += minuscule;
    }
    return resultat;
}

bool IndexRechercheInstalle(sqlite3* base)
{
    TInstruction q;
    if (sqlite3_prepare_v2(base,
                           "SELECT COUNT(*) FROM sqlite_schema WHERE (type = 'table' AND name = 'RechercheProduit')"
                           " OR (type = 'trigger' AND name IN ('RechercheProduitAjout', 'RechercheProduitSuppression',"
                           " 'RechercheProduitModification', 'RechercheProduitRemplacement'))",
                           -1, &q.st, nullptr) != SQLITE_OK
        || sqlite3_step(q.st) != SQLITE_ROW)
        throw EDatabaseError(MessageSqlite(base, QStringLiteral("Lecture du catalogue impossible.")));
    return sqlite3_column_int(q.st, 0) == 5;
}

void InstallerIndexRecherche(sqlite3* base, const std::function<void()>& patience)
{
    if (IndexRechercheInstalle(base))
        return;
    EnTransaction(base, [&] {
        // A half-made index (from a version that stopped midway) goes first.
        SupprimerIndexRecherche(base);
        Executer(base, QStringLiteral("CREATE VIRTUAL TABLE RechercheProduit USING fts5(Libelle, Reference, "
                                      "CodeExport, tokenize = 'trigram')"));
        // The fill touches the index's pages again and again: with the
        // connection's small page cache it would spend its time reading
        // back what it has just written.
        const int cache = Entier(base, "PRAGMA cache_size");
        Executer(base, QStringLiteral("PRAGMA cache_size = -262144"));
        if (patience)
            sqlite3_progress_handler(base, 200000, Patienter, const_cast<std::function<void()>*>(&patience));
        const auto retablir = [&] {
            sqlite3_progress_handler(base, 0, nullptr, nullptr);
            sqlite3_exec(base, QByteArray("PRAGMA cache_size = " + QByteArray::number(cache)).constData(), nullptr,
                         nullptr, nullptr);
        };
        try {
            Executer(base, Insertion + SelectionPliee("rowid", QString(), QStringLiteral(" FROM Produit")));
        } catch (...) {
            retablir();
            throw;
        }
        retablir();
        const QString nouvelle = Insertion + SelectionPliee("new.rowid", "new.", QString()) + ';';
        Executer(base, QStringLiteral("CREATE TRIGGER RechercheProduitAjout AFTER INSERT ON Produit BEGIN %1 END")
                           .arg(nouvelle));
        Executer(base, QStringLiteral("CREATE TRIGGER RechercheProduitSuppression AFTER DELETE ON Produit BEGIN "
                                      "DELETE FROM RechercheProduit WHERE rowid = old.rowid; END"));
        Executer(base, QStringLiteral("CREATE TRIGGER RechercheProduitModification AFTER UPDATE OF Libelle, "
                                      "Reference, CodeExport ON Produit BEGIN DELETE FROM RechercheProduit "
                                      "WHERE rowid = old.rowid; %1 END")
                           .arg(nouvelle));
        // A row that INSERT OR REPLACE removes fires no delete trigger: its
        // entry goes before the new row comes.
        Executer(base, QStringLiteral("CREATE TRIGGER RechercheProduitRemplacement BEFORE INSERT ON Produit BEGIN "
                                      "DELETE FROM RechercheProduit WHERE rowid IN (SELECT rowid FROM Produit WHERE "
                                      "Externe = new.Externe AND IdProduit = new.IdProduit AND "
                                      "IdProduitType = new.IdProduitType); END"));
    });
}

void SupprimerIndexRecherche(sqlite3* base)
{
    EnTransaction(base, [&] {
        for (const char* nom : Declencheurs)
            Executer(base, QStringLiteral("DROP TRIGGER IF EXISTS %1").arg(QLatin1String(nom)));
        Executer(base, QStringLiteral("DROP TABLE IF EXISTS RechercheProduit"));
    });
}

TResultatRecherche Rechercher(sqlite3* base, const TCritereRecherche& critere)
{
    TResultatRecherche resultat;
    // Words of three letters or more go through the index (each may be in
    // any of the three texts); shorter ones are checked on the rows found,
    // or on every row when the query has no longer word.
    QStringList longs, courts;
    for (const QString& mot : PlierRecherche(critere.texte).split(' ', Qt::SkipEmptyParts))
        (mot.size() >= 3 ? longs : courts) << mot;
    if (longs.isEmpty() && courts.isEmpty())
        return resultat;

    // CROSS JOIN keeps the index as the outer loop: otherwise SQLite may walk
    // the origin's products and ask the index about each of them.
    QString sql = QStringLiteral("SELECT %1 FROM RechercheProduit CROSS JOIN Produit p"
                                 " ON p.rowid = RechercheProduit.rowid WHERE 1")
                      .arg(QLatin1String(ColonnesLigneProduit));
    if (!longs.isEmpty())
        sql += QStringLiteral(" AND RechercheProduit MATCH ?");
    for (int i = 0; i < courts.size(); ++i)
        sql += QStringLiteral(" AND (RechercheProduit.Libelle LIKE ? ESCAPE '\\' OR RechercheProduit.Reference LIKE ?"
                              " ESCAPE '\\' OR RechercheProduit.CodeExport LIKE ? ESCAPE '\\')");
    if (critere.externe >= 0)
        sql += QStringLiteral(" AND p.Externe = ?");

    TInstruction q;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(base, utf8.constData(), int(utf8.size()), &q.st, nullptr) != SQLITE_OK) {
        resultat.erreur = MessageSqlite(base);
        return resultat;
    }
    int n = 0;
    const auto lier = [&](const QString& texte) {
        const QByteArray b = texte.toUtf8();
        sqlite3_bind_text(q.st, ++n, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    };
    if (!longs.isEmpty()) {
        QStringList phrases;
        for (QString mot : longs)
            phrases << '"' + mot.replace('"', "\"\"") + '"';
        lier(phrases.join(" AND "));
    }
    for (const QString& mot : courts)
        for (int i = 0; i < 3; ++i)
            lier(Motif(mot));
    if (critere.externe >= 0)
        sqlite3_bind_int(q.st, ++n, critere.externe);

    int rc;
    while ((rc = sqlite3_step(q.st)) == SQLITE_ROW) {
        QString categorie;
        if (!critere.categories.isEmpty()) {
            const auto c = critere.categories.constFind(
                CleCategorie(sqlite3_column_int(q.st, 0), sqlite3_column_int(q.st, 2)));
            if (c == critere.categories.constEnd())
                continue;
            categorie = *c;
        }
        if (resultat.lignes.Taille() == critere.limite) {
            resultat.tronque = true;
            break;
        }
        AjouterLigneProduit(resultat.lignes, q.st, categorie);
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        resultat.erreur = MessageSqlite(base);
        resultat.lignes = TLignesProduits();
    }
    return resultat;
}

TRechercheProduits::TRechercheProduits(const QString& cheminBase, TRappel rappel)
    : m_chemin(cheminBase), m_rappel(std::move(rappel)), m_fil([this] { Boucle(); })
{
}

TRechercheProduits::~TRechercheProduits()
{
    {
        std::lock_guard<std::mutex> verrou(m_verrou);
        m_fin = true;
        if (m_base)
            sqlite3_interrupt(m_base);
    }
    m_reveil.notify_one();
    m_fil.join();
}

quint64 TRechercheProduits::Chercher(TCritereRecherche critere)
{
    std::lock_guard<std::mutex> verrou(m_verrou);
    m_demande = std::move(critere);
    ++m_numero;
    if (m_base)
        sqlite3_interrupt(m_base);
    m_reveil.notify_one();
    return m_numero;
}

void TRechercheProduits::Annuler()
{
    std::lock_guard<std::mutex> verrou(m_verrou);
    m_traite = ++m_numero;
    if (m_base)
        sqlite3_interrupt(m_base);
}

void TRechercheProduits::Boucle()
{
    sqlite3* base = nullptr;
    for (;;) {
        quint64 numero;
        TCritereRecherche critere;
        {
            std::unique_lock<std::mutex> verrou(m_verrou);
            m_reveil.wait(verrou, [this] { return m_fin || m_numero != m_traite; });
            if (m_fin)
                break;
            numero = m_traite = m_numero;
            critere = m_demande;
        }
        TResultatRecherche resultat;
        if (!base) {
            // Its own connection, read only: the window's stays free for
            // writes, and a search never holds a lock that blocks them.
            if (sqlite3_open_v2(m_chemin.toUtf8().constData(), &base, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
                sqlite3_busy_timeout(base, 2000);
                std::lock_guard<std::mutex> verrou(m_verrou);
                m_base = base;
            } else {
                resultat.erreur = MessageSqlite(base);
                sqlite3_close(base);
                base = nullptr;
            }
        }
        if (base)
            resultat = Rechercher(base, critere);
        {
            std::lock_guard<std::mutex> verrou(m_verrou);
            if (numero != m_numero)
                continue;   // superseded or cancelled meanwhile
        }
        m_rappel(numero, std::move(resultat));
    }
    {
        std::lock_guard<std::mutex> verrou(m_verrou);
        m_base = nullptr;
    }
    sqlite3_close(base);
}
