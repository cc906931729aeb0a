#pragma once
// Which characteristics a product has, with a value each. Works on a copy
// of the editor's list that shares its objects; writes nothing itself.

#include "core/store/records.h"

#include "ui_ficheajoutercarac.h"

#include <QDialog>

class TdmKestravel;

class TFicheAjouterCarac : public QDialog, private Ui::TFicheAjouterCarac {
    Q_OBJECT
public:
    TFicheAjouterCarac(TdmKestravel& dm, const TListeCaracValeurs& caracs, QWidget* parent = nullptr);
    // The edited list, to take after the window closed with OK.
    const TListeCaracValeurs& GetCaracs() const { return m_caracs; }

public slots:
    void btnAjouterProduitClick();
    void btnSupprimerClick();
    void btnGestionCaracClick();

private:
    void RemplirDisponibles();
    void RemplirAffectees();

    TdmKestravel& m_dm;
    TListeCaracValeurs m_caracs;
};
