#include "product/fichestockhistorique.h"

#include "product/historique.h"
#include "product/controles.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

TFicheStockHistorique::TFicheStockHistorique(TdmKestravel& dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setWindowTitle("Historique du stock pour le produit");
    lvStock = new QTreeWidget(this);
    lvStock->setObjectName("lvStock");
    const QList<QPair<QString, int>> colonnes = {
        {"Date", 150}, {"Libellé", 150}, {"Ancienne quantité", 100}, {"Nouvelle quantité", 100}};
    ConfigurerListe(lvStock, colonnes, 0);
    // Each column keeps at least its starting width.
    QHeaderView* entete = lvStock->header();
    entete->setMinimumSectionSize(100);
    connect(entete, &QHeaderView::sectionResized, this, [entete, colonnes](int i, int, int largeur) {
        if (i < colonnes.size() && largeur < colonnes[i].second)
            entete->resizeSection(i, colonnes[i].second);
    });
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(lvStock);
    resize(520, 300);
}

void TFicheStockHistorique::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TFicheStockHistorique::FormActivate()
{
    if (m_rempli)
        return;
    m_rempli = true;
    for (const TMouvementStock& m : LireMouvementsStock(m_dm, m_externe, m_idProduit))
        new QTreeWidgetItem(lvStock, {TexteDateMouvement(m.dateMaj), m.libelle, QString::number(m.quantiteOld),
                                      QString::number(m.quantiteNew)});
}
