#include "gui/product/controles.h"

#include "core/catalogue/caracteristiques.h"

#include <QHeaderView>
#include <QTreeWidget>

void ConfigurerListe(QTreeWidget* liste, const QList<QPair<QString, int>>& colonnes, int colonnesCle)
{
    QStringList titres;
    for (const auto& c : colonnes)
        titres << c.first;
    liste->setColumnCount(int(titres.size()));
    liste->setHeaderLabels(titres);
    liste->setRootIsDecorated(false);
    liste->setItemsExpandable(false);
    liste->setUniformRowHeights(true);
    liste->setSelectionMode(QAbstractItemView::SingleSelection);
    liste->setSelectionBehavior(QAbstractItemView::SelectRows);
    liste->setEditTriggers(QAbstractItemView::NoEditTriggers);
    liste->setAllColumnsShowFocus(true);
    liste->setStyleSheet("QTreeView::item { border-right: 1px solid #d4d4d4; border-bottom: 1px solid #d4d4d4; }");
    liste->header()->setStretchLastSection(false);
    for (int i = 0; i < colonnes.size(); ++i) {
        liste->setColumnWidth(i, colonnes[i].second);
        liste->setColumnHidden(i, i < colonnesCle);
    }
}

QTreeWidgetItem* LigneChoisie(const QTreeWidget* liste)
{
    const QList<QTreeWidgetItem*> choix = liste->selectedItems();
    return choix.isEmpty() ? nullptr : choix.first();
}

void RemplirDefinitions(QTreeWidget* liste, TdmKestravel& dm)
{
    liste->clear();
    for (const TCaracteristiques& d : DefinitionsInternes(dm))
        new QTreeWidgetItem(
            liste,
            {QString::number(d.GetExterne()), QString::number(d.GetIdProduitCarac()), d.GetLibelle(), d.GetUnite()});
}

void RemplirValeurs(QTreeWidget* liste, const TListeCaracValeurs& valeurs)
{
    liste->clear();
    for (const TCaracValeurPtr& c : valeurs)
        new QTreeWidgetItem(liste,
                            {QString::number(c->GetExterne()), QString::number(c->GetIdProduitCarac()), c->GetLibelle(),
                             c->GetValeur(), c->GetUnite()});
}
