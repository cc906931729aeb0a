#pragma once
// Catalogue settings window, the main window of CONFIG mode: the internal
// category tree on the left, the products of the selected category on the
// right, and the administration actions around them.

#include "core/store/lignesproduits.h"
#include "core/store/records.h"
#include "gui/admin/arbreinterne.h"
#include "ui_ficheparametreproduit.h"

#include <QWidget>
#include <optional>

class QTreeWidgetItem;
class TdmKestravel;
class TModeleProduits;
class TRechercheListe;
class TVeilleCatalogue;

class TFicheParametreProduit : public QWidget, private Ui::TFicheParametreProduit {
    Q_OBJECT
public:
    explicit TFicheParametreProduit(TdmKestravel& dm, QWidget* parent = nullptr);
    ~TFicheParametreProduit() override;
    TFicheParametreProduit(const TFicheParametreProduit&) = delete;
    TFicheParametreProduit& operator=(const TFicheParametreProduit&) = delete;

    // Category that the next tree load selects (0: the root).
    int GetCategorieASelectionner() const { return m_categorieASelectionner; }
    void SetCategorieASelectionner(int id) { m_categorieASelectionner = id; }

    // Reloads the category tree and selects `CategorieASelectionner`.
    void RemplirArbreCategories();
    // Lists the products of one category by ascending number.
    void AfficherProduits(int externe, int idProduitType);
    // Deletes the selected product after confirmation (the list is not reloaded).
    void SupprimerProduit();
    // Moves the product shown at display position `ligne` into category
    // `cible`.
    void DeplacerProduit(int ligne, int cible);

    // Another process changed the catalogue: the list shown is read again,
    // keeping its sort, selection and scroll position.
    void CatalogueChange();

    // Column by which product lists sort, shared by the whole process.
    static int ColonneTri();

public slots:
    void tvProduitTypeChange(QTreeWidgetItem* noeud);
    void btnAjouterProduitTypeClick();
    void btnAjouterProduitClick();
    void lvProduitsDblClick();
    void btnSupprimerClick();
    void btnDuppliquerClick();
    void btnImprimerClick();
    void miHausseClick();
    void btnExportClick();
    void btnImportClick();
    void btnReapprovisionnerClick();
    void lvProduitsColumnClick(int colonne);

public:
    // Drag and drop of a product row onto a category (positions in the
    // tree's viewport).
    void lvProduitsMouseDown(const QPoint& position);
    bool tvProduitTypeDragOver(const QObject* source) const;
    void tvProduitTypeDragDrop(const QObject* source, const QPoint& position);
    void tvProduitTypeEndDrag();

    // The selected tree node, or nullptr.
    QTreeWidgetItem* NoeudSelectionne() const;
    // IdProduitType of the selected node; 0 with no node or no payload.
    int CategorieSelectionnee() const;
    // The product of the selected row, read from the catalogue by the row's
    // keys, with its characteristic values; nothing when no row is selected.
    std::optional<TProduit> ProduitSelectionne() const;
    // The list's rows, in display order.
    const TModeleProduits& ModeleProduits() const { return *m_modele; }

protected:
    void closeEvent(QCloseEvent* evenement) override;
    bool eventFilter(QObject* objet, QEvent* evenement) override;

private slots:
    void tvProduitTypeMenu(const QPoint& position);

private:
    // What the form cannot say: the list's model and columns, the search,
    // the handlers, the place on the screen.
    void PreparerControles();
    void PreparerListe();
    void PreparerRecherche();
    void ConnecterControles();
    void Centrer();
    void ConfigurerClavier();

    // Category management, opened on category `categorie` (0: the root).
    void OuvrirGestionCategories(int categorie);
    void FormCreate();
    void FormClose();
    // The product of a list row, read from the catalogue by its keys.
    TProduit ProduitDeLigne(const TLignesProduits::Ligne& l) const;
    // Opens the editor on the product, then lists the category it ends in.
    void ModifierProduit(TProduit produit);
    void CommencerGlisser();
    // After an action: the tree is read again selecting `categorie`, then
    // the list of that category is filled, once.
    void RechargerArbreEtListe(int categorie);
    // After another workstation's change: the tree built again when its
    // categories differ, as the user left it; the list is not filled anew.
    void ActualiserArbre();
    // After a write: the search results when a search is typed, otherwise
    // the products of `categorie`.
    void ActualiserListe(int categorie);
    void MontrerResultats(TLignesProduits lignes);
    void ActiverBoutonsListe();

    TdmKestravel& m_dm;
    // The tree's first load, made while the controls are built.
    std::future<TArbreInterne> m_arbrePrepare;
    int m_categorieASelectionner = 0;
    TTableNoeuds m_noeuds;
    QVector<TLigneCategorie> m_categoriesLues;  // rows of the tree as shown
    int m_remplissages = 0;  // lists filled so far
    int m_categorieAffichee = -1;  // category last listed, -1 when none
    bool m_chargementArbre = false;  // the tree is being (re)loaded
    QHash<qint64, QString> m_categoriesRecherche;  // categories of the tree, for the search
    TRechercheListe* m_recherche = nullptr;
    TModeleProduits* m_modele = nullptr;
    TVeilleCatalogue* m_veille = nullptr;
    bool m_actualiserResultats = false;  // the next results refresh those shown

    QPoint m_debutGlisser;
    bool m_glisserPossible = false;
    bool m_ferme = false;
};
