#pragma once
// What each database engine provides behind the statement layer
// (basesql.h): a connection and its statements. Internal to the store; the
// implementations are basesqlite.* (the catalogue file) and basesqlpg.* (a
// catalogue on a server).

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

class TMoteurInstruction {
public:
    virtual ~TMoteurInstruction() = default;
    virtual void LierNul(int position) = 0;
    virtual void LierEntier(int position, qint64 valeur) = 0;
    virtual void LierReel(int position, double valeur) = 0;
    virtual void LierTexte(int position, QByteArrayView utf8) = 0;
    virtual int Parametre(const QString& nom) const = 0;
    virtual bool Etape() = 0;
    virtual void Reinitialiser() = 0;
    virtual void Rembobiner() = 0;
    virtual int NombreColonnes() const = 0;
    virtual bool EstNul(int colonne) const = 0;
    virtual qint64 Entier(int colonne) const = 0;
    virtual double Reel(int colonne) const = 0;
    virtual QByteArrayView Octets(int colonne) const = 0;
    virtual QVariant Valeur(int colonne) const = 0;
    virtual void LireLigne(QVector<QVariant>& ligne) const = 0;
};

class TMoteurConnexion {
public:
    virtual ~TMoteurConnexion() = default;
    virtual bool Serveur() const = 0;
    virtual std::unique_ptr<TMoteurInstruction> Preparer(QByteArrayView sql, const QString& contexte) = 0;
    virtual void Executer(const QString& sql, const QString& contexte) = 0;
    virtual bool EnTransaction() const = 0;
    virtual qint64 Modifications() const = 0;
    virtual qint64 LignesModifiees() const = 0;
    virtual void SetAttente(int millisecondes) = 0;
    virtual void AnnulerTransaction() noexcept = 0;
    virtual void Interrompre() = 0;
    virtual void SetSurveillance(int pas, const std::function<bool()>* rappel) = 0;
    // The French message for the connection's last failure.
    virtual QString MessageEchec(const QString& contexte) const = 0;
};
