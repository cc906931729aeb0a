#include "core/store/basesql.h"

#include "core/store/basesqlpg.h"
#include "core/store/dialecte.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <sqlite3.h>
#include <cmath>
#include <utility>

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
    const int rc = sqlite3_open_v2(chemin.toUtf8().constData(), &m_base, drapeaux, nullptr);
    m_proprietaire = true;
    if (rc != SQLITE_OK) {
        const QString message = MessageSqlite(m_base, contexte);
        sqlite3_close_v2(m_base);
        m_base = nullptr;
        throw EDatabaseError(message);
    }
    sqlite3_busy_timeout(m_base, 10000);
}

TBaseSql TBaseSql::Serveur(const QString& connexion)
{
    TBaseSql b;
    b.m_pg = new TConnexionPg(connexion);
    b.m_proprietaire = true;
    // Texts travel in UTF-8 whatever the server's or the machine's settings.
    b.Executer(QStringLiteral("SET client_encoding = 'UTF8'"));
    b.SetAttente(10000);
    return b;
}

TBaseSql TBaseSql::Emprunt() const
{
    TBaseSql b;
    b.m_base = m_base;
    b.m_pg = m_pg;
    return b;
}

namespace {
void Fermer(sqlite3* base, TConnexionPg* pg)
{
    sqlite3_close_v2(base);
    delete pg;
}
}  // namespace

TBaseSql::~TBaseSql()
{
    if (m_proprietaire)
        Fermer(m_base, m_pg);
}

TBaseSql::TBaseSql(TBaseSql&& autre) noexcept
    : m_base(std::exchange(autre.m_base, nullptr)),
      m_pg(std::exchange(autre.m_pg, nullptr)),
      m_proprietaire(std::exchange(autre.m_proprietaire, false))
{}

TBaseSql& TBaseSql::operator=(TBaseSql&& autre) noexcept
{
    if (this != &autre) {
        if (m_proprietaire)
            Fermer(m_base, m_pg);
        m_base = std::exchange(autre.m_base, nullptr);
        m_pg = std::exchange(autre.m_pg, nullptr);
        m_proprietaire = std::exchange(autre.m_proprietaire, false);
    }
    return *this;
}

void TBaseSql::Echec(const QString& contexte) const
{
    if (m_pg)
        throw EDatabaseError(ComposerMessage(contexte, m_pg->Message(QStringLiteral("une instruction")), {}));
    throw EDatabaseError(MessageSqlite(m_base, contexte));
}

void TBaseSql::Executer(const QString& sql, const QString& contexte) const
{
    if (m_pg) {
        m_pg->AvantInstruction();
        const TLibpq& pq = Libpq();
        TResultatPg r(pq.exec(m_pg->Handle(), TraduireSqlPg(QByteArrayView(sql.toUtf8())).first.constData()));
        const ExecStatusType etat = r.Handle() ? pq.resultStatus(r.Handle()) : PGRES_FATAL_ERROR;
        if (etat != PGRES_COMMAND_OK && etat != PGRES_TUPLES_OK) {
            const QByteArray raison = r.Handle() ? QByteArray(pq.resultErrorMessage(r.Handle())) : QByteArray();
            throw EDatabaseError(ComposerMessage(
                contexte,
                m_pg->Message(QStringLiteral("une instruction"), raison.isEmpty() ? nullptr : raison.constData()), {}));
        }
        m_pg->CompterModifications(r.Handle());
        return;
    }
    if (!m_base)
        Echec(contexte);
    if (sqlite3_exec(m_base, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Echec(contexte);
}

QVariant TBaseSql::Valeur(const QString& sql, const QString& contexte) const
{
    TInstructionSql q(*this, sql, contexte);
    return q.Etape() ? q.Valeur(0) : QVariant();
}

QVector<TBaseSql::TColonne> TBaseSql::Colonnes(const QString& table) const
{
    QVector<TColonne> r;
    TInstructionSql q(*this, Dialecte::ColonnesTable(*this, table),
                      QStringLiteral("Lecture de la table %1 impossible.").arg(table));
    while (q.Etape())
        r.push_back({q.Texte(1), q.Texte(2).toUpper()});
    return r;
}

bool TBaseSql::EnTransaction() const
{
    if (m_pg)
        return Libpq().transactionStatus(m_pg->Handle()) != PQTRANS_IDLE;
    return m_base && !sqlite3_get_autocommit(m_base);
}

qint64 TBaseSql::Modifications() const { return m_pg ? m_pg->modifications : sqlite3_total_changes64(m_base); }

qint64 TBaseSql::LignesModifiees() const { return m_pg ? m_pg->lignesModifiees : sqlite3_changes64(m_base); }

void TBaseSql::SetAttente(int millisecondes) const
{
    // On the server, zero would mean "wait for ever".
    if (m_pg)
        Executer(QStringLiteral("SET lock_timeout = %1").arg(std::max(millisecondes, 1)));
    else
        sqlite3_busy_timeout(m_base, millisecondes);
}

void TBaseSql::AnnulerTransaction() const noexcept
{
    if (m_pg)
        TResultatPg(Libpq().exec(m_pg->Handle(), "ROLLBACK"));
    else
        sqlite3_exec(m_base, "ROLLBACK", nullptr, nullptr, nullptr);
}

void TBaseSql::Interrompre() const
{
    if (m_pg)
        m_pg->Annuler();
    else if (m_base)
        sqlite3_interrupt(m_base);
}

namespace {
int Surveiller(void* rappel) { return (*static_cast<const std::function<bool()>*>(rappel))() ? 0 : 1; }
}  // namespace

void TBaseSql::SetSurveillance(int pas, const std::function<bool()>* rappel) const
{
    if (m_pg)
        return;
    if (rappel && *rappel)
        sqlite3_progress_handler(m_base, pas, Surveiller, const_cast<std::function<bool()>*>(rappel));
    else
        sqlite3_progress_handler(m_base, 0, nullptr, nullptr);
}

// ---------------------------------------------------------------------------
// Statement

TInstructionSql::TInstructionSql(const TBaseSql& base, QByteArrayView sql, const QString& contexte)
    : m_base(base.Handle()), m_contexte(contexte)
{
    if (base.Pg()) {
        m_pg = std::make_unique<TInstructionPg>(*base.Pg(), sql, contexte);
        return;
    }
    if (!m_base)
        Echec();
    if (sqlite3_prepare_v2(m_base, sql.data(), int(sql.size()), &m_st, nullptr) != SQLITE_OK)
        Echec();
}

TInstructionSql::TInstructionSql(const TBaseSql& base, const QString& sql, const QString& contexte)
    : TInstructionSql(base, QByteArrayView(sql.toUtf8()), contexte)
{}

TInstructionSql::TInstructionSql() = default;

TInstructionSql::~TInstructionSql() { sqlite3_finalize(m_st); }

TInstructionSql::TInstructionSql(TInstructionSql&& autre) noexcept
    : m_base(autre.m_base),
      m_st(std::exchange(autre.m_st, nullptr)),
      m_pg(std::move(autre.m_pg)),
      m_contexte(std::move(autre.m_contexte))
{}

TInstructionSql& TInstructionSql::operator=(TInstructionSql&& autre) noexcept
{
    if (this != &autre) {
        sqlite3_finalize(m_st);
        m_base = autre.m_base;
        m_st = std::exchange(autre.m_st, nullptr);
        m_pg = std::move(autre.m_pg);
        m_contexte = std::move(autre.m_contexte);
    }
    return *this;
}

void TInstructionSql::Echec() const { throw EDatabaseError(MessageSqlite(m_base, m_contexte)); }

void TInstructionSql::Verifier(int rc) const
{
    if (rc != SQLITE_OK)
        Echec();
}

void TInstructionSql::LierNul(int position)
{
    if (m_pg)
        m_pg->Lier(position, QByteArray());
    else
        Verifier(sqlite3_bind_null(m_st, position));
}

void TInstructionSql::LierEntier(int position, qint64 valeur)
{
    if (m_pg)
        m_pg->Lier(position, QByteArray::number(valeur));
    else
        Verifier(sqlite3_bind_int64(m_st, position, valeur));
}

void TInstructionSql::LierReel(int position, double valeur)
{
    if (!m_pg)
        Verifier(sqlite3_bind_double(m_st, position, valeur));
    else if (std::isnan(valeur))
        m_pg->Lier(position, "NaN");
    else if (std::isinf(valeur))
        m_pg->Lier(position, valeur > 0 ? "Infinity" : "-Infinity");
    else
        m_pg->Lier(position, QByteArray::number(valeur, 'g', 17));
}

void TInstructionSql::LierTexte(int position, QByteArrayView utf8)
{
    if (m_pg) {
        m_pg->Lier(position, utf8.isNull() ? QByteArray() : QByteArray(utf8.data(), utf8.size()));
        return;
    }
    Verifier(sqlite3_bind_text(m_st, position, utf8.data(), int(utf8.size()), SQLITE_TRANSIENT));
}

void TInstructionSql::LierTexte(int position, const QString& texte)
{
    const QByteArray u = texte.toUtf8();
    LierTexte(position, QByteArrayView(u));
}

void TInstructionSql::Lier(int position, const QVariant& v)
{
    switch (v.typeId()) {
        case QMetaType::UnknownType:
            LierNul(position);
            return;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Bool:
        case QMetaType::Short:
            LierEntier(position, v.toLongLong());
            return;
        case QMetaType::Double:
        case QMetaType::Float:
            LierReel(position, v.toDouble());
            return;
        default:
            if (v.isNull())
                LierNul(position);
            else
                LierTexte(position, v.toString());
    }
}

void TInstructionSql::Lier(const QVariantList& valeurs)
{
    for (int i = 0; i < valeurs.size(); ++i)
        Lier(i + 1, valeurs[i]);
}

int TInstructionSql::Parametre(const QString& nom) const
{
    if (m_pg)
        return m_pg->Parametre(nom);
    return sqlite3_bind_parameter_index(m_st, nom.toUtf8().constData());
}

bool TInstructionSql::Etape()
{
    if (m_pg)
        return m_pg->Etape();
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

void TInstructionSql::Executer()
{
    while (Etape()) {
    }
}

void TInstructionSql::Reinitialiser()
{
    if (m_pg) {
        m_pg->Rembobiner();
        m_pg->EffacerParametres();
        return;
    }
    sqlite3_reset(m_st);
    sqlite3_clear_bindings(m_st);
}

void TInstructionSql::Rembobiner()
{
    if (m_pg)
        m_pg->Rembobiner();
    else
        sqlite3_reset(m_st);
}

int TInstructionSql::NombreColonnes() const { return m_pg ? m_pg->NombreColonnes() : sqlite3_column_count(m_st); }

bool TInstructionSql::EstNul(int colonne) const
{
    return m_pg ? m_pg->EstNul(colonne) : sqlite3_column_type(m_st, colonne) == SQLITE_NULL;
}

qint64 TInstructionSql::Entier(int colonne) const
{
    return m_pg ? m_pg->Entier(colonne) : sqlite3_column_int64(m_st, colonne);
}

double TInstructionSql::Reel(int colonne) const
{
    return m_pg ? m_pg->Reel(colonne) : sqlite3_column_double(m_st, colonne);
}

QByteArrayView TInstructionSql::Octets(int colonne) const
{
    if (m_pg)
        return m_pg->Octets(colonne);
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_st, colonne));
    return t ? QByteArrayView(t, sqlite3_column_bytes(m_st, colonne)) : QByteArrayView();
}

QString TInstructionSql::Texte(int colonne) const { return QString::fromUtf8(Octets(colonne)); }

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

QVariant TInstructionSql::Valeur(int colonne) const
{
    if (m_pg)
        return m_pg->Valeur(colonne);
    QVariant v;
    LireValeur(v, m_st, colonne);
    return v;
}

void TInstructionSql::LireLigne(QVector<QVariant>& ligne) const
{
    if (m_pg) {
        ligne.resize(m_pg->NombreColonnes());
        for (int i = 0; i < ligne.size(); ++i)
            ligne[i] = m_pg->Valeur(i);
        return;
    }
    const int n = sqlite3_column_count(m_st);
    ligne.resize(n);
    QVariant* valeurs = ligne.data();
    for (int i = 0; i < n; ++i)
        LireValeur(valeurs[i], m_st, i);
}

// ---------------------------------------------------------------------------
// Transaction

TTransactionSql::TTransactionSql(const TBaseSql& base) : m_base(base.Emprunt())
{
    if (!m_base.EnTransaction()) {
        m_base.Executer(Dialecte::DebutEcriture(m_base));
        m_proprietaire = true;
    }
}

TTransactionSql::~TTransactionSql()
{
    if (m_proprietaire && !m_fini) {
        // Nothing more can be done while unwinding.
        m_base.AnnulerTransaction();
    }
}

void TTransactionSql::Commit()
{
    if (m_proprietaire && !m_fini)
        m_base.Executer(QStringLiteral("COMMIT"));
    m_fini = true;
}

TLectureSql::TLectureSql(const TBaseSql& base) : m_base(base.Emprunt())
{
    if (m_base.EnTransaction())
        return;
    m_base.Executer(Dialecte::DebutLecture(m_base));
    m_proprietaire = true;
    // The snapshot is taken now, not at the caller's first statement.
    m_base.Valeur(QStringLiteral("SELECT COUNT(*) FROM ProduitType WHERE 0 = 1"));
}

TLectureSql::~TLectureSql()
{
    if (m_proprietaire)
        m_base.AnnulerTransaction();
}
