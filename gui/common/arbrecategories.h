#pragma once
// Category trees, shared by every window that shows one: rows are placed in
// key order, each under the node already made for its parent in the same
// origin, or under the origin's root when its parent is 0. A row whose parent
// has no node yet (missing, or read later) is left out with its descendants.
// Every level shows its nodes by label in the user's locale.

#include "core/store/catalogue.h"
#include "core/store/records.h"

#include <QHash>
#include <QSet>
#include <QTreeWidgetItem>
#include <QVector>

// A tree node that carries its category payload for its whole life and sorts
// its children by label in the user's locale.
class TNoeudCategorie : public QTreeWidgetItem {
public:
    TNoeudCategorie(const QString& libelle, const TObjectNoeud& objet);
    const TObjectNoeud& Objet() const { return m_objet; }
    bool operator<(const QTreeWidgetItem& autre) const override;

private:
    TObjectNoeud m_objet;
};

// The payload of a node made by this unit; nullptr for any other node.
const TObjectNoeud* ObjetNoeud(const QTreeWidgetItem* noeud);

// One processed category row: its payload and its node (null when the row
// could not be placed).
struct TEntreeNoeud {
    TObjectNoeud objet;
    QTreeWidgetItem* noeud;
};

class TTableNoeuds {
public:
    void Vider();
    void Reserver(qsizetype nombre);
    void Ajouter(const TEntreeNoeud& e);
    const QVector<TEntreeNoeud>& Entrees() const { return m_entrees; }
    // Node of the category, or nullptr.
    QTreeWidgetItem* NoeudDe(int idProduitType, int externe) const;
    // Category id of the node, or -1 when the node is not in the table.
    int CategorieDe(const QTreeWidgetItem* noeud) const;

private:
    QVector<TEntreeNoeud> m_entrees;
    QHash<qint64, QTreeWidgetItem*> m_parCategorie;
    QHash<const QTreeWidgetItem*, int> m_parNoeud;
};

// Places the rows of origin `externe` under `racine`, each level sorted,
// recording each row in `table` in the order of `lignes`. `racine` is best
// not yet in a tree: the nodes are then made and ordered away from any view.
void PlacerCategories(QTreeWidgetItem* racine, const QVector<TLigneCategorie>& lignes, int externe,
                      TTableNoeuds& table);

// Hands the built roots to the empty `arbre`, sorted as their levels are,
// and expands every node.
void MontrerArbre(QTreeWidget* arbre, QList<QTreeWidgetItem*> racines);

// What the user made of a shown tree: the nodes collapsed, the current node
// and the scroll position, each node known by its category (a root without
// one by its label), so that a tree built again after another
// workstation's change looks as the user left it.
struct TVueArbre {
    QSet<QString> replies;
    QString courant;  // empty: no current node
    int defilement = 0;
};
TVueArbre VueArbre(const QTreeWidget* arbre);
// Applies it to the rebuilt tree, the current node set without signals.
// False when the current node is gone.
bool RetablirVueArbre(QTreeWidget* arbre, const TVueArbre& vue);
