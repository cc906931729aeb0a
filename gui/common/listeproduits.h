#pragma once
// Product lists of the settings window and of the browser: rows read once
// (store/lignesproduits.h) shown through a table model that formats a cell
// only when the view asks for it.

#include <QAbstractTableModel>
#include <QTreeView>
#include <QVector>

#include "core/store/lignesproduits.h"

struct TColonneProduit {
    TChampProduit champ;
    QString titre;
    bool aDroite = false;
};

class TModeleProduits : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TModeleProduits(QVector<TColonneProduit> colonnes, QObject* parent = nullptr);

    // Replaces the rows, in the order given (a fill does not sort). With
    // `avecCategorie` a last column "Catégorie" shows each row's category
    // name (search results span many categories).
    void Remplir(TLignesProduits lignes, bool avecCategorie = false);
    void Vider() { Remplir(TLignesProduits()); }
    // Replaces the rows by a new reading of the same list: the sort, the
    // selection and the current row follow their products (a product gone
    // leaves them), new products come last before the sort. Nothing is
    // signalled when the rows are the same.
    void Actualiser(TLignesProduits lignes);
    bool AvecCategorie() const { return m_avecCategorie; }

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
    const TColonneProduit& Colonne(int colonne) const;
    // Sorts m_ordre by a column, stable, without signals.
    void TrierOrdre(int colonne);

    QVector<TColonneProduit> m_colonnes;
    TColonneProduit m_colonneCategorie{TChampProduit::Categorie, QStringLiteral("Catégorie")};
    bool m_avecCategorie = false;
    TLignesProduits m_lignes;
    QVector<int> m_ordre;  // display position → row of m_lignes
    int m_colonneTri = -1;  // the column last sorted by, -1 in reading order
};

// A read-only report list (over a TModeleProduits): whole-row single
// selection, no tree decoration, uniform rows, grid lines.
class TListeProduits : public QTreeView {
public:
    explicit TListeProduits(QWidget* parent = nullptr);
};

// Display position of the selected row, or -1.
int LigneSelectionnee(const QTreeView* liste);
