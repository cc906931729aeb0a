#include "gui/product/fichestockhistorique.h"

#include "core/catalogue/historique.h"
#include "gui/common/ergonomie.h"
#include "gui/product/controles.h"

#include <QHeaderView>
#include <algorithm>

TFicheStockHistorique::TFicheStockHistorique(TdmKestravel& dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setupUi(this);
    const QList<QPair<QString, int>> colonnes = {
        {"Date", 150}, {"Libellé", 150}, {"Ancienne quantité", 100}, {"Nouvelle quantité", 100}};
    ConfigurerListe(lvStock, colonnes, 0);
    // A title the screen font would cut widens its column; each column then
    // keeps at least its starting width.
    QHeaderView* entete = lvStock->header();
    entete->setMinimumSectionSize(100);
    ElargirAuxTitres(entete);
    QList<int> minimums;
    for (int i = 0; i < entete->count(); ++i)
        minimums << entete->sectionSize(i);
    connect(entete, &QHeaderView::sectionResized, this, [entete, minimums](int i, int, int largeur) {
        if (i < minimums.size() && largeur < minimums[i])
            entete->resizeSection(i, minimums[i]);
    });
    // The width follows the columns, which follow the screen font.
    resize(std::max(520, entete->length() + 20), 300);
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
        new QTreeWidgetItem(
            lvStock,
            {TexteDateMouvement(m.dateMaj), m.libelle, QString::number(m.quantiteOld), QString::number(m.quantiteNew)});
}
