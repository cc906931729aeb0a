#pragma once
// Products as the lists show them, read once into a compact block: numbers
// in place, every text of the list in one buffer. A list of 50,000 products
// costs a few megabytes and is dropped in one go.

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <vector>

class TdmKestravel;
class TInstructionSql;

// What a list column shows.
enum class TChampProduit {
    Externe,
    IdProduit,
    IdProduitType,
    Libelle,
    Reference,
    PrixTarifHT,
    PrixAchatHT,
    PrixVenteHT,
    Stock,
    Categorie
};

class TLignesProduits {
public:
    struct Ligne {
        int externe = 0;
        int idProduit = 0;
        int idProduitType = 0;
        int stock = 0;
        double prixTarifHT = 0;
        double prixAchatHT = 0;
        double prixVenteHT = 0;
        // The row's label, reference and category name follow each other
        // in the text buffer from `debut`.
        quint32 debut = 0;
        quint32 lgLibelle = 0;
        quint32 lgReference = 0;
        quint32 lgCategorie = 0;
    };

    void Reserver(int lignes);
    // Appends a row; the texts are given as UTF-8 bytes.
    void Ajouter(Ligne ligne, QByteArrayView libelle, QByteArrayView reference, QByteArrayView categorie = {});
    void Ajouter(Ligne ligne, QStringView libelle, QStringView reference, QStringView categorie = {});

    int Taille() const { return int(m_lignes.size()); }
    bool EstVide() const { return m_lignes.empty(); }
    const Ligne& operator[](int i) const { return m_lignes[size_t(i)]; }
    QStringView Libelle(int i) const;
    QStringView Reference(int i) const;
    QStringView Categorie(int i) const;

    // The text the list shows for a field: numbers in decimal, amounts
    // "0.00", the stock empty when it is 0 or below.
    QString Texte(int i, TChampProduit champ) const;

    // Whether both hold the same rows with the same values, in one order.
    bool MemesLignes(const TLignesProduits& autre) const;

    // Bytes held, for the benchmarks.
    size_t Octets() const { return m_lignes.capacity() * sizeof(Ligne) + m_textes.capacity() * sizeof(char16_t); }

private:
    std::vector<Ligne> m_lignes;
    std::vector<char16_t> m_textes;
};

// The products of one category by ascending IdProduit. Read through the
// (Externe, IdProduitType, IdProduit) index: the cost follows the rows
// listed, not the size of the catalogue.
TLignesProduits LireProduitsCategorie(TdmKestravel& dm, int externe, int idProduitType);

// The columns a statement selects for AjouterLigneProduit, in its order,
// from a table or alias `p`.
extern const char* const ColonnesLigneProduit;
// Appends the statement's current row, shown under `categorie`.
void AjouterLigneProduit(TLignesProduits& lignes, const TInstructionSql& st, QStringView categorie = {});

// Text order of the lists: the letters A to Z compare without case,
// everything else by character code. Negative, 0 or positive.
int ComparerTexteTri(QStringView a, QStringView b);
