#pragma once
// Product browser, main window of the VOIR mode: the category trees of the
// three origins, the products of the selected category, and the product view
// from which one product is exported to the host.

#include "core/store/lignesproduits.h"
#include "gui/common/arbrecategories.h"
#include "ui_ficheproduitliste.h"

#include <QHash>

#include <QWidget>

class QTreeWidgetItem;
class TdmKestravel;
class TModeleProduits;
class TRechercheListe;
class TVeilleCatalogue;

class TFicheProduitListe : public QWidget, private Ui::TFicheProduitListe {
    Q_OBJECT
public:
    explicit TFicheProduitListe(TdmKestravel& dm, QWidget* parent = nullptr);

    // Path of the exchange file that an export writes; set once by start-up.
    void DefinirCheminExport(const QString& chemin) { m_cheminExport = chemin; }
    void SetFichierExport(const QString& chemin) { DefinirCheminExport(chemin); }
    const QString& CheminExport() const { return m_cheminExport; }

    // One root per origin that has categories ("Interne", "Externe",
    // "Standard"), each filled by the shared tree rule; selects nothing.
    void RemplirArbreVisualisation();
    // Lists the products of one category; (-1, -1) (a root) keeps the list.
    void AfficherProduitsCategorie(int externe, int idProduitType);

    void tvVisualisationChange();
    // Opens the product view of the selected product; closes this window
    // when the view reports an export.
    void lvProduitsDblClick();

    // The list's rows, in display order.
    const TModeleProduits& ModeleProduits() const { return *m_modele; }

private:
    // The product view of the product of a list row.
    void OuvrirProduit(TLignesProduits::Ligne l);  // a copy: the list may be read again meanwhile
    // Origin of the selected node, -1 when none is selected.
    int OrigineSelectionnee() const;
    // Another process changed the catalogue: the tree and the list shown
    // are read again, keeping what the user selected, sorted and scrolled.
    void CatalogueChange();
    // The tree built again when its categories differ, as the user left it.
    void ActualiserArbre();

    TdmKestravel& m_dm;
    QString m_cheminExport;
    TTableNoeuds m_noeuds;
    QVector<TLigneCategorie> m_categoriesLues;  // rows of the tree as shown
    TModeleProduits* m_modele;
    TRechercheListe* m_recherche;
    TVeilleCatalogue* m_veille;
    bool m_actualiserResultats = false;  // the next results refresh those shown
    QTreeWidgetItem* m_racines[3] = {};
    QHash<qint64, QString> m_categoriesRecherche;  // categories of the tree, for the search
    int m_externeAffiche = -1, m_categorieAffichee = -1;  // category last listed
};
