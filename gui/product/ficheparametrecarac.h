#pragma once
// The catalogue's own characteristic definitions: each button press writes
// at once and the list is rebuilt from the table.

#include "ui_ficheparametrecarac.h"

#include <QDialog>

class TdmKestravel;

class TFicheParametreCarac : public QDialog, private Ui::TFicheParametreCarac {
    Q_OBJECT
public:
    explicit TFicheParametreCarac(TdmKestravel& dm, QWidget* parent = nullptr);

public slots:
    void lvCaracsChange();
    void btnAjouterClick();
    void btnModifierClick();
    void btnSupprimerClick();

private:
    // Shows the refusal and returns true when the label is empty or the
    // definition already exists.
    bool SaisieRefusee(const QString& libelle, const QString& unite);
    // Every press ends the same way: edits emptied, list read again.
    void Terminer();

    TdmKestravel& m_dm;
};
