#pragma once
// The statement layer's file engine: a connection to an SQLite catalogue
// and its statements, seen through the members of basesql.h. Internal to
// the store: callers use TBaseSql and TInstructionSql.

#include "core/store/moteursql.h"

struct sqlite3;
struct sqlite3_stmt;

class TBaseSqlite final : public TMoteurConnexion {
public:
    // Takes the connection `base` (closed with this object).
    explicit TBaseSqlite(sqlite3* base) : m_base(base) {}
    ~TBaseSqlite() override;
    TBaseSqlite(const TBaseSqlite&) = delete;
    TBaseSqlite& operator=(const TBaseSqlite&) = delete;
    sqlite3* Handle() const { return m_base; }

    bool Serveur() const override { return false; }
    std::unique_ptr<TMoteurInstruction> Preparer(QByteArrayView sql, const QString& contexte) override;
    void Executer(const QString& sql, const QString& contexte) override;
    bool EnTransaction() const override;
    qint64 Modifications() const override;
    qint64 LignesModifiees() const override;
    void SetAttente(int millisecondes) override;
    void AnnulerTransaction() noexcept override;
    void Interrompre() override;
    void SetSurveillance(int pas, const std::function<bool()>* rappel) override;
    QString MessageEchec(const QString& contexte) const override;

private:
    sqlite3* m_base;
};

class TInstructionSqlite final : public TMoteurInstruction {
public:
    TInstructionSqlite(sqlite3* base, QByteArrayView sql, const QString& contexte);
    ~TInstructionSqlite() override;
    TInstructionSqlite(const TInstructionSqlite&) = delete;
    TInstructionSqlite& operator=(const TInstructionSqlite&) = delete;

    void LierNul(int position) override;
    void LierEntier(int position, qint64 valeur) override;
    void LierReel(int position, double valeur) override;
    void LierTexte(int position, QByteArrayView utf8) override;
    int Parametre(const QString& nom) const override;
    bool Etape() override;
    void Reinitialiser() override;
    void Rembobiner() override;
    int NombreColonnes() const override;
    bool EstNul(int colonne) const override;
    qint64 Entier(int colonne) const override;
    double Reel(int colonne) const override;
    QByteArrayView Octets(int colonne) const override;
    QVariant Valeur(int colonne) const override;
    void LireLigne(QVector<QVariant>& ligne) const override;

private:
    [[noreturn]] void Echec() const;
    void Verifier(int rc) const;

    sqlite3* m_base;
    sqlite3_stmt* m_st = nullptr;
    QString m_contexte;
};
