#pragma once
// Product lists of the settings window and of the browser. The rows of a
// list are read once into a compact block (numbers in place, every text of
// the list in one buffer) and shown through a table model that formats a
// cell only when the view asks for it: a list of 50,000 products costs a few
// megabytes and is dropped in one go.

#include <QAbstractTableModel>
#include <QString>
#include <QStringView>
#include <QVector>
#include <vector>

class QTreeView;
class QWidget;
class TdmKestravel;

// What a list column shows.
enum class TChampProduit {
    Externe, IdProduit, IdProduitType, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock, Categorie
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

// Text order of the lists: the letters A to Z compare without case,
// everything else by character code. Negative, 0 or positive.
int ComparerTexteTri(QStringView a, QStringView b);

struct TColonneProduit {
    TChampProduit champ;
    QString titre;
    bool aDroite = false;
};

class TModeleProduits : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TModeleProduits(QVector<TColonneProduit> colonnes, QObject* parent = nullptr);

    // Replaces the rows, in the order given (a fill does not sort).
    void Remplir(TLignesProduits lignes);
    void Vider() { Remplir(TLignesProduits()); }

    const TLignesProduits& Lignes() const { return m_lignes; }
    // The row shown at display position `ligne`.
    const TLignesProduits::Ligne& Ligne(int ligne) const { return m_lignes[m_ordre[ligne]]; }
    QString Texte(int ligne, int colonne) const;
    const QVector<TColonneProduit>& Colonnes() const { return m_colonnes; }

    // Sorts ascending by the shown text of a column, keeping the current
    // order between equal texts; the selection follows its product.
    void Trier(int colonne);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QVector<TColonneProduit> m_colonnes;
    TLignesProduits m_lignes;
    QVector<int> m_ordre;   // display position → row of m_lignes
};

// A read-only report list over `modele`: whole-row single selection, no
// tree decoration, uniform rows, grid lines.
QTreeView* CreerListeProduits(TModeleProduits* modele, QWidget* parent);

// Display position of the selected row, or -1.
int LigneSelectionnee(const QTreeView* liste);
