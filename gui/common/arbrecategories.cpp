#include "gui/common/arbrecategories.h"

#include <QScrollBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {
constexpr int TypeNoeudCategorie = QTreeWidgetItem::UserType + 1;
qint64 Cle(int id, int externe) { return (qint64(externe) << 32) | quint32(id); }

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

bool TNoeudCategorie::operator<(const QTreeWidgetItem& autre) const
{
    return QString::localeAwareCompare(text(0), autre.text(0)) < 0;
}

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

void PlacerCategories(QTreeWidgetItem* racine, const QVector<TLigneCategorie>& lignes, int externe, TTableNoeuds& table,
                      const std::function<void(const TEntreeNoeud&)>& apresChaque)
{
    for (const TLigneCategorie& l : lignes) {
        if (l.externe != externe)
            continue;
        const TObjectNoeud objet(l.idProduitType, externe);
        QTreeWidgetItem* parent = l.idParent == 0 ? racine : table.NoeudDe(l.idParent, externe);
        QTreeWidgetItem* noeud = nullptr;
        if (parent) {
            noeud = new TNoeudCategorie(l.libelle, objet);
            parent->addChild(noeud);
        }
        const TEntreeNoeud e{objet, noeud};
        table.Ajouter(e);
        if (apresChaque)
            apresChaque(e);
    }
}

void TerminerArbre(QTreeWidget* arbre)
{
    arbre->sortItems(0, Qt::AscendingOrder);
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
