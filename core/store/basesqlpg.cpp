#include "core/store/basesqlpg.h"

#include "core/store/basesql.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"

#include <cmath>

namespace {
// The server's built-in types the module's columns and expressions have.
enum : unsigned { Booleen = 16, Entier8 = 20, Entier2 = 21, Entier4 = 23, Reel4 = 700, Reel8 = 701, Numerique = 1700 };

}  // namespace

// ---------------------------------------------------------------------------
// Connection

TBaseSql TBaseSql::Serveur(const QString& connexion)
{
    TBaseSql b;
    b.m_moteur = new TBaseSqlPg(connexion);
    b.m_proprietaire = true;
    // The encoding and the 10 s lock wait are already the session's own
    // (TConnexionPg): no further round trip at each sale's connection.
    return b;
}

TConnexionPg* TBaseSql::Pg() const
{
    auto* b = dynamic_cast<TBaseSqlPg*>(m_moteur);
    return b ? &b->Connexion() : nullptr;
}

std::unique_ptr<TMoteurInstruction> TBaseSqlPg::Preparer(QByteArrayView sql, const QString& contexte)
{
    return std::make_unique<TInstructionPg>(m_c, sql, contexte);
}

QString TBaseSqlPg::MessageEchec(const QString& contexte) const
{
    return ComposerMessage(contexte, m_c.Message(QStringLiteral("une instruction")), {});
}

void TBaseSqlPg::Executer(const QString& sql, const QString& contexte)
{
    m_c.AvantInstruction();
    const TLibpq& pq = m_c.Pq();
    TResultatPg r(pq, pq.exec(m_c.Handle(), TraduireSqlPg(QByteArrayView(sql.toUtf8())).first.constData()));
    const ExecStatusType etat = r.Handle() ? pq.resultStatus(r.Handle()) : PGRES_FATAL_ERROR;
    if (etat != PGRES_COMMAND_OK && etat != PGRES_TUPLES_OK) {
        const QByteArray raison = r.Handle() ? QByteArray(pq.resultErrorMessage(r.Handle())) : QByteArray();
        throw EDatabaseError(ComposerMessage(
            contexte, m_c.Message(QStringLiteral("une instruction"), raison.isEmpty() ? nullptr : raison.constData()),
            {}));
    }
    m_c.CompterModifications(r.Handle());
}

bool TBaseSqlPg::EnTransaction() const { return m_c.Pq().transactionStatus(m_c.Handle()) != PQTRANS_IDLE; }

void TBaseSqlPg::SetAttente(int millisecondes)
{
    // Zero would mean "wait for ever".
    Executer(QStringLiteral("SET lock_timeout = %1").arg(std::max(millisecondes, 1)), {});
}

void TBaseSqlPg::AnnulerTransaction() noexcept { TResultatPg(m_c.Pq(), m_c.Pq().exec(m_c.Handle(), "ROLLBACK")); }

// ---------------------------------------------------------------------------
// Statement

TInstructionPg::TInstructionPg(TConnexionPg& connexion, QByteArrayView sql, const QString& contexte)
    : m_c(connexion), m_contexte(contexte)
{
    int n = 0;
    std::tie(m_sql, n) = TraduireSqlPg(sql, &m_noms);
    m_parametres.resize(size_t(n));
}

void TInstructionPg::Echec(const char* raison) const
{
    throw EDatabaseError(ComposerMessage(m_contexte, m_c.Message(QStringLiteral("une instruction"), raison), {}));
}

void TInstructionPg::Lier(int position, QByteArray texte)
{
    if (position < 1 || size_t(position) > m_parametres.size())
        throw EDatabaseError(ComposerMessage(m_contexte,
                                             QStringLiteral("Paramètre %1 inconnu de l'instruction.").arg(position),
                                             QString::fromUtf8(m_sql)));
    m_parametres[size_t(position - 1)] = std::move(texte);
}

void TInstructionPg::LierReel(int position, double valeur)
{
    if (std::isnan(valeur))
        Lier(position, "NaN");
    else if (std::isinf(valeur))
        Lier(position, valeur > 0 ? "Infinity" : "-Infinity");
    else
        Lier(position, QByteArray::number(valeur, 'g', 17));
}

void TInstructionPg::LierTexte(int position, QByteArrayView utf8)
{
    Lier(position, utf8.isNull() ? QByteArray() : QByteArray(utf8.data(), utf8.size()));
}

void TInstructionPg::EffacerParametres()
{
    for (QByteArray& p : m_parametres)
        p = QByteArray();
}

bool TInstructionPg::Etape()
{
    if (!m_execute) {
        m_c.AvantInstruction();
        const TLibpq& pq = m_c.Pq();
        std::vector<const char*> valeurs(m_parametres.size());
        for (size_t i = 0; i < m_parametres.size(); ++i)
            valeurs[i] = m_parametres[i].isNull() ? nullptr : m_parametres[i].constData();
        m_resultat = TResultatPg(pq, pq.execParams(m_c.Handle(), m_sql.constData(), int(valeurs.size()), nullptr,
                                                   valeurs.data(), nullptr, nullptr, 0));
        PGresult* r = m_resultat.Handle();
        const ExecStatusType etat = r ? pq.resultStatus(r) : PGRES_FATAL_ERROR;
        if (etat != PGRES_COMMAND_OK && etat != PGRES_TUPLES_OK) {
            const QByteArray raison = r ? QByteArray(pq.resultErrorMessage(r)) : QByteArray();
            m_resultat = TResultatPg();
            Echec(raison.isEmpty() ? nullptr : raison.constData());
        }
        m_execute = true;
        m_ligne = -1;
        m_lignes = pq.ntuples(r);
        m_colonnes = pq.nfields(r);
        m_types.resize(size_t(m_colonnes));
        for (int i = 0; i < m_colonnes; ++i)
            m_types[size_t(i)] = pq.ftype(r, i);
        m_c.CompterModifications(r);
    }
    if (m_ligne + 1 >= m_lignes) {
        m_ligne = m_lignes;
        return false;
    }
    ++m_ligne;
    return true;
}

void TInstructionPg::Reinitialiser()
{
    Rembobiner();
    EffacerParametres();
}

void TInstructionPg::Rembobiner()
{
    m_resultat = TResultatPg();
    m_execute = false;
    m_ligne = -1;
    m_lignes = 0;
}

const char* TInstructionPg::Brut(int colonne) const { return m_c.Pq().getvalue(m_resultat.Handle(), m_ligne, colonne); }

bool TInstructionPg::EstNul(int colonne) const
{
    return m_ligne < 0 || m_ligne >= m_lignes || m_c.Pq().getisnull(m_resultat.Handle(), m_ligne, colonne) != 0;
}

qint64 TInstructionPg::Entier(int colonne) const
{
    if (EstNul(colonne))
        return 0;
    const char* t = Brut(colonne);
    if (m_types[size_t(colonne)] == Booleen)
        return t[0] == 't' ? 1 : 0;
    bool ok = false;
    const qint64 v = QByteArrayView(t).toLongLong(&ok);
    // A real read as an integer is truncated, as the file's engine does.
    return ok ? v : qint64(QByteArrayView(t).toDouble());
}

double TInstructionPg::Reel(int colonne) const
{
    if (EstNul(colonne))
        return 0;
    const char* t = Brut(colonne);
    if (m_types[size_t(colonne)] == Booleen)
        return t[0] == 't' ? 1 : 0;
    return QByteArrayView(t).toDouble();
}

QByteArrayView TInstructionPg::Octets(int colonne) const
{
    if (EstNul(colonne))
        return {};
    return QByteArrayView(Brut(colonne), m_c.Pq().getlength(m_resultat.Handle(), m_ligne, colonne));
}

QVariant TInstructionPg::Valeur(int colonne) const
{
    if (EstNul(colonne))
        return {};
    switch (m_types[size_t(colonne)]) {
        case Booleen:
        case Entier2:
        case Entier4:
        case Entier8:
            return QVariant(Entier(colonne));
        case Reel4:
        case Reel8:
            return QVariant(Reel(colonne));
        case Numerique: {
            // A sum of integers is exact on the server; it stays an integer.
            const QByteArrayView t = Octets(colonne);
            if (!t.contains('.') && !t.contains('e') && !t.contains('N'))
                return QVariant(Entier(colonne));
            return QVariant(Reel(colonne));
        }
        default:
            return QVariant(QString::fromUtf8(Octets(colonne)));
    }
}

void TInstructionPg::LireLigne(QVector<QVariant>& ligne) const
{
    ligne.resize(m_colonnes);
    for (int i = 0; i < ligne.size(); ++i)
        ligne[i] = Valeur(i);
}
