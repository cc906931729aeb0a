#pragma once
// Read-only list of the stock movements of one product.

#include "ui_fichestockhistorique.h"

#include <QDialog>

class TdmKestravel;

class TFicheStockHistorique : public QDialog, private Ui::TFicheStockHistorique {
    Q_OBJECT
public:
    explicit TFicheStockHistorique(TdmKestravel& dm, QWidget* parent = nullptr);
    void SetExterne(int externe) { m_externe = externe; }
    void SetIdProduit(int idProduit) { m_idProduit = idProduit; }
    void SetTitre(const QString& titre) { setWindowTitle(titre); }

public slots:
    // Fills the list once, when the window is first shown.
    void FormActivate();

protected:
    void showEvent(QShowEvent* e) override;

private:
    TdmKestravel& m_dm;
    int m_externe = 0;
    int m_idProduit = 0;
    bool m_rempli = false;
};
