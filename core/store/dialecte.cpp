#include "core/store/dialecte.h"

#include "core/store/basesqlpg.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/lignesproduits.h"
#include "core/store/recherche.h"

#include <sqlite3.h>
#include <QRegularExpression>

namespace Dialecte {
const char* DebutEcriture(const TBaseSql& base) { return base.SurServeur() ? "BEGIN" : "BEGIN IMMEDIATE"; }

// A file's deferred transaction takes its snapshot at its first read, which
// TLectureSql makes at once.
const char* DebutLecture(const TBaseSql& base)
{
    return base.SurServeur() ? "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY" : "BEGIN DEFERRED";
}

const char* PourModifier(const TBaseSql& base) { return base.SurServeur() ? " FOR UPDATE" : ""; }

const char* PourPartager(const TBaseSql& base) { return base.SurServeur() ? " FOR SHARE" : ""; }

void ReserverNumeros(const TBaseSql& base, const QString& table)
{
    if (!base.SurServeur())
        return;
    // The module's class of locks, then one per table.
    TInstructionSql q(base, QStringLiteral("SELECT pg_advisory_xact_lock(1263752022, hashtext(?))"));
    q.LierTexte(1, table.toLower());
    q.Etape();
}

QString InsererOuRemplacer(const QString& table) { return QStringLiteral("INSERT OR REPLACE INTO ") + table; }

QString LireVersion(const TBaseSql& base)
{
    return base.SurServeur() ? QStringLiteral("SELECT Version FROM KestravelSchema")
                             : QStringLiteral("PRAGMA user_version");
}

QString EcrireVersion(const TBaseSql& base, int version)
{
    return (base.SurServeur() ? QStringLiteral("UPDATE KestravelSchema SET Version = %1")
                              : QStringLiteral("PRAGMA user_version = %1"))
        .arg(version);
}

QString ColonnesTable(const TBaseSql& base, const QString& table)
{
    QString nom = table;
    nom.replace('"', QString());
    if (base.SurServeur())
        return QStringLiteral(
                   "SELECT ordinal_position, column_name, CASE data_type WHEN 'bigint' THEN 'INTEGER' WHEN 'integer'"
                   " THEN 'INTEGER' WHEN 'double precision' THEN 'REAL' WHEN 'bytea' THEN 'BLOB' ELSE 'TEXT' END"
                   " FROM information_schema.columns WHERE table_schema = current_schema() AND table_name = '%1'"
                   " AND column_name <> '%2' ORDER BY ordinal_position")
            .arg(nom.toLower(), QLatin1String(IdLigne));
    return QStringLiteral("PRAGMA main.table_info(\"%1\")").arg(nom);
}

QString TailleCache(qint64 taille) { return QStringLiteral("PRAGMA cache_size = %1").arg(taille); }

namespace {
// The journal mode after asking for `mode` (or the current one), lower
// case; empty when the engine refused.
QString JournalMode(const TBaseSql& base, const char* mode)
{
    try {
        return base
            .Valeur(mode ? QStringLiteral("PRAGMA journal_mode=") + QLatin1String(mode)
                         : QStringLiteral("PRAGMA journal_mode"))
            .toString()
            .toLower();
    } catch (const EDatabaseError&) {
        return {};
    }
}
}  // namespace

void CopierBase(const TBaseSql& source, const TBaseSql& cible, const QString& contexte)
{
    // With a rollback journal the pages go once into the file, instead of
    // into the WAL and then into the file. Switching needs the catalogue to
    // ourselves: when another process has it open, the copy goes through the
    // WAL (just as safe, only slower), without waiting for it.
    cible.SetAttente(0);
    const bool journalSimple = JournalMode(cible, nullptr) == "wal" && JournalMode(cible, "DELETE") == "delete";
    cible.SetAttente(10000);
    struct TRetour {
        const TBaseSql& base;
        bool actif;
        ~TRetour()
        {
            if (actif)
                JournalMode(base, "WAL");
        }
    } retour{cible, journalSimple};

    sqlite3_backup* b = sqlite3_backup_init(cible.Handle(), "main", source.Handle(), "main");
    if (!b)
        cible.Echec(contexte);
    int rc;
    do {
        rc = sqlite3_backup_step(b, -1);
    } while (rc == SQLITE_OK);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw EDatabaseError(MessageSqlite(rc, QString::fromUtf8(sqlite3_errstr(rc)), contexte));
}

namespace {
void AppelerFonction(sqlite3_context* ctx, int n, sqlite3_value** args)
{
    double arguments[8] = {};
    for (int i = 0; i < n && i < 8; ++i)
        arguments[i] = sqlite3_value_double(args[i]);
    const auto f = reinterpret_cast<TFonctionReelle>(sqlite3_user_data(ctx));
    sqlite3_result_double(ctx, f(arguments));
}
}  // namespace

void DeclarerFonction(const TBaseSql& base, const char* nom, int nombreArguments, TFonctionReelle fonction)
{
    Q_ASSERT(nombreArguments <= 8);
    // A server has its own, created with its tables (catalogueserveur.h).
    if (base.SurServeur())
        return;
    if (sqlite3_create_function_v2(base.Handle(), nom, nombreArguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   reinterpret_cast<void*>(fonction), &AppelerFonction, nullptr, nullptr, nullptr)
        != SQLITE_OK)
        base.Echec();
}

QString AppelFonction(const TBaseSql& base, const char* nom, const QStringList& arguments)
{
    if (!base.SurServeur())
        return QStringLiteral("%1(%2)").arg(QLatin1String(nom), arguments.join(", "));
    QStringList types;
    for (const QString& a : arguments)
        types << QStringLiteral("CAST(%1 AS DOUBLE PRECISION)").arg(a);
    return QStringLiteral("public.%1(%2)").arg(QLatin1String(nom), types.join(", "));
}

namespace {
// In a file: long words through the index, in one MATCH; short ones on the
// index's texts of the rows found. CROSS JOIN keeps the index as the outer
// loop: otherwise SQLite may walk the origin's products and ask the index
// about each of them.
QString RechercheFichier(const TRequeteRecherche& r)
{
    QString sql = QStringLiteral(
                      "SELECT %1 FROM RechercheProduit CROSS JOIN Produit p"
                      " ON p.rowid = RechercheProduit.rowid WHERE 1")
                      .arg(QLatin1String(ColonnesLigneProduit));
    if (r.parIndex)
        sql += QStringLiteral(" AND RechercheProduit MATCH ?");
    // Each word is looked for in any of the three texts.
    for (qsizetype i = 0; i < r.mots; ++i)
        sql += QStringLiteral(
            " AND (RechercheProduit.Libelle LIKE ? ESCAPE '\\' OR RechercheProduit.Reference LIKE ? ESCAPE '\\'"
            " OR RechercheProduit.CodeExport LIKE ? ESCAPE '\\')");
    if (r.externe)
        sql += QStringLiteral(" AND p.Externe = ?");
    return sql;
}

// On a server, without an index the module could create with a shop's
// rights: the three texts of each product, joined by a line feed (which no
// word holds) and folded once as the file's index folds them, must match
// every word. Rows come in the file's order, and no more than are shown.
QString RechercheServeur(const TRequeteRecherche& r)
{
    const QString textes = QStringLiteral(
        "(COALESCE(p.Libelle, '') || chr(10) || COALESCE(p.Reference, '') || chr(10) || COALESCE(p.CodeExport, ''))");
    QString de, vers, plie = textes;
    for (const QChar lettre : LettresPliees()) {
        const QString simple = PlierRecherche(lettre);
        if (simple.size() == 1) {
            de += lettre;
            vers += simple;
        } else {
            plie = QStringLiteral("replace(%1, '%2', '%3')").arg(plie, lettre, simple);
        }
    }
    // Most texts are plain ASCII (one byte a letter): they skip the
    // replacements, which cost most of a row's time.
    plie = QStringLiteral("lower(CASE WHEN octet_length(%1) = length(%1) THEN %1 ELSE translate(%2, '%3', '%4') END)")
               .arg(textes, plie, de, vers);
    QString sql = QStringLiteral(
                      "SELECT %1 FROM Produit p WHERE %2 LIKE ALL (string_to_array(CAST(? AS TEXT), chr(10)))")
                      .arg(QLatin1String(ColonnesLigneProduit), plie);
    if (r.categories)
        sql += QStringLiteral(
            " AND (p.Externe, p.IdProduitType) IN (SELECT * FROM unnest(CAST(? AS BIGINT[]), CAST(? AS BIGINT[])))");
    if (r.externe)
        sql += QStringLiteral(" AND p.Externe = ?");
    return sql + QStringLiteral(" ORDER BY p.%1 LIMIT ?").arg(QLatin1String(IdLigne));
}
}  // namespace

QString RequeteRecherche(const TBaseSql& base, const TRequeteRecherche& r)
{
    return base.SurServeur() ? RechercheServeur(r) : RechercheFichier(r);
}

namespace {
const char* const SequenceMouvements = "pg_get_serial_sequence('\"transaction\"', 'idtransaction')";
}

qint64 NumeroMouvement(const TBaseSql& base, qint64 auMoins)
{
    return base
        .Valeur(QStringLiteral("SELECT setval(%1, GREATEST(nextval(%1), %2))")
                    .arg(QLatin1String(SequenceMouvements))
                    .arg(auMoins))
        .toLongLong();
}

void AlignerNumerosMouvements(const TBaseSql& base)
{
    if (!base.SurServeur())
        return;
    // The next number is then exactly the one set (none is lost).
    base.Valeur(QStringLiteral("SELECT setval(%1, GREATEST(nextval(%1), COALESCE((SELECT MAX(IdTransaction) FROM "
                               "\"Transaction\"), 0) + 1), false)")
                    .arg(QLatin1String(SequenceMouvements)));
}
}  // namespace Dialecte

// ---------------------------------------------------------------------------
// Bulk load

namespace {
// "INSERT INTO t [(a, b)] VALUES (x, y)": the table, the columns (empty for
// all of them) and the values, each a parameter ($n) or a literal. The
// module's loads name no literal holding a comma or a parenthesis.
struct TInsertion {
    QString table;
    QStringList colonnes;
    QStringList valeurs;
};

TInsertion AnalyserInsertion(const QString& sql)
{
    static const QRegularExpression forme(
        QStringLiteral(R"(^\s*INSERT\s+INTO\s+("?\w+"?)\s*(?:\(([^)]*)\))?\s*VALUES\s*\((.*)\)\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = forme.match(sql);
    if (!m.hasMatch())
        throw EDatabaseError(QStringLiteral("Chargement impossible : instruction inattendue (%1).").arg(sql));
    TInsertion r;
    r.table = m.captured(1);
    for (const QString& c : m.captured(2).split(',', Qt::SkipEmptyParts))
        r.colonnes << c.trimmed();
    for (const QString& v : m.captured(3).split(','))
        r.valeurs << v.trimmed();
    return r;
}
}  // namespace

TChargementSql::TChargementSql(const TBaseSql& base, const QString& insertion, const QString& contexte)
    : m_base(base.Emprunt()), m_insertion(base, insertion, contexte), m_contexte(contexte)
{
    if (!base.SurServeur())
        return;
    const TInsertion i = AnalyserInsertion(QString::fromUtf8(static_cast<const TInstructionPg&>(*m_insertion.m_moteur).Sql()));
    QStringList colonnes = i.colonnes;
    if (colonnes.isEmpty())
        for (const TBaseSql::TColonne& col : m_base.Colonnes(i.table))
            colonnes << col.nom;
    m_copie = "COPY " + i.table + " (" + colonnes.join(", ") + ") FROM STDIN";
    // Literals are sent with each row as the statement would write them.
    for (const QString& v : i.valeurs) {
        if (v.startsWith('$'))
            m_valeurs.push_back({v.mid(1).toInt(), {}});
        else if (v.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0)
            m_valeurs.push_back({0, {}});
        else
            m_valeurs.push_back({0, (v.startsWith('\'') ? v.mid(1).chopped(1).replace("''", "'") : v).toUtf8()});
    }
}

void TChargementSql::Ajouter()
{
    if (!m_base.SurServeur()) {
        m_insertion.Executer();
        m_insertion.Reinitialiser();
        return;
    }
    const std::vector<QByteArray>& p = static_cast<const TInstructionPg&>(*m_insertion.m_moteur).Parametres();
    for (size_t i = 0; i < m_valeurs.size(); ++i) {
        if (i > 0)
            m_tampon += '\t';
        const TValeurCopie& v = m_valeurs[i];
        AjouterChampCopie(m_tampon, v.parametre > 0 ? p[size_t(v.parametre - 1)] : v.litteral);
    }
    m_tampon += '\n';
    ++m_enAttente;
    m_insertion.Reinitialiser();
    // The rows stream to the server while the next ones are built; the
    // server checks them as they come, and reports at Terminer().
    if (m_tampon.size() >= (1 << 16))
        Envoyer();
}

void TChargementSql::Envoyer()
{
    TConnexionPg& c = *m_base.Pg();
    try {
        if (!m_ouverte) {
            c.CommencerCopie(m_copie);
            m_ouverte = true;
            c.finCopie = [this] { Terminer(); };
        }
        c.EnvoyerCopie(m_tampon);
        m_tampon.resize(0);  // keeps the allocation
    } catch (const EDatabaseError& e) {
        Abandonner();
        throw EDatabaseError(ComposerMessage(m_contexte, e.Message(), {}));
    }
}

void TChargementSql::Terminer()
{
    if (!m_ouverte && m_tampon.isEmpty())
        return;
    Envoyer();
    TConnexionPg& c = *m_base.Pg();
    c.finCopie = nullptr;
    m_ouverte = false;
    m_enAttente = 0;
    try {
        c.TerminerCopie();
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(ComposerMessage(m_contexte, e.Message(), {}));
    }
}

void TChargementSql::Abandonner() noexcept
{
    m_tampon.clear();
    m_enAttente = 0;
    if (!m_ouverte)
        return;
    m_ouverte = false;
    TConnexionPg& c = *m_base.Pg();
    c.finCopie = nullptr;
    const TLibpq& pq = c.Pq();
    pq.putCopyEnd(c.Handle(), "abandon");
    while (PGresult* r = pq.getResult(c.Handle()))
        pq.clear(r);
}

TChargementSql::~TChargementSql() { Abandonner(); }
