#pragma once
// The "Hausse" dialog of the category tree: raises the prices of one
// category, optionally with every category below it.

#include "ui_fichehaussecategorie.h"

#include <QDialog>
#include <QString>

class QButtonGroup;
class TdmKestravel;

class TFicheHausseCategorie : public QDialog, private Ui::TFicheHausseCategorie {
    Q_OBJECT
public:
    explicit TFicheHausseCategorie(TdmKestravel& dm, QWidget* parent = nullptr);

    // The category whose prices change (0 at creation).
    void SetIdProduitType(int idProduitType) { m_idProduitType = idProduitType; }
    int GetIdProduitType() const { return m_idProduitType; }
    // Caption "Hausse de la catégorie : " followed by the category's label.
    void SetLibelleCategorie(const QString& libelle);
    QString GetTitre() const { return m_titre; }

    void FormActivate();
    void btnOkClick();

protected:
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    TdmKestravel& m_dm;
    int m_idProduitType = 0;
    QString m_titre;
    QButtonGroup* m_types;
};
