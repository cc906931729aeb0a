#include "gui/common/arbrecategories.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>

namespace {
constexpr int TypeNoeudCategorie = QTreeWidgetItem::UserType + 1;
qint64 Cle(int id, int externe) { return (qint64(externe) << 32) | quint32(id); }

// The order of the labels of one level.
bool LibelleAvant(const QString& a, const QString& b) { return QString::localeAwareCompare(a, b) < 0; }

QString CleVue(const QTreeWidgetItem* noeud)
{
    if (const TObjectNoeud* objet = ObjetNoeud(noeud))
        return QStringLiteral("%1/%2").arg(objet->GetExterne()).arg(objet->GetIdProduitType());
    return QLatin1Char('#') + noeud->text(0);
}
}  // namespace

TNoeudCategorie::TNoeudCategorie(const QString& libelle, const TObjectNoeud& objet)
    : QTreeWidgetItem(QStringList{libelle}, TypeNoeudCategorie), m_objet(objet)
{}

bool TNoeudCategorie::operator<(const QTreeWidgetItem& autre) const { return LibelleAvant(text(0), autre.text(0)); }

const TObjectNoeud* ObjetNoeud(const QTreeWidgetItem* noeud)
{
    if (!noeud || noeud->type() != TypeNoeudCategorie)
        return nullptr;
    return &static_cast<const TNoeudCategorie*>(noeud)->Objet();
}

void TTableNoeuds::Vider()
{
    m_entrees.clear();
    m_parCategorie.clear();
    m_parNoeud.clear();
}

void TTableNoeuds::Reserver(qsizetype nombre)
{
    m_entrees.reserve(nombre);
    m_parCategorie.reserve(nombre);
    m_parNoeud.reserve(nombre);
}

void TTableNoeuds::Ajouter(const TEntreeNoeud& e)
{
    m_entrees.push_back(e);
    if (e.noeud) {
        m_parCategorie.insert(Cle(e.objet.GetIdProduitType(), e.objet.GetExterne()), e.noeud);
        m_parNoeud.insert(e.noeud, e.objet.GetIdProduitType());
    }
}

QTreeWidgetItem* TTableNoeuds::NoeudDe(int idProduitType, int externe) const
{
    return m_parCategorie.value(Cle(idProduitType, externe), nullptr);
}

int TTableNoeuds::CategorieDe(const QTreeWidgetItem* noeud) const { return m_parNoeud.value(noeud, -1); }

void PlacerCategories(QTreeWidgetItem* racine, const QVector<TLigneCategorie>& lignes, int externe, TTableNoeuds& table)
{
    // The nodes are made in key order, which decides what is placed; each
    // parent then takes its children at once, sorted by label (a stable sort
    // of the rows in key order, as a tree widget's own sort would order
    // them), so that no level is sorted again once in a tree.
    struct TEnfant {
        const TLigneCategorie* ligne;
        QTreeWidgetItem* noeud;
    };
    QHash<QTreeWidgetItem*, QVector<TEnfant>> enfants;
    QVector<QTreeWidgetItem*> parents;  // in the order they get their first child
    table.Reserver(table.Entrees().size() + lignes.size());
    for (const TLigneCategorie& l : lignes) {
        if (l.externe != externe)
            continue;
        const TObjectNoeud objet(l.idProduitType, externe);
        QTreeWidgetItem* parent = l.idParent == 0 ? racine : table.NoeudDe(l.idParent, externe);
        QTreeWidgetItem* noeud = nullptr;
        if (parent) {
            noeud = new TNoeudCategorie(l.libelle, objet);
            QVector<TEnfant>& freres = enfants[parent];
            if (freres.isEmpty())
                parents.push_back(parent);
            freres.push_back({&l, noeud});
        }
        table.Ajouter({objet, noeud});
    }
    for (QTreeWidgetItem* parent : parents) {
        QVector<TEnfant>& freres = enfants[parent];
        std::stable_sort(freres.begin(), freres.end(), [](const TEnfant& a, const TEnfant& b) {
            return LibelleAvant(a.ligne->libelle, b.ligne->libelle);
        });
        QList<QTreeWidgetItem*> noeuds;
        noeuds.reserve(freres.size());
        for (const TEnfant& e : freres) {
            // A category without subcategories says so: expanding the tree
            // then passes over it rather than recording it as expanded.
            // Trees are built again, never grown, when categories change.
            if (!enfants.contains(e.noeud))
                e.noeud->setFlags(e.noeud->flags() | Qt::ItemNeverHasChildren);
            noeuds.push_back(e.noeud);
        }
        parent->addChildren(noeuds);
    }
}

void MontrerArbre(QTreeWidget* arbre, QList<QTreeWidgetItem*> racines)
{
    std::stable_sort(racines.begin(), racines.end(),
                     [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) { return *a < *b; });
    arbre->addTopLevelItems(racines);
    // The tree reads as sorted on its first column, as after sortItems.
    arbre->header()->setSortIndicator(0, Qt::AscendingOrder);
    arbre->expandAll();
}

TVueArbre VueArbre(const QTreeWidget* arbre)
{
    TVueArbre vue;
    vue.defilement = arbre->verticalScrollBar()->value();
    if (arbre->currentItem())
        vue.courant = CleVue(arbre->currentItem());
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(arbre)); *it; ++it)
        if ((*it)->childCount() > 0 && !(*it)->isExpanded())
            vue.replies.insert(CleVue(*it));
    return vue;
}

bool RetablirVueArbre(QTreeWidget* arbre, const TVueArbre& vue)
{
    QTreeWidgetItem* courant = nullptr;
    for (QTreeWidgetItemIterator it(arbre); *it; ++it) {
        const QString cle = CleVue(*it);
        if (vue.replies.contains(cle))
            (*it)->setExpanded(false);
        if (!vue.courant.isEmpty() && cle == vue.courant)
            courant = *it;
    }
    {
        const QSignalBlocker bloque(arbre);
        arbre->setCurrentItem(courant);
    }
    arbre->verticalScrollBar()->setValue(vue.defilement);
    return courant || vue.courant.isEmpty();
}
