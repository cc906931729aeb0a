#pragma once
// Read-only view of the stock movements of one product: the stock level over
// time as a chart above the list of the movements.

#include "core/catalogue/historique.h"
#include "ui_fichestockhistorique.h"

#include <QDialog>

class QChartView;
class TdmKestravel;

class TFicheStockHistorique : public QDialog, private Ui::TFicheStockHistorique {
    Q_OBJECT
public:
    explicit TFicheStockHistorique(TdmKestravel& dm, QWidget* parent = nullptr);
    void SetExterne(int externe) { m_externe = externe; }
    void SetIdProduit(int idProduit) { m_idProduit = idProduit; }
    void SetTitre(const QString& titre) { setWindowTitle(titre); }

    // The curve drawn, once the window has been shown.
    const TCourbeStock& Courbe() const { return m_courbe; }

public slots:
    // Fills the chart and the list once, when the window is first shown.
    void FormActivate();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void TracerCourbe(int stockMini);
    // The movement under the pointer, in a tooltip and in the summary line.
    void Survol(const QPointF& point, bool dessus);

    TdmKestravel& m_dm;
    int m_externe = 0;
    int m_idProduit = 0;
    bool m_rempli = false;
    QVector<TMouvementStock> m_mouvements;
    TCourbeStock m_courbe;
    QChartView* m_vue;
};
