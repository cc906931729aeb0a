#include "gui/admin/ficheparametreproduit.h"

#include "core/base/prompts.h"
#include "core/catalogue/categories.h"
#include "core/catalogue/duplication.h"
#include "core/catalogue/produits.h"
#include "core/catalogue/veille.h"
#include "core/store/catalogue.h"
#include "core/store/dmkestravel.h"
#include "gui/admin/arbreinterne.h"
#include "gui/admin/colonnesparametrage.h"
#include "gui/admin/fichehaussecategorie.h"
#include "gui/admin/ficheparametreproduittype.h"
#include "gui/admin/fichereapprovisionnement.h"
#include "gui/admin/impression.h"
#include "gui/common/attente.h"
#include "gui/common/ergonomie.h"
#include "gui/common/rechercheliste.h"
#include "gui/interchange/ficheexportation.h"
#include "gui/interchange/ficheimportation.h"
#include "gui/product/ficheproduitaddorupdate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QScreen>

namespace {
int ColonneTriProduits = 0;

const char* const FormatGlisser = "application/x-kestravel-produit";
}  // namespace

TFicheParametreProduit::TFicheParametreProduit(TdmKestravel& dm, QWidget* parent)
    : QWidget(parent), m_dm(dm), m_arbrePrepare(PreparerArbreInterne(dm))
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setupUi(this);
    PreparerControles();
    ConfigurerClavier();
    FormCreate();
}

TFicheParametreProduit::~TFicheParametreProduit() { FormClose(); }

int TFicheParametreProduit::ColonneTri() { return ColonneTriProduits; }

void TFicheParametreProduit::PreparerControles()
{
    tvProduitType->viewport()->setAcceptDrops(true);
    tvProduitType->viewport()->installEventFilter(this);
    PreparerListe();
    PreparerRecherche();
    ConnecterControles();
    Centrer();
}

void TFicheParametreProduit::PreparerListe()
{
    m_modele = new TModeleProduits(ColonnesParametrage(), this);
    lvProduits->setModel(m_modele);
    lvProduits->viewport()->installEventFilter(this);
    QHeaderView* entete = lvProduits->header();
    entete->setSectionsMovable(false);
    entete->setSectionsClickable(true);
    // The keys travel in three columns one pixel wide that nobody can widen.
    // The other fixed columns grow when the screen font would cut their title.
    const int largeurs[NbColonnesProduit] = {1, 1, 1, 220, 80, 80, 80, 80, 50};
    for (int c = 0; c < NbColonnesProduit; ++c) {
        lvProduits->setColumnWidth(c, largeurs[c]);
        entete->setSectionResizeMode(c, c == ColLibelle ? QHeaderView::Stretch : QHeaderView::Fixed);
    }
    ElargirAuxTitres(entete, ColLibelle + 1);
}

void TFicheParametreProduit::PreparerRecherche()
{
    m_recherche = new TRechercheListe(m_dm, this, edtRecherche, lbRecherche, [this](const QString& texte) {
        TCritereRecherche critere;
        critere.texte = texte;
        critere.externe = 0;
        critere.categories = m_categoriesRecherche;
        return critere;
    });
    m_recherche->surResultats = [this](TLignesProduits lignes) { MontrerResultats(std::move(lignes)); };
    m_recherche->surEffacement = [this] {
        if (m_categorieAffichee >= 0) {
            AfficherProduits(0, m_categorieAffichee);
        } else {
            m_modele->Vider();
            ActiverBoutonsListe();
        }
    };
    m_recherche->surCodeLu = [this](const TLignesProduits::Ligne& l) { ModifierProduit(ProduitDeLigne(l)); };
}

void TFicheParametreProduit::ConnecterControles()
{
    connect(tvProduitType, &QTreeWidget::currentItemChanged, this, &TFicheParametreProduit::tvProduitTypeChange);
    connect(tvProduitType, &QWidget::customContextMenuRequested, this, &TFicheParametreProduit::tvProduitTypeMenu);
    connect(miHausse, &QAction::triggered, this, &TFicheParametreProduit::miHausseClick);
    connect(btnAjouterProduitType, &QPushButton::clicked, this, &TFicheParametreProduit::btnAjouterProduitTypeClick);
    connect(btnAjouterProduit, &QPushButton::clicked, this, &TFicheParametreProduit::btnAjouterProduitClick);
    connect(btnDuppliquer, &QPushButton::clicked, this, &TFicheParametreProduit::btnDuppliquerClick);
    connect(btnImprimer, &QPushButton::clicked, this, &TFicheParametreProduit::btnImprimerClick);
    connect(btnSupprimer, &QPushButton::clicked, this, &TFicheParametreProduit::btnSupprimerClick);
    connect(btnExport, &QPushButton::clicked, this, &TFicheParametreProduit::btnExportClick);
    connect(btnImport, &QPushButton::clicked, this, &TFicheParametreProduit::btnImportClick);
    connect(btnReapprovisionner, &QPushButton::clicked, this, &TFicheParametreProduit::btnReapprovisionnerClick);
    connect(lvProduits, &QAbstractItemView::doubleClicked, this, &TFicheParametreProduit::lvProduitsDblClick);
    connect(lvProduits->header(), &QHeaderView::sectionClicked, this, &TFicheParametreProduit::lvProduitsColumnClick);
    // What the tills and the other workstations change shows in the list.
    m_veille = new TVeilleCatalogue(m_dm, this);
    connect(m_veille, &TVeilleCatalogue::changement, this, &TFicheParametreProduit::CatalogueChange);
}

void TFicheParametreProduit::Centrer()
{
    // Centred on the owner, or on the screen for the main window.
    const QRect zone =
        parentWidget() ? parentWidget()->window()->geometry() : (screen() ? screen()->availableGeometry() : QRect());
    if (zone.isValid())
        move(zone.center() - rect().center());
}

void TFicheParametreProduit::CatalogueChange()
{
    if (m_ferme)
        return;
    ActualiserArbre();
    if (m_recherche->Active()) {
        m_actualiserResultats = true;
        m_recherche->Relancer();
    } else if (m_categorieAffichee >= 0) {
        m_modele->Actualiser(LireProduitsCategorie(m_dm, 0, m_categorieAffichee));
        ActiverBoutonsListe();
    }
}

void TFicheParametreProduit::FormCreate()
{
    if (!m_dm.tblProduitCaracIndexTriProduit.Active())
        m_dm.tblProduitCaracIndexTriProduit.Open();
    RemplirArbreCategories();
    if (tvProduitType->topLevelItemCount() > 0)
        tvProduitType->scrollToItem(tvProduitType->topLevelItem(0));
}

void TFicheParametreProduit::FormClose()
{
    if (m_ferme)
        return;
    m_ferme = true;
    if (m_dm.tblProduitCaracIndexTriProduit.Active())
        m_dm.tblProduitCaracIndexTriProduit.Close();
    const QSignalBlocker bloque(tvProduitType);
    tvProduitType->clear();
    m_noeuds.Vider();
}

void TFicheParametreProduit::closeEvent(QCloseEvent* evenement)
{
    FormClose();
    evenement->accept();
}

void TFicheParametreProduit::RemplirArbreCategories()
{
    QTreeWidgetItem* selection;
    const bool recharge = m_chargementArbre;
    m_chargementArbre = true;
    {
        const QSignalBlocker bloque(tvProduitType);
        selection = ChargerArbreInterne(m_dm, tvProduitType, m_noeuds, m_categorieASelectionner, &m_categoriesLues,
                                        &m_arbrePrepare);
        // A kept tree still has its former selection: the load starts from
        // none, as a rebuilt one does.
        tvProduitType->setCurrentItem(nullptr);
    }
    m_categoriesRecherche.clear();
    m_categoriesRecherche.reserve(m_noeuds.Entrees().size() + 1);
    m_categoriesRecherche.insert(CleCategorie(0, 0), QStringLiteral("Interne"));
    for (const TEntreeNoeud& e : m_noeuds.Entrees())
        if (e.noeud)
            m_categoriesRecherche.insert(CleCategorie(0, e.objet.GetIdProduitType()), e.noeud->text(0));
    // Only the selection the load makes reaches tvProduitTypeChange.
    if (selection)
        tvProduitType->setCurrentItem(selection);
    m_chargementArbre = recharge;
}

void TFicheParametreProduit::RechargerArbreEtListe(int categorie)
{
    m_categorieASelectionner = categorie;
    if (m_recherche->Active()) {
        // The search stays: the tree moves to the category, the results are
        // searched again.
        RemplirArbreCategories();
        m_categorieAffichee = categorie;
        m_recherche->Relancer();
        return;
    }
    const int avant = m_remplissages;
    RemplirArbreCategories();
    // Selecting the category during the load has listed it already.
    if (m_remplissages == avant)
        AfficherProduits(0, categorie);
}

void TFicheParametreProduit::ActualiserArbre()
{
    // A sale leaves the categories as they are: one read, nothing rebuilt.
    if (LireCategories(m_dm) == m_categoriesLues)
        return;
    const TVueArbre vue = VueArbre(tvProduitType);
    m_categorieASelectionner = NoeudSelectionne() ? CategorieSelectionnee() : -1;
    {
        // The same category selected again must not fill the list anew:
        // the caller refreshes it, keeping its selection and scroll.
        const QSignalBlocker bloque(tvProduitType);
        RemplirArbreCategories();
    }
    if (RetablirVueArbre(tvProduitType, vue) || m_categorieAffichee < 0)
        return;
    // The category shown was deleted elsewhere: nothing is selected.
    tvProduitTypeChange(nullptr);
    if (!m_recherche->Active()) {
        m_categorieAffichee = -1;
        m_modele->Vider();
        ActiverBoutonsListe();
    }
}

QTreeWidgetItem* TFicheParametreProduit::NoeudSelectionne() const
{
    const QList<QTreeWidgetItem*> choix = tvProduitType->selectedItems();
    return choix.isEmpty() ? nullptr : choix.first();
}

int TFicheParametreProduit::CategorieSelectionnee() const
{
    const TObjectNoeud* objet = ObjetNoeud(NoeudSelectionne());
    return objet ? objet->GetIdProduitType() : 0;
}

void TFicheParametreProduit::tvProduitTypeChange(QTreeWidgetItem* noeud)
{
    for (QPushButton* b : {btnSupprimer, btnDuppliquer, btnImprimer})
        b->setEnabled(false);
    miHausse->setEnabled(false);
    const TObjectNoeud* objet = ObjetNoeud(noeud);
    if (!objet || noeud == tvProduitType->topLevelItem(0))
        return;
    miHausse->setEnabled(true);
    btnAjouterProduit->setEnabled(objet->GetIdProduitType() != 0);
    if (m_recherche->Active()) {
        // Choosing a category ends the search; a reload after an action
        // keeps it.
        if (m_chargementArbre) {
            m_categorieAffichee = m_noeuds.CategorieDe(noeud);
            return;
        }
        m_recherche->Effacer();
    }
    AfficherProduits(0, m_noeuds.CategorieDe(noeud));
}

void TFicheParametreProduit::ActualiserListe(int categorie)
{
    if (m_recherche->Active())
        m_recherche->Relancer();
    else
        AfficherProduits(0, categorie);
}

void TFicheParametreProduit::MontrerResultats(TLignesProduits lignes)
{
    if (std::exchange(m_actualiserResultats, false) && m_modele->AvecCategorie()) {
        m_modele->Actualiser(std::move(lignes));
        ActiverBoutonsListe();
        return;
    }
    m_modele->Remplir(std::move(lignes), true);
    lvProduits->setColumnWidth(NbColonnesProduit, 140);
    ActiverBoutonsListe();
}

void TFicheParametreProduit::ActiverBoutonsListe()
{
    const bool rempli = m_modele->rowCount() > 0;
    for (QPushButton* b : {btnSupprimer, btnDuppliquer, btnImprimer})
        b->setEnabled(rempli);
}

void TFicheParametreProduit::AfficherProduits(int externe, int idProduitType)
{
    m_modele->Remplir(LireProduitsCategorie(m_dm, externe, idProduitType));
    ++m_remplissages;
    m_categorieAffichee = idProduitType;
    ActiverBoutonsListe();
}

std::optional<TProduit> TFicheParametreProduit::ProduitSelectionne() const
{
    const int ligne = LigneSelectionnee(lvProduits);
    if (ligne < 0)
        return std::nullopt;
    return ProduitDeLigne(m_modele->Ligne(ligne));
}

TProduit TFicheParametreProduit::ProduitDeLigne(const TLignesProduits::Ligne& l) const
{
    TProduit produit;
    produit.SetExterne(l.externe);
    produit.SetIdProduit(l.idProduit);
    produit.SetIdProduitType(l.idProduitType);
    if (auto lu = LireProduit(m_dm, produit.GetExterne(), produit.GetIdProduit(), produit.GetIdProduitType()))
        produit = *lu;
    produit.SetCaracValeurs(ChargerCaracValeurs(m_dm, produit));
    return produit;
}

void TFicheParametreProduit::SupprimerProduit()
{
    const int ligne = LigneSelectionnee(lvProduits);
    if (ligne < 0)
        return;
    // A copy: the list may be read again while the question is open.
    const TLignesProduits::Ligne l = m_modele->Ligne(ligne);
    if (!LireProduit(m_dm, 0, l.idProduit, l.idProduitType))
        return;
    if (Prompts().Confirmer(QStringLiteral("Vous voulez vraiment supprimer le produit?")))
        ::SupprimerProduit(m_dm, l.idProduit, l.idProduitType);
}

void TFicheParametreProduit::DeplacerProduit(int ligne, int cible)
{
    const TLignesProduits::Ligne& l = m_modele->Ligne(ligne);
    InformerSiRefus([&] { ::DeplacerProduit(m_dm, l.externe, l.idProduit, l.idProduitType, cible); });
}

void TFicheParametreProduit::lvProduitsColumnClick(int colonne)
{
    ColonneTriProduits = colonne;
    m_modele->Trier(colonne);
}

void TFicheParametreProduit::btnAjouterProduitTypeClick() { OuvrirGestionCategories(0); }

void TFicheParametreProduit::OuvrirGestionCategories(int categorie)
{
    int resultat;
    {
        TFicheParametreProduitType fiche(m_dm, this);
        if (categorie != 0)
            fiche.SetCategorieASelectionner(categorie);
        fiche.exec();
        resultat = fiche.GetCategorieResultat();
    }
    RechargerArbreEtListe(resultat);
}

void TFicheParametreProduit::btnAjouterProduitClick()
{
    const int categorie = CategorieSelectionnee();
    {
        TFicheProduitAddOrUpdate fiche(m_dm, nullptr, this);
        fiche.SetCategorieInitiale(categorie);
        fiche.exec();
    }
    ActualiserListe(categorie);
}

void TFicheParametreProduit::lvProduitsDblClick()
{
    if (std::optional<TProduit> produit = ProduitSelectionne())
        ModifierProduit(std::move(*produit));
}

void TFicheParametreProduit::ModifierProduit(TProduit produit)
{
    int cible;
    {
        TFicheProduitAddOrUpdate fiche(m_dm, &produit, this);
        // A product found by a search may be in another category than the
        // selected one: the editor starts on its own.
        fiche.SetCategorieInitiale(m_recherche->Active() ? produit.GetIdProduitType() : CategorieSelectionnee());
        fiche.exec();
        cible = fiche.GetCategorieCible();
    }
    RechargerArbreEtListe(cible);
}

void TFicheParametreProduit::btnSupprimerClick()
{
    SupprimerProduit();
    if (ObjetNoeud(NoeudSelectionne()))
        ActualiserListe(CategorieSelectionnee());
}

void TFicheParametreProduit::btnDuppliquerClick()
{
    const int ligne = LigneSelectionnee(lvProduits);
    if (ligne < 0)
        return;
    const TLignesProduits::Ligne& l = m_modele->Ligne(ligne);
    const TCurseurOccupe occupe;  // the copy, then a new reading of the list
    DupliquerProduit(m_dm, l.externe, l.idProduit, l.idProduitType);
    if (ObjetNoeud(NoeudSelectionne()))
        ActualiserListe(CategorieSelectionnee());
}

void TFicheParametreProduit::btnImprimerClick()
{
    if (ObjetNoeud(NoeudSelectionne()) && m_modele->rowCount() > 0)
        ImprimerListe(m_modele, this);
}

void TFicheParametreProduit::miHausseClick()
{
    QTreeWidgetItem* noeud = NoeudSelectionne();
    if (!ObjetNoeud(noeud))
        return;
    const int categorie = CategorieSelectionnee();
    {
        TFicheHausseCategorie fiche(m_dm, this);
        fiche.SetIdProduitType(categorie);
        fiche.SetLibelleCategorie(noeud->text(0));
        fiche.exec();
    }
    ActualiserListe(categorie);
}

void TFicheParametreProduit::btnExportClick()
{
    TFicheExportation fiche(m_dm, this);
    fiche.exec();
}

void TFicheParametreProduit::btnImportClick()
{
    Prompts().Message(QStringLiteral("ATTENTION \n\nAvant toute utilisation de cet écran, veuillez faire une "
                                     "sauvegarde/copie de la base de données : \"%1\".")
                          .arg(m_dm.NomCatalogue()));
    {
        TFicheImportation fiche(m_dm, this);
        fiche.exec();
    }
    // The import may have changed any category or product: the search
    // index is built again from the new rows, the tree and the list are
    // read again, on the same category when it still exists.
    m_recherche->Preparer();
    const QTreeWidgetItem* noeud = NoeudSelectionne();
    RechargerArbreEtListe(noeud != tvProduitType->topLevelItem(0) ? CategorieSelectionnee() : 0);
}

void TFicheParametreProduit::btnReapprovisionnerClick()
{
    // The selected category and those below it; the root, or no category,
    // the whole catalogue.
    const QTreeWidgetItem* noeud = NoeudSelectionne();
    const int categorie = CategorieSelectionnee();
    TFicheReapprovisionnement fiche(m_dm, categorie, categorie != 0 && noeud ? noeud->text(0) : QString(), this);
    fiche.exec();
}

void TFicheParametreProduit::tvProduitTypeMenu(const QPoint& position)
{
    // The entry acts on the selected category: a right click selects the
    // category under the pointer first, so it is the one raised.
    if (QTreeWidgetItem* noeud = tvProduitType->itemAt(position))
        tvProduitType->setCurrentItem(noeud);
    pmTypeProduit->popup(tvProduitType->viewport()->mapToGlobal(position));
}

void TFicheParametreProduit::lvProduitsMouseDown(const QPoint& position)
{
    m_debutGlisser = position;
    m_glisserPossible = lvProduits->indexAt(position).isValid();
}

void TFicheParametreProduit::CommencerGlisser()
{
    const int ligne = LigneSelectionnee(lvProduits);
    if (ligne < 0)
        return;
    auto* donnees = new QMimeData;
    donnees->setData(QString::fromLatin1(FormatGlisser), m_modele->Texte(ligne, ColId).toUtf8());
    auto* glisser = new QDrag(lvProduits);
    glisser->setMimeData(donnees);
    glisser->exec(Qt::MoveAction);
    tvProduitTypeEndDrag();
}

bool TFicheParametreProduit::tvProduitTypeDragOver(const QObject* source) const
{
    return source && source->objectName() == QLatin1String("lvProduits");
}

void TFicheParametreProduit::tvProduitTypeDragDrop(const QObject* source, const QPoint& position)
{
    if (!tvProduitTypeDragOver(source))
        return;
    const int ligne = LigneSelectionnee(lvProduits);
    const TObjectNoeud* cible = ObjetNoeud(tvProduitType->itemAt(position));
    if (ligne < 0 || !cible)
        return;
    const int ancienneCategorie = m_modele->Ligne(ligne).idProduitType;
    DeplacerProduit(ligne, cible->GetIdProduitType());
    ActualiserListe(ancienneCategorie);
}

void TFicheParametreProduit::tvProduitTypeEndDrag() { tvProduitType->viewport()->update(); }

bool TFicheParametreProduit::eventFilter(QObject* objet, QEvent* evenement)
{
    if (objet == lvProduits->viewport()) {
        switch (evenement->type()) {
            case QEvent::MouseButtonPress: {
                const auto* souris = static_cast<QMouseEvent*>(evenement);
                if (souris->button() == Qt::LeftButton)
                    lvProduitsMouseDown(souris->position().toPoint());
                break;
            }
            case QEvent::MouseMove: {
                const auto* souris = static_cast<QMouseEvent*>(evenement);
                if (m_glisserPossible && (souris->buttons() & Qt::LeftButton)
                    && (souris->position().toPoint() - m_debutGlisser).manhattanLength()
                        >= QApplication::startDragDistance()) {
                    m_glisserPossible = false;
                    CommencerGlisser();
                    return true;
                }
                break;
            }
            case QEvent::MouseButtonRelease:
                m_glisserPossible = false;
                break;
            default:
                break;
        }
    } else if (objet == tvProduitType->viewport()) {
        switch (evenement->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop: {
                auto* depot = static_cast<QDropEvent*>(evenement);
                if (!tvProduitTypeDragOver(depot->source())) {
                    depot->ignore();
                    return true;
                }
                depot->setDropAction(Qt::MoveAction);
                depot->accept();
                if (evenement->type() == QEvent::Drop)
                    tvProduitTypeDragDrop(depot->source(), depot->position().toPoint());
                return true;
            }
            default:
                break;
        }
    }
    return QWidget::eventFilter(objet, evenement);
}

void TFicheParametreProduit::ConfigurerClavier()
{
    // On the product list, Enter opens the product as a double click does and
    // Delete is the "Supprimer" button; on the tree, F2 manages the category.
    LierTouches(lvProduits, {Qt::Key_Return, Qt::Key_Enter}, [this] { lvProduitsDblClick(); });
    LierTouches(lvProduits, {Qt::Key_Delete}, [this] {
        if (btnSupprimer->isEnabled())
            btnSupprimerClick();
    });
    // The Menu key opens the category's pop-up menu ("Hausse") on the selected category.
    LierTouches(tvProduitType, {Qt::Key_Menu}, [this] {
        const QTreeWidgetItem* noeud = tvProduitType->currentItem();
        tvProduitTypeMenu(noeud ? tvProduitType->visualItemRect(noeud).center() : QPoint());
    });
    LierTouches(tvProduitType, {Qt::Key_F2}, [this] {
        if (ObjetNoeud(NoeudSelectionne()))
            OuvrirGestionCategories(CategorieSelectionnee());
    });
}
