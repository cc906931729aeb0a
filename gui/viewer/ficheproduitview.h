#pragma once
// Product view: one product shown read-only, with a quantity and a comment
// to export it to the host in the product exchange file.

#include "core/store/records.h"

#include <QDialog>
#include <QPixmap>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class TFicheProduitView : public QDialog {
    Q_OBJECT
public:
    // The record is copied: the caller keeps its own.
    TFicheProduitView(QWidget* proprietaire, const QString& cheminExport, const TProduit& produit);

    // True once the exchange file has been written.
    bool ExportEffectue() const { return m_exporte; }

    // Fills the controls from the record.
    void FormActivate();
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

    QLabel* stRef;
    QLabel* stCodeExport;
    QLabel* stDate;
    QLabel* stLibelle;
    QTreeWidget* lvCaracs;
    QPlainTextEdit* reDescription;
    QLabel* pImage;
    QLabel* tImageProduit;
    QLabel* stPrixTarif;
    QLabel* stPrixAchat;
    QLabel* stPrixVente;
    QLabel* stQuantiteDispo;
    QLabel* imgGris;
    QLabel* imgOrange;
    QLabel* imgRouge;
    QLabel* imgVert;
    QSpinBox* seQuantite;
    QLineEdit* edtCommentaire;
    QPushButton* btnExporter;
    QPushButton* btnOk;
};
