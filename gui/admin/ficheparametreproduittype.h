#pragma once
// Category management: adds, renames and deletes the catalogue's own
// categories, and reports the category left selected to its owner.

#include "gui/common/arbrecategories.h"
#include "ui_ficheparametreproduittype.h"

#include <QDialog>

class QTreeWidgetItem;
class TdmKestravel;

class TFicheParametreProduitType : public QDialog, private Ui::TFicheParametreProduitType {
    Q_OBJECT
public:
    explicit TFicheParametreProduitType(TdmKestravel& dm, QWidget* parent = nullptr);
    TFicheParametreProduitType(const TFicheParametreProduitType&) = delete;
    TFicheParametreProduitType& operator=(const TFicheParametreProduitType&) = delete;

    // Category selected when the window closed (0: the root or none).
    int GetCategorieResultat() const { return m_categorieResultat; }
    int GetCategorieASelectionner() const { return m_categorieASelectionner; }
    // Opens the window on category `id` (0: the root): reloads the tree with it selected.
    void SetCategorieASelectionner(int id);

public slots:
    void tvProduitTypeChange(QTreeWidgetItem* noeud);
    void btnAjouterClick();
    void btnModifierClick();
    void btnSupprimerClick();
    // Every way of closing the window goes through here (FormClose).
    void done(int resultat) override;

private:
    void RemplirArbreCategories();
    QTreeWidgetItem* NoeudSelectionne() const;
    void AfficherLibelle(const QTreeWidgetItem* noeud);

    TdmKestravel& m_dm;
    int m_categorieASelectionner = 0;
    int m_categorieResultat = 0;
    // Cleared while the load selects a node, so the edit keeps its text.
    bool m_majLibelle = true;
    QString m_libelleLu;  // the selected category's label as last read
    TTableNoeuds m_noeuds;
};
