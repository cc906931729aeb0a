#pragma once
// Creation or change of one internal product. Everything stays in the window
// until "Valider", which writes it in one pass.

#include "core/catalogue/enregistrement.h"
#include "core/store/records.h"
#include "ui_ficheproduitaddorupdate.h"

#include <QDialog>
#include <memory>

class TdmKestravel;

class TFicheProduitAddOrUpdate : public QDialog, private Ui::TFicheProduitAddOrUpdate {
    Q_OBJECT
public:
    // `produit` null: a new product. Otherwise the caller's record, which it
    // keeps and releases.
    TFicheProduitAddOrUpdate(TdmKestravel& dm, TProduit* produit, QWidget* parent = nullptr);
    ~TFicheProduitAddOrUpdate() override;

    // Category selected when the window opens; 0 is the root.
    void SetCategorieInitiale(int idProduitType) { m_categorieInitiale = idProduitType; }
    // The category the product is in after the save, to select next.
    int GetCategorieCible() const { return m_categorieCible; }

    // Filter of the image file dialog.
    static const QString odImageFiltre;

public slots:
    // Runs once, when the window is first shown.
    void FormActivate();
    void btnOkClick();
    void btnParcourrirClick();
    void tImageProduitDblClick();
    void btnGererCaracProduitClick();
    void btnGestionStocksClick();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* objet, QEvent* e) override;

private:
    // What the form cannot say: the calendar's language, the lists, the
    // indicator's pictures, the handlers.
    void PreparerControles();
    void RemplirArbre();
    void RemplirControles();
    void AfficherIndicateur();
    void AfficherImage(const QString& chemin);
    void LimiterDescription();
    // The values the controls hold now.
    TValeursProduit ValeursControles() const;
    // False, with a message and the focus on it, when a price is no amount.
    bool MontantsValides();
    void Enregistrer(const TDemandeEnregistrement& demande);

    TdmKestravel& m_dm;
    std::unique_ptr<TProduit> m_produitPropre;  // add mode: the window's own record
    TProduit* m_produit;
    bool m_ajout;
    bool m_initialise = false;
    bool m_imageChangee = false;
    int m_categorieInitiale = 0;
    int m_categorieCible = 0;
    std::shared_ptr<TListeCaracValeurs> m_caracsDepart;
    TListeCaracValeurs m_caracsTravail;
    TValeursProduit m_ouverture;  // the controls' values once filled
};
