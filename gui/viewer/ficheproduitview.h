#pragma once
// Product view: one product shown read-only, with a quantity and a comment
// to export it to the host in the product exchange file.

#include "core/store/records.h"
#include "ui_ficheproduitview.h"

#include <QDialog>
#include <QPixmap>

class TFicheProduitView : public QDialog, private Ui::TFicheProduitView {
    Q_OBJECT
public:
    // The record is copied: the caller keeps its own.
    TFicheProduitView(QWidget* proprietaire, const QString& cheminExport, const TProduit& produit);

    // True once the exchange file has been written.
    bool ExportEffectue() const { return m_exporte; }

    // Fills the controls from the record.
    void FormActivate();
    // Shows the product as stored now (another workstation changed it); the
    // quantity and comment typed stay.
    void Actualiser(const TProduit& produit);
    // Opens the picture with the desktop's program.
    void tImageProduitDblClick();
    // Writes the exchange file, then closes the window with the OK result;
    // on failure shows the error and stays open.
    void btnExporterClick();

protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;

private:
    void AjusterImage();

    QString m_cheminExport;
    TProduit m_produit;
    bool m_exporte = false;
    QPixmap m_image;
};
