#include "core/store/basesqlite.h"

#include "core/store/basesql.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <sqlite3.h>

// ---------------------------------------------------------------------------
// Connection

TBaseSql::TBaseSql(const QString& chemin, Acces acces, const QString& contexte)
{
    // A connection is used by one thread at a time (a search runs on its
    // own connection; only sqlite3_interrupt comes from another thread, and
    // it takes no lock): the engine's per-call locking would be pure cost.
    int drapeaux = SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    switch (acces) {
        case Acces::Lecture:
            drapeaux |= SQLITE_OPEN_READONLY;
            break;
        case Acces::Ecriture:
            drapeaux |= SQLITE_OPEN_READWRITE;
            break;
        case Acces::Creation:
            drapeaux |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
            break;
    }
    // Even a failed open gives a handle, which holds the reason.
    sqlite3* base = nullptr;
    const int rc = sqlite3_open_v2(chemin.toUtf8().constData(), &base, drapeaux, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = MessageSqlite(base, contexte);
        sqlite3_close_v2(base);
        throw EDatabaseError(message);
    }
    sqlite3_busy_timeout(base, 10000);
    m_moteur = new TBaseSqlite(base);
    m_proprietaire = true;
}

sqlite3* TBaseSql::Handle() const
{
    const auto* c = dynamic_cast<const TBaseSqlite*>(m_moteur);
    return c ? c->Handle() : nullptr;
}

TBaseSqlite::~TBaseSqlite() { sqlite3_close_v2(m_base); }

std::unique_ptr<TMoteurInstruction> TBaseSqlite::Preparer(QByteArrayView sql, const QString& contexte)
{
    return std::make_unique<TInstructionSqlite>(m_base, sql, contexte);
}

QString TBaseSqlite::MessageEchec(const QString& contexte) const { return MessageSqlite(m_base, contexte); }

void TBaseSqlite::Executer(const QString& sql, const QString& contexte)
{
    if (sqlite3_exec(m_base, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw EDatabaseError(MessageEchec(contexte));
}

bool TBaseSqlite::EnTransaction() const { return !sqlite3_get_autocommit(m_base); }

qint64 TBaseSqlite::Modifications() const { return sqlite3_total_changes64(m_base); }

qint64 TBaseSqlite::LignesModifiees() const { return sqlite3_changes64(m_base); }

void TBaseSqlite::SetAttente(int millisecondes) { sqlite3_busy_timeout(m_base, millisecondes); }

void TBaseSqlite::AnnulerTransaction() noexcept { sqlite3_exec(m_base, "ROLLBACK", nullptr, nullptr, nullptr); }

void TBaseSqlite::Interrompre() { sqlite3_interrupt(m_base); }

namespace {
int Surveiller(void* rappel) { return (*static_cast<const std::function<bool()>*>(rappel))() ? 0 : 1; }
}  // namespace

void TBaseSqlite::SetSurveillance(int pas, const std::function<bool()>* rappel)
{
    if (rappel && *rappel)
        sqlite3_progress_handler(m_base, pas, Surveiller, const_cast<std::function<bool()>*>(rappel));
    else
        sqlite3_progress_handler(m_base, 0, nullptr, nullptr);
}

// ---------------------------------------------------------------------------
// Statement

TInstructionSqlite::TInstructionSqlite(sqlite3* base, QByteArrayView sql, const QString& contexte)
    : m_base(base), m_contexte(contexte)
{
    if (sqlite3_prepare_v2(m_base, sql.data(), int(sql.size()), &m_st, nullptr) != SQLITE_OK)
        Echec();
}

TInstructionSqlite::~TInstructionSqlite() { sqlite3_finalize(m_st); }

void TInstructionSqlite::Echec() const { throw EDatabaseError(MessageSqlite(m_base, m_contexte)); }

void TInstructionSqlite::Verifier(int rc) const
{
    if (rc != SQLITE_OK)
        Echec();
}

void TInstructionSqlite::LierNul(int position) { Verifier(sqlite3_bind_null(m_st, position)); }

void TInstructionSqlite::LierEntier(int position, qint64 valeur)
{
    Verifier(sqlite3_bind_int64(m_st, position, valeur));
}

void TInstructionSqlite::LierReel(int position, double valeur)
{
    Verifier(sqlite3_bind_double(m_st, position, valeur));
}

void TInstructionSqlite::LierTexte(int position, QByteArrayView utf8)
{
    Verifier(sqlite3_bind_text(m_st, position, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT));
}

int TInstructionSqlite::Parametre(const QString& nom) const
{
    return sqlite3_bind_parameter_index(m_st, nom.toUtf8().constData());
}

bool TInstructionSqlite::Etape()
{
    const int rc = sqlite3_step(m_st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The message first: the reset would not change it, but it is read from
    // the connection, which the next statement may overwrite.
    const QString message = MessageSqlite(m_base, m_contexte);
    sqlite3_reset(m_st);
    throw EDatabaseError(message);
}

void TInstructionSqlite::Reinitialiser()
{
    sqlite3_reset(m_st);
    sqlite3_clear_bindings(m_st);
}

void TInstructionSqlite::Rembobiner() { sqlite3_reset(m_st); }

int TInstructionSqlite::NombreColonnes() const { return sqlite3_column_count(m_st); }

bool TInstructionSqlite::EstNul(int colonne) const { return sqlite3_column_type(m_st, colonne) == SQLITE_NULL; }

qint64 TInstructionSqlite::Entier(int colonne) const { return sqlite3_column_int64(m_st, colonne); }

double TInstructionSqlite::Reel(int colonne) const { return sqlite3_column_double(m_st, colonne); }

QByteArrayView TInstructionSqlite::Octets(int colonne) const
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_st, colonne));
    return t ? QByteArrayView(t, sqlite3_column_bytes(m_st, colonne)) : QByteArrayView();
}

namespace {
// A page of a walk is read value by value: a text goes into the variant
// where it stays, without the copy a QVariant(QString) would make.
inline void LireValeur(QVariant& v, sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
        case SQLITE_INTEGER:
            v = QVariant(qint64(sqlite3_column_int64(st, i)));
            break;
        case SQLITE_FLOAT:
            v = QVariant(sqlite3_column_double(st, i));
            break;
        case SQLITE_NULL:
            v = QVariant();
            break;
        default:
            v = QVariant(QMetaType::fromType<QString>());
            *static_cast<QString*>(v.data()) = QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
    }
}
}  // namespace

QVariant TInstructionSqlite::Valeur(int colonne) const
{
    QVariant v;
    LireValeur(v, m_st, colonne);
    return v;
}

void TInstructionSqlite::LireLigne(QVector<QVariant>& ligne) const
{
    const int n = sqlite3_column_count(m_st);
    ligne.resize(n);
    QVariant* valeurs = ligne.data();
    for (int i = 0; i < n; ++i)
        LireValeur(valeurs[i], m_st, i);
}
