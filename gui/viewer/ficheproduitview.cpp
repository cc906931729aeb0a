#include "gui/viewer/ficheproduitview.h"

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/exchange/exportproduit.h"
#include "core/store/format.h"
#include "gui/common/application.h"
#include "gui/common/ergonomie.h"
#include "gui/product/indicateurstock.h"

#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>

TFicheProduitView::TFicheProduitView(QWidget* proprietaire, const QString& cheminExport, const TProduit& produit)
    : QDialog(proprietaire), m_cheminExport(cheminExport), m_produit(produit)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setupUi(this);
    // The characteristic's key travels in two columns one pixel wide.
    const int largeurs[] = {1, 1, 170, 70, 70};
    for (int c = 0; c < 5; ++c)
        lvCaracs->header()->resizeSection(c, largeurs[c]);
    tImageProduit->installEventFilter(this);
    btnExporter->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    PreparerIndicateur(imgGris, imgRouge, imgOrange, imgVert);

    connect(btnExporter, &QPushButton::clicked, this, &TFicheProduitView::btnExporterClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::reject);

    FormActivate();
    seQuantite->setFocus();
}

void TFicheProduitView::FormActivate()
{
    stCodeExport->setText(m_produit.GetCodeExport());
    stLibelle->setText(m_produit.GetLibelle());
    stDate->setText(m_produit.GetDateCreation());
    reDescription->setPlainText(m_produit.GetDescription());
    stRef->setText(m_produit.GetReference());
    stPrixAchat->setText(Montant(m_produit.GetPrixAchatHT()));
    stPrixTarif->setText(Montant(m_produit.GetPrixTarifHT()));
    stPrixVente->setText(Montant(m_produit.GetPrixVenteHT()));
    stQuantiteDispo->setText(QString::number(m_produit.GetStock()));

    MontrerIndicateur(m_produit.GetStock(), m_produit.GetStockMini(), imgGris, imgRouge, imgOrange, imgVert);

    // The picture is looked for in the internal folder whatever the origin.
    const QString fichier = FichierImage(0, m_produit.GetLien());
    m_image = fichier.isEmpty() || !QFileInfo(fichier).isFile() ? QPixmap() : QPixmap(fichier);
    MontrerAbsenceImage(pImage, m_image.isNull());
    AjusterImage();

    lvCaracs->clear();
    if (const auto caracs = m_produit.GetCaracValeurs())
        for (const TCaracValeurPtr& v : *caracs)
            lvCaracs->addTopLevelItem(
                new QTreeWidgetItem({QString::number(v->GetExterne()), QString::number(v->GetIdProduitCarac()),
                                     v->GetLibelle(), v->GetValeur(), v->GetUnite()}));
}

void TFicheProduitView::Actualiser(const TProduit& produit)
{
    m_produit = produit;
    FormActivate();
}

void TFicheProduitView::AjusterImage()
{
    if (m_image.isNull())
        tImageProduit->clear();
    else
        tImageProduit->setPixmap(m_image.scaled(tImageProduit->size().expandedTo(QSize(1, 1)), Qt::KeepAspectRatio,
                                                Qt::SmoothTransformation));
}

bool TFicheProduitView::eventFilter(QObject* objet, QEvent* evenement)
{
    if (objet == tImageProduit) {
        if (evenement->type() == QEvent::Resize)
            AjusterImage();
        else if (evenement->type() == QEvent::MouseButtonDblClick)
            tImageProduitDblClick();
    }
    return QDialog::eventFilter(objet, evenement);
}

void TFicheProduitView::tImageProduitDblClick()
{
    // No file name opens the internal folder itself; a name that is not a
    // plain file name opens nothing.
    const QString lien = m_produit.GetLien();
    const QString chemin = lien.isEmpty() ? CheminImagesInterne() : FichierImage(0, lien);
    if (!chemin.isEmpty())
        Prompts().OuvrirFichier(chemin);
}

void TFicheProduitView::btnExporterClick()
{
    try {
        ExporterProduit(m_cheminExport, m_produit, seQuantite->value(), edtCommentaire->text());
    } catch (...) {
        // The quantity and comment stay as typed: the user may try again or
        // cancel.
        AfficherExceptionCourante();
        return;
    }
    m_exporte = true;
    accept();
}
