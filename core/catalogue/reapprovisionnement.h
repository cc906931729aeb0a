#pragma once
// "Produits à réapprovisionner": the internal products whose minimum stock is
// set and whose stock is at or below it, the biggest shortfall first, and
// their CSV file.

#include "core/store/lignesproduits.h"

#include <QByteArray>
#include <QString>
#include <vector>

class TdmKestravel;

// The columns of the list, of its print and of its CSV file.
enum TColonneReappro { ReapproReference, ReapproLibelle, ReapproStock, ReapproMinimum, ReapproManque, ReapproPrixAchat,
                       NbColonnesReappro };
QString TitreColonneReappro(int colonne);

class TListeReapprovisionnement {
public:
    int Taille() const { return int(m_ordre.size()); }
    // Row i of the list, in its order.
    const TLignesProduits::Ligne& Ligne(int i) const { return m_lignes[Rang(i)]; }
    QStringView Reference(int i) const { return m_lignes.Reference(Rang(i)); }
    QStringView Libelle(int i) const { return m_lignes.Libelle(Rang(i)); }
    int Minimum(int i) const { return m_minimums[size_t(Rang(i))]; }
    // What is missing to reach the minimum: 0 for a stock equal to it.
    int Manque(int i) const { return Minimum(i) - Ligne(i).stock; }
    // The text shown for a column: numbers in decimal (a stock of 0 or below
    // too), the purchase price "0.00".
    QString Texte(int i, int colonne) const;

private:
    friend TListeReapprovisionnement LireProduitsAReapprovisionner(TdmKestravel& dm, int idProduitType);
    int Rang(int i) const { return m_ordre[size_t(i)]; }
    TLignesProduits m_lignes;
    std::vector<int> m_minimums;  // beside each row of m_lignes
    std::vector<int> m_ordre;  // rows of m_lignes in list order
};

// The internal products with `StockMini` > 0 and `Stock` ≤ `StockMini`, of the
// whole catalogue when `idProduitType` is 0, otherwise of that category and
// of every category below it; by decreasing shortfall, then by number. Read
// from the index kept for it (indexannexes.h): the cost follows the products
// listed, not the catalogue's size.
TListeReapprovisionnement LireProduitsAReapprovisionner(TdmKestravel& dm, int idProduitType);

// The list as a CSV file of the module: a header line, then one line per
// product in the list's order; Windows-1252 (a character it lacks is written
// "?"), every field quoted and followed by ";", lines ended by CR LF.
QByteArray CsvReapprovisionnement(const TListeReapprovisionnement& liste);
// Writes it to `chemin` through a temporary file: on failure the former file
// stays as it was and EKestravel says why, in French.
void EcrireCsvReapprovisionnement(const TListeReapprovisionnement& liste, const QString& chemin);
