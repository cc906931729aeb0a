#include "gui/viewer/ficheproduitview.h"

#include "gui/common/application.h"
#include "core/base/chemins.h"
#include "gui/common/ergonomie.h"
#include "core/base/prompts.h"
#include "gui/product/indicateurstock.h"
#include "core/store/format.h"
#include "core/exchange/exportproduit.h"

#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QLabel* Etiquette(const char* nom, const QString& texte)
{
    auto* lb = new QLabel(texte);
    lb->setObjectName(nom);
    return lb;
}

// A read-only text in a sunken frame that the user can still select and copy.
QLabel* TexteStatique(const char* nom, Qt::Alignment alignement)
{
    auto* st = new QLabel;
    st->setObjectName(nom);
    st->setAlignment(alignement | Qt::AlignVCenter);
    st->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    st->setTextInteractionFlags(Qt::TextSelectableByMouse);
    st->setMinimumWidth(90);
    return st;
}

}  // namespace

TFicheProduitView::TFicheProduitView(QWidget* proprietaire, const QString& cheminExport, const TProduit& produit)
    : QDialog(proprietaire), m_cheminExport(cheminExport), m_produit(produit),
      stRef(TexteStatique("stRef", Qt::AlignHCenter)),
      stCodeExport(TexteStatique("stCodeExport", Qt::AlignHCenter)),
      stDate(TexteStatique("stDate", Qt::AlignHCenter)),
      stLibelle(TexteStatique("stLibelle", Qt::AlignLeft)),
      lvCaracs(new QTreeWidget),
      reDescription(new QPlainTextEdit),
      pImage(new QLabel("Aucune image")),
      tImageProduit(new QLabel),
      stPrixTarif(TexteStatique("stPrixTarif", Qt::AlignRight)),
      stPrixAchat(TexteStatique("stPrixAchat", Qt::AlignRight)),
      stPrixVente(TexteStatique("stPrixVente", Qt::AlignRight)),
      stQuantiteDispo(TexteStatique("stQuantiteDispo", Qt::AlignRight)),
      imgGris(CreerImageIndicateur("imgGris", TNiveauStock::Gris)),
      imgOrange(CreerImageIndicateur("imgOrange", TNiveauStock::Orange)),
      imgRouge(CreerImageIndicateur("imgRouge", TNiveauStock::Rouge)),
      imgVert(CreerImageIndicateur("imgVert", TNiveauStock::Vert)),
      seQuantite(new QSpinBox),
      edtCommentaire(new QLineEdit),
      btnExporter(new QPushButton("Exporter sur TALVIREN")),
      btnOk(new QPushButton("Annuler"))
{
    setWindowTitle(QStringLiteral("Détails du produit"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    lvCaracs->setObjectName("lvCaracs");
    lvCaracs->setHeaderLabels({"Externe", "IdCarac", "Libelle", "Valeur", QStringLiteral("Unité")});
    lvCaracs->setRootIsDecorated(false);
    lvCaracs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvCaracs->header()->setMinimumSectionSize(1);
    lvCaracs->header()->setStretchLastSection(false);
    const int largeurs[] = {1, 1, 170, 70, 70};
    for (int c = 0; c < 5; ++c)
        lvCaracs->header()->resizeSection(c, largeurs[c]);

    reDescription->setObjectName("reDescription");
    reDescription->setReadOnly(true);
    reDescription->setEnabled(false);

    pImage->setObjectName("pImage");
    pImage->setAlignment(Qt::AlignCenter);
    pImage->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pImage->setMinimumSize(220, 220);
    tImageProduit->setObjectName("tImageProduit");
    tImageProduit->setAlignment(Qt::AlignCenter);
    tImageProduit->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    tImageProduit->setToolTip("Double clic pour afficher l'image");
    tImageProduit->installEventFilter(this);
    auto* dansCadre = new QVBoxLayout(pImage);
    dansCadre->setContentsMargins(2, 2, 2, 2);
    dansCadre->addWidget(tImageProduit);

    seQuantite->setObjectName("seQuantite");
    seQuantite->setRange(1, 99);
    seQuantite->setValue(1);
    edtCommentaire->setObjectName("edtCommentaire");
    edtCommentaire->setMaxLength(100);
    btnExporter->setObjectName("btnExporter");
    btnExporter->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnExporter->setDefault(true);
    btnOk->setObjectName("btnOk");

    // Top: identification; middle: description and characteristics beside
    // the picture; bottom: prices, stock, and what is sent.
    auto* haut = new QGridLayout;
    haut->addWidget(Etiquette("lbReference", QStringLiteral("Référence")), 0, 0);
    haut->addWidget(stRef, 1, 0);
    haut->addWidget(Etiquette("lbCodeExport", "Code Export"), 0, 1);
    haut->addWidget(stCodeExport, 1, 1);
    haut->addWidget(Etiquette("lbDate", QStringLiteral("Date de création")), 0, 2);
    haut->addWidget(stDate, 1, 2);
    haut->addWidget(Etiquette("lbLibelle", QStringLiteral("Libellé")), 2, 0);
    haut->addWidget(stLibelle, 3, 0, 1, 3);

    auto* textes = new QVBoxLayout;
    textes->addWidget(Etiquette("lbDescription", "Description"));
    textes->addWidget(reDescription, 1);
    textes->addWidget(Etiquette("lbCarac", QStringLiteral("Liste des caractéristiques")));
    textes->addWidget(lvCaracs, 1);
    auto* milieu = new QHBoxLayout;
    milieu->addLayout(textes, 3);
    milieu->addWidget(pImage, 2);

    auto* bas = new QGridLayout;
    bas->addWidget(Etiquette("lbPrixTarif", "Prix Tarif HT"), 0, 0);
    bas->addWidget(stPrixTarif, 1, 0);
    bas->addWidget(Etiquette("lbPrixAchat", "Prix Achat HT"), 0, 1);
    bas->addWidget(stPrixAchat, 1, 1);
    bas->addWidget(Etiquette("lbPrixVente", "Prix Vente HT"), 0, 2);
    bas->addWidget(stPrixVente, 1, 2);
    bas->addWidget(Etiquette("lbStock", "Stock"), 0, 3);
    bas->addWidget(stQuantiteDispo, 1, 3);
    // The four indicator pictures share one place; one of them is shown.
    for (QLabel* img : {imgGris, imgOrange, imgRouge, imgVert})
        bas->addWidget(img, 0, 4, 2, 1);
    auto* lbQuantite = Etiquette("lbQuantite", QStringLiteral("Quantité"));
    lbQuantite->setBuddy(seQuantite);
    bas->addWidget(lbQuantite, 2, 0);
    bas->addWidget(seQuantite, 3, 0);
    auto* lbCommentaire = Etiquette("lbCommentaire", "Commentaire");
    lbCommentaire->setBuddy(edtCommentaire);
    bas->addWidget(lbCommentaire, 2, 1);
    bas->addWidget(edtCommentaire, 3, 1, 1, 4);

    auto* boutons = new QHBoxLayout;
    boutons->addStretch(1);
    boutons->addWidget(btnExporter);
    boutons->addWidget(btnOk);

    auto* fenetre = new QVBoxLayout(this);
    fenetre->addLayout(haut);
    fenetre->addLayout(milieu, 1);
    fenetre->addLayout(bas);
    fenetre->addLayout(boutons);
    resize(760, 600);

    NommerPourLecteur(lvCaracs, QStringLiteral("Liste des caractéristiques"));
    NommerPourLecteur(reDescription, QStringLiteral("Description"));
    NommerPourLecteur(pImage, QStringLiteral("Image du produit"));
    NommerPourLecteur(tImageProduit, QStringLiteral("Image du produit"), tImageProduit->toolTip());
    // Each value is announced with its title.
    for (auto [valeur, titre] : {std::pair{stRef, "Référence"}, {stCodeExport, "Code Export"},
                                 {stDate, "Date de création"}, {stLibelle, "Libellé"}, {stPrixTarif, "Prix Tarif HT"},
                                 {stPrixAchat, "Prix Achat HT"}, {stPrixVente, "Prix Vente HT"},
                                 {stQuantiteDispo, "Stock"}})
        valeur->setAccessibleDescription(QString::fromUtf8(titre));

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
    pImage->setText(m_image.isNull() ? QStringLiteral("Aucune image") : QString());
    AjusterImage();

    lvCaracs->clear();
    if (const auto caracs = m_produit.GetCaracValeurs())
        for (const TCaracValeurPtr& v : *caracs)
            lvCaracs->addTopLevelItem(new QTreeWidgetItem(
                {QString::number(v->GetExterne()), QString::number(v->GetIdProduitCarac()), v->GetLibelle(),
                 v->GetValeur(), v->GetUnite()}));
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
