#include "gui/product/ficheproduitaddorupdate.h"

#include "core/base/chemins.h"
#include "core/base/prompts.h"
#include "core/catalogue/enregistrement.h"
#include "core/store/catalogue.h"
#include "core/store/codepage.h"
#include "core/store/format.h"
#include "gui/common/application.h"
#include "gui/common/arbrecategories.h"
#include "gui/common/ergonomie.h"
#include "gui/product/controles.h"
#include "gui/product/ficheajoutercarac.h"
#include "gui/product/fichestockhistorique.h"
#include "gui/product/indicateurstock.h"

#include <QCalendarWidget>
#include <QEvent>
#include <QFileInfo>

const QString TFicheProduitAddOrUpdate::odImageFiltre = QStringLiteral("Bitmap 24 bits (*.bmp);;JPEG (*.jpg *.jpeg)");

namespace {
constexpr int LongueurDescription = 2048;
}  // namespace

TFicheProduitAddOrUpdate::TFicheProduitAddOrUpdate(TdmKestravel& dm, TProduit* produit, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_produit(produit), m_ajout(produit == nullptr)
{
    if (m_ajout) {
        m_produitPropre = std::make_unique<TProduit>();
        m_produit = m_produitPropre.get();
    }
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setupUi(this);
    PreparerControles();
}

TFicheProduitAddOrUpdate::~TFicheProduitAddOrUpdate() = default;

void TFicheProduitAddOrUpdate::PreparerControles()
{
    // The date keeps the regional form; the calendar's month and day names
    // are French whatever the system's language.
    dtpProduit->calendarWidget()->setLocale(QLocale(QLocale::French, QLocale().territory()));
    tImageProduit->installEventFilter(this);
    ConfigurerListe(lvCaracs, {{"Externe", 1}, {"Id", 1}, {"Libellé", 160}, {"Valeur", 70}, {"Unité", 70}}, 2);
    PreparerIndicateur(imgGris, imgRouge, imgOrange, imgVert);

    connect(reDescription, &QTextEdit::textChanged, this, &TFicheProduitAddOrUpdate::LimiterDescription);
    connect(btnOk, &QPushButton::clicked, this, &TFicheProduitAddOrUpdate::btnOkClick);
    connect(btnAnnuler, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnParcourrir, &QPushButton::clicked, this, &TFicheProduitAddOrUpdate::btnParcourrirClick);
    connect(btnGererCaracProduit, &QPushButton::clicked, this, &TFicheProduitAddOrUpdate::btnGererCaracProduitClick);
    connect(btnGestionStocks, &QPushButton::clicked, this, &TFicheProduitAddOrUpdate::btnGestionStocksClick);
}

void TFicheProduitAddOrUpdate::showEvent(QShowEvent* e)
{
    FormActivate();
    QDialog::showEvent(e);
}

bool TFicheProduitAddOrUpdate::eventFilter(QObject* objet, QEvent* e)
{
    if (objet == tImageProduit && e->type() == QEvent::MouseButtonDblClick) {
        tImageProduitDblClick();
        return true;
    }
    return QDialog::eventFilter(objet, e);
}

void TFicheProduitAddOrUpdate::FormActivate()
{
    if (m_initialise)
        return;
    m_initialise = true;
    RemplirArbre();
    if (!m_ajout) {
        setWindowTitle("Modifier un produit");
        m_caracsDepart = m_produit->GetCaracValeurs();
        if (!m_caracsDepart) {
            m_caracsDepart = std::make_shared<TListeCaracValeurs>();
            m_produit->SetCaracValeurs(m_caracsDepart);
        }
        RemplirControles();
        m_ouverture = ValeursControles();
    } else {
        setWindowTitle("Ajouter un produit");
        dtpProduit->setDate(QDate::currentDate());
        m_caracsDepart = std::make_shared<TListeCaracValeurs>();
        m_produit->SetCaracValeurs(m_caracsDepart);
    }
    m_caracsTravail = *m_caracsDepart;
    RemplirValeurs(lvCaracs, m_caracsTravail);
    m_categorieCible = m_categorieInitiale;
}

void TFicheProduitAddOrUpdate::RemplirArbre()
{
    tvProduitType->clear();
    auto* racine = new TNoeudCategorie("Interne", TObjectNoeud(0, 0));
    const QVector<TLigneCategorie> lignes = LireCategories(m_dm);
    TTableNoeuds noeuds;
    PlacerCategories(racine, lignes, 0, noeuds);
    MontrerArbre(tvProduitType, {racine});
    // The root when asked for, or when no internal row comes first; the
    // product's category when it is placed.
    if (!lignes.isEmpty() && (m_categorieInitiale == 0 || lignes.first().externe != 0))
        tvProduitType->setCurrentItem(racine);
    if (QTreeWidgetItem* noeud = noeuds.NoeudDe(m_categorieInitiale, 0))
        tvProduitType->setCurrentItem(noeud);
    if (tvProduitType->currentItem())
        tvProduitType->scrollToItem(tvProduitType->currentItem());
}

void TFicheProduitAddOrUpdate::RemplirControles()
{
    const TProduit& p = *m_produit;
    edtReference->setText(p.GetReference());
    edtCodeExport->setText(p.GetCodeExport());
    edtLibelle->setText(p.GetLibelle());
    reDescription->setPlainText(p.GetDescription());
    edtLien->setText(p.GetLien());
    const QDate date = LireDateCourte(p.GetDateCreation());
    dtpProduit->setDate(date.isValid() ? date : QDate::currentDate());
    edtAchatHT->setValue(ArrondiMontant(p.GetPrixAchatHT()));
    edtTarifHT->setValue(ArrondiMontant(p.GetPrixTarifHT()));
    edtVenteHT->setValue(ArrondiMontant(p.GetPrixVenteHT()));
    seQuantiteDispo->setValue(p.GetStock());
    seQuantiteSeuil->setValue(p.GetStockMini());
    AfficherIndicateur();
    const QString image = FichierImage(0, p.GetLien());
    AfficherImage(!image.isEmpty() && QFileInfo::exists(image) ? image : QString());
}

void TFicheProduitAddOrUpdate::AfficherIndicateur()
{
    MontrerIndicateur(m_produit->GetStock(), m_produit->GetStockMini(), imgGris, imgRouge, imgOrange, imgVert);
}

void TFicheProduitAddOrUpdate::AfficherImage(const QString& chemin)
{
    const QPixmap image = chemin.isEmpty() ? QPixmap() : QPixmap(chemin);
    tImageProduit->SetImage(image);
    MontrerAbsenceImage(pImage, image.isNull());
}

void TFicheProduitAddOrUpdate::LimiterDescription()
{
    if (reDescription->toPlainText().size() <= LongueurDescription)
        return;
    QTextCursor curseur = reDescription->textCursor();
    const int position = std::min(curseur.position(), LongueurDescription);
    reDescription->setPlainText(reDescription->toPlainText().left(LongueurDescription));
    curseur = reDescription->textCursor();
    curseur.setPosition(position);
    reDescription->setTextCursor(curseur);
}

void TFicheProduitAddOrUpdate::btnParcourrirClick()
{
    const QString chemin = Prompts().ChoisirFichier("Choisir une image", QString(), odImageFiltre);
    if (chemin.isEmpty())
        return;
    const QString extension = ExtensionImage(chemin);
    // The stored name is the product number and this extension: any other
    // kind of file would leave a path in the catalogue.
    if (!ExtensionImageAcceptee(extension)) {
        Prompts().Information("Seules les images Bitmap (.bmp) et JPEG (.jpg, .jpeg) peuvent être choisies.");
        return;
    }
    m_imageChangee = true;
    edtLien->setText(chemin);
    AfficherImage(chemin);
}

void TFicheProduitAddOrUpdate::tImageProduitDblClick()
{
    // The stored image, not a file picked since the window opened.
    const QString image = FichierImage(0, m_produit->GetLien());
    if (!image.isEmpty() && QFileInfo::exists(image))
        Prompts().OuvrirFichier(image);
}

void TFicheProduitAddOrUpdate::btnGererCaracProduitClick()
{
    TFicheAjouterCarac fiche(m_dm, m_caracsTravail, this);
    if (fiche.exec() != QDialog::Accepted)
        return;
    m_caracsTravail = fiche.GetCaracs();
    m_produit->SetCaracValeurs(std::make_shared<TListeCaracValeurs>(m_caracsTravail));
    RemplirValeurs(lvCaracs, m_caracsTravail);
}

void TFicheProduitAddOrUpdate::btnGestionStocksClick()
{
    TFicheStockHistorique fiche(m_dm, this);
    fiche.SetExterne(m_produit->GetExterne());
    fiche.SetIdProduit(m_produit->GetIdProduit());
    fiche.SetTitre("Historique du stock - " + m_produit->GetLibelle());
    fiche.exec();
}

TValeursProduit TFicheProduitAddOrUpdate::ValeursControles() const
{
    TValeursProduit v;
    v.reference = edtReference->text();
    v.codeExport = edtCodeExport->text();
    v.libelle = edtLibelle->text();
    v.description = reDescription->toPlainText();
    v.dateCreation = dtpProduit->date();
    v.prixAchatHT = edtAchatHT->value();
    v.prixTarifHT = edtTarifHT->value();
    v.prixVenteHT = edtVenteHT->value();
    v.stock = seQuantiteDispo->value();
    v.stockMini = seQuantiteSeuil->value();
    return v;
}

bool TFicheProduitAddOrUpdate::MontantsValides()
{
    for (const auto& [edition, nom] :
         {std::pair{edtTarifHT, "tarif"}, {edtAchatHT, "d'achat"}, {edtVenteHT, "de vente"}})
        if (!edition->MontantValide()) {
            Prompts().Message(
                QStringLiteral("Le prix %1 n'est pas un montant : saisissez par exemple 19,90.").arg(nom));
            edition->setFocus();
            return false;
        }
    return true;
}

void TFicheProduitAddOrUpdate::btnOkClick()
{
    if (!MontantsValides())
        return;
    TDemandeEnregistrement d;
    d.produit = m_ajout ? nullptr : m_produit;
    d.ouverture = m_ouverture;
    d.valeurs = ValeursControles();
    if (m_imageChangee)
        d.imageChoisie = edtLien->text();
    d.caracsDepart = *m_caracsDepart;
    d.caracsTravail = m_caracsTravail;
    d.categorieInitiale = m_categorieInitiale;
    if (const TObjectNoeud* objet = ObjetNoeud(LigneChoisie(tvProduitType)))
        d.categorieCible = objet->GetIdProduitType();

    // Text the host's files cannot carry: the user may still correct it.
    const QString horsCodePage = AvertissementHorsWindows1252(d.valeurs.reference + d.valeurs.codeExport
                                                              + d.valeurs.libelle + d.valeurs.description);
    if (!horsCodePage.isEmpty() && !Prompts().Confirmer(horsCodePage))
        return;
    Enregistrer(d);
}

void TFicheProduitAddOrUpdate::Enregistrer(const TDemandeEnregistrement& d)
{
    TResultatEnregistrement r;
    try {
        r = EnregistrerProduit(m_dm, d);
    } catch (...) {
        // Nothing was written: the user may try again or cancel.
        AfficherExceptionCourante();
        return;
    }
    switch (r.issue) {
        case TIssueEnregistrement::LibelleVide:
            edtLibelle->setFocus();
            return;
        case TIssueEnregistrement::ProduitDisparu:
        case TIssueEnregistrement::Annule:
            // Nothing written: what was typed stays in the window.
            return;
        case TIssueEnregistrement::CategorieRefusee:
            m_categorieCible = r.categorie;
            return;
        case TIssueEnregistrement::Enregistre:
            m_categorieCible = r.categorie;
            accept();
            return;
    }
}
