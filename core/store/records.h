#pragma once
// Records that carry catalogue rows between windows. Plain value holders:
// they start zeroed and empty and never touch the database.

#include <QList>
#include <QString>
#include <memory>

// Payload of a category tree node: (category number, origin); (0, origin)
// for an origin's root.
class TObjectNoeud {
public:
    TObjectNoeud(int idProduitType, int externe) : m_idProduitType(idProduitType), m_externe(externe) {}
    int GetIdProduitType() const { return m_idProduitType; }
    int GetExterne() const { return m_externe; }

private:
    int m_idProduitType;
    int m_externe;
};

// A characteristic definition.
class TCaracteristiques {
public:
    virtual ~TCaracteristiques() = default;
    int GetExterne() const { return m_externe; }
    void SetExterne(int v) { m_externe = v; }
    int GetIdProduitCarac() const { return m_idProduitCarac; }
    void SetIdProduitCarac(int v) { m_idProduitCarac = v; }
    QString GetLibelle() const { return m_libelle; }
    void SetLibelle(const QString& v) { m_libelle = v; }
    QString GetUnite() const { return m_unite; }
    void SetUnite(const QString& v) { m_unite = v; }

private:
    int m_externe = 0;
    int m_idProduitCarac = 0;
    QString m_libelle;
    QString m_unite;
};

// A characteristic with the value one product gives it.
class TCaracValeur : public TCaracteristiques {
public:
    QString GetValeur() const { return m_valeur; }
    void SetValeur(const QString& v) { m_valeur = v; }

private:
    QString m_valeur;
};

// Characteristic values travel shared: the editor tells a kept value from a
// new one by object identity.
using TCaracValeurPtr = std::shared_ptr<TCaracValeur>;
using TListeCaracValeurs = QList<TCaracValeurPtr>;

class TProduit {
public:
    int GetExterne() const { return m_externe; }
    void SetExterne(int v) { m_externe = v; }
    int GetIdProduit() const { return m_idProduit; }
    void SetIdProduit(int v) { m_idProduit = v; }
    int GetIdProduitType() const { return m_idProduitType; }
    void SetIdProduitType(int v) { m_idProduitType = v; }
    QString GetDescription() const { return m_description; }
    void SetDescription(const QString& v) { m_description = v; }
    QString GetLibelle() const { return m_libelle; }
    void SetLibelle(const QString& v) { m_libelle = v; }
    QString GetLien() const { return m_lien; }
    void SetLien(const QString& v) { m_lien = v; }
    QString GetReference() const { return m_reference; }
    void SetReference(const QString& v) { m_reference = v; }
    double GetPrixAchatHT() const { return m_prixAchatHT; }
    void SetPrixAchatHT(double v) { m_prixAchatHT = v; }
    double GetPrixTarifHT() const { return m_prixTarifHT; }
    void SetPrixTarifHT(double v) { m_prixTarifHT = v; }
    double GetPrixVenteHT() const { return m_prixVenteHT; }
    void SetPrixVenteHT(double v) { m_prixVenteHT = v; }
    QString GetCodeExport() const { return m_codeExport; }
    void SetCodeExport(const QString& v) { m_codeExport = v; }
    // Creation date as a date text in the user's short date format.
    QString GetDateCreation() const { return m_dateCreation; }
    void SetDateCreation(const QString& v) { m_dateCreation = v; }
    int GetStock() const { return m_stock; }
    void SetStock(int v) { m_stock = v; }
    int GetStockMini() const { return m_stockMini; }
    void SetStockMini(int v) { m_stockMini = v; }
    // The product's characteristic values, or null when none were loaded.
    std::shared_ptr<TListeCaracValeurs> GetCaracValeurs() const { return m_caracValeurs; }
    void SetCaracValeurs(std::shared_ptr<TListeCaracValeurs> v) { m_caracValeurs = std::move(v); }

private:
    int m_externe = 0;
    int m_idProduit = 0;
    int m_idProduitType = 0;
    QString m_description;
    QString m_libelle;
    QString m_lien;
    QString m_reference;
    double m_prixAchatHT = 0;
    double m_prixTarifHT = 0;
    double m_prixVenteHT = 0;
    QString m_codeExport;
    QString m_dateCreation;
    int m_stock = 0;
    int m_stockMini = 0;
    std::shared_ptr<TListeCaracValeurs> m_caracValeurs;
};
