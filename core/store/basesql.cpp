#include "core/store/basesql.h"

#include "core/store/dialecte.h"
#include "core/store/echecs.h"
#include "core/store/erreurs.h"
#include "core/store/moteursql.h"

#include <utility>

// Each engine's unit opens its connections (TBaseSql's constructor in
// basesqlite.cpp, TBaseSql::Serveur in basesqlpg.cpp); here the members
// only pass each call on to the engine of the connection.

// ---------------------------------------------------------------------------
// Connection

TBaseSql TBaseSql::Emprunt() const
{
    TBaseSql b;
    b.m_moteur = m_moteur;
    return b;
}

TBaseSql::~TBaseSql()
{
    if (m_proprietaire)
        delete m_moteur;
}

TBaseSql::TBaseSql(TBaseSql&& autre) noexcept
    : m_moteur(std::exchange(autre.m_moteur, nullptr)), m_proprietaire(std::exchange(autre.m_proprietaire, false))
{}

TBaseSql& TBaseSql::operator=(TBaseSql&& autre) noexcept
{
    if (this != &autre) {
        if (m_proprietaire)
            delete m_moteur;
        m_moteur = std::exchange(autre.m_moteur, nullptr);
        m_proprietaire = std::exchange(autre.m_proprietaire, false);
    }
    return *this;
}

bool TBaseSql::SurServeur() const { return m_moteur && m_moteur->Serveur(); }

void TBaseSql::Echec(const QString& contexte) const
{
    if (!m_moteur)
        throw EDatabaseError(ComposerMessage(contexte, QStringLiteral("La base de données n'est pas ouverte."), {}));
    throw EDatabaseError(m_moteur->MessageEchec(contexte));
}

void TBaseSql::Executer(const QString& sql, const QString& contexte) const
{
    if (!m_moteur)
        Echec(contexte);
    m_moteur->Executer(sql, contexte);
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

bool TBaseSql::EnTransaction() const { return m_moteur && m_moteur->EnTransaction(); }

qint64 TBaseSql::Modifications() const { return m_moteur ? m_moteur->Modifications() : 0; }

qint64 TBaseSql::LignesModifiees() const { return m_moteur ? m_moteur->LignesModifiees() : 0; }

void TBaseSql::SetAttente(int millisecondes) const
{
    if (m_moteur)
        m_moteur->SetAttente(millisecondes);
}

void TBaseSql::AnnulerTransaction() const noexcept
{
    if (m_moteur)
        m_moteur->AnnulerTransaction();
}

void TBaseSql::Interrompre() const
{
    if (m_moteur)
        m_moteur->Interrompre();
}

void TBaseSql::SetSurveillance(int pas, const std::function<bool()>* rappel) const
{
    if (m_moteur)
        m_moteur->SetSurveillance(pas, rappel);
}

// ---------------------------------------------------------------------------
// Statement

TInstructionSql::TInstructionSql(const TBaseSql& base, QByteArrayView sql, const QString& contexte)
{
    if (!base.m_moteur)
        base.Echec(contexte);
    m_moteur = base.m_moteur->Preparer(sql, contexte);
}

TInstructionSql::TInstructionSql(const TBaseSql& base, const QString& sql, const QString& contexte)
    : TInstructionSql(base, QByteArrayView(sql.toUtf8()), contexte)
{}

TInstructionSql::TInstructionSql() = default;
TInstructionSql::~TInstructionSql() = default;
TInstructionSql::TInstructionSql(TInstructionSql&& autre) noexcept = default;
TInstructionSql& TInstructionSql::operator=(TInstructionSql&& autre) noexcept = default;

void TInstructionSql::LierNul(int position) { m_moteur->LierNul(position); }

void TInstructionSql::LierEntier(int position, qint64 valeur) { m_moteur->LierEntier(position, valeur); }

void TInstructionSql::LierReel(int position, double valeur) { m_moteur->LierReel(position, valeur); }

void TInstructionSql::LierTexte(int position, QByteArrayView utf8) { m_moteur->LierTexte(position, utf8); }

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

int TInstructionSql::Parametre(const QString& nom) const { return m_moteur->Parametre(nom); }

bool TInstructionSql::Etape() { return m_moteur->Etape(); }

void TInstructionSql::Executer()
{
    while (Etape()) {
    }
}

void TInstructionSql::Reinitialiser() { m_moteur->Reinitialiser(); }

void TInstructionSql::Rembobiner() { m_moteur->Rembobiner(); }

int TInstructionSql::NombreColonnes() const { return m_moteur->NombreColonnes(); }

bool TInstructionSql::EstNul(int colonne) const { return m_moteur->EstNul(colonne); }

qint64 TInstructionSql::Entier(int colonne) const { return m_moteur->Entier(colonne); }

double TInstructionSql::Reel(int colonne) const { return m_moteur->Reel(colonne); }

QByteArrayView TInstructionSql::Octets(int colonne) const { return m_moteur->Octets(colonne); }

QString TInstructionSql::Texte(int colonne) const { return QString::fromUtf8(Octets(colonne)); }

QVariant TInstructionSql::Valeur(int colonne) const { return m_moteur->Valeur(colonne); }

void TInstructionSql::LireLigne(QVector<QVariant>& ligne) const { m_moteur->LireLigne(ligne); }

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
