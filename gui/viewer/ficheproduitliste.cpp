#include "gui/viewer/ficheproduitliste.h"

#include "core/catalogue/veille.h"
#include "core/store/catalogue.h"
#include "gui/common/ergonomie.h"
#include "gui/common/listeproduits.h"
#include "gui/common/rechercheliste.h"
#include "gui/viewer/ficheproduitview.h"

#include <QHeaderView>
#include <QSplitter>

namespace {
const char* const LibellesRacines[] = {"Interne", "Externe", "Standard"};

// Columns of lvProduits: the key (origin, product, category) in three
// one-pixel columns, then what the user reads.
enum ColonneListe {
    ListeExterne,
    ListeIdProduit,
    ListeIdType,
    ListeLibelle,
    ListeReference,
    ListePrixVente,
    ListeStock
};

QVector<TColonneProduit> ColonnesVisualisation()
{
    using C = TChampProduit;
    return {{C::Externe, QStringLiteral("Externe")},
            {C::IdProduit, QStringLiteral("IdProduit")},
            {C::IdProduitType, QStringLiteral("IdTypeProduit")},
            {C::Libelle, QStringLiteral("Libelle")},
            {C::Reference, QStringLiteral("Référence")},
            {C::PrixVenteHT, QStringLiteral("Prix vente HT"), true},
            {C::Stock, QStringLiteral("Stock"), true}};
}
}  // namespace

TFicheProduitListe::TFicheProduitListe(TdmKestravel& dm, QWidget* parent)
    : QWidget(parent), m_dm(dm), m_modele(new TModeleProduits(ColonnesVisualisation(), this))
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setupUi(this);
    separation->setStretchFactor(1, 1);
    separation->setSizes({300, 700});

    lvProduits->setModel(m_modele);
    QHeaderView* entete = lvProduits->header();
    const int largeurs[] = {1, 1, 1, 370, 90, 80, 50};
    for (int c = 0; c < 7; ++c)
        entete->resizeSection(c, largeurs[c]);
    for (int c : {ListeExterne, ListeIdProduit, ListeIdType})
        entete->setSectionResizeMode(c, QHeaderView::Fixed);

    m_recherche = new TRechercheListe(m_dm, this, edtRecherche, lbRecherche, [this](const QString& texte) {
        TCritereRecherche critere;
        critere.texte = texte;
        critere.externe = OrigineSelectionnee();
        critere.categories = m_categoriesRecherche;
        return critere;
    });
    m_recherche->surResultats = [this](TLignesProduits lignes) {
        if (std::exchange(m_actualiserResultats, false) && m_modele->AvecCategorie()) {
            m_modele->Actualiser(std::move(lignes));
            return;
        }
        m_modele->Remplir(std::move(lignes), true);
        lvProduits->setColumnWidth(ListeStock + 1, 160);
    };
    m_recherche->surEffacement = [this] {
        if (m_categorieAffichee >= 0)
            AfficherProduitsCategorie(m_externeAffiche, m_categorieAffichee);
        else
            m_modele->Vider();
    };
    m_recherche->surCodeLu = [this](const TLignesProduits::Ligne& l) { OuvrirProduit(l); };

    connect(tvVisualisation, &QTreeWidget::currentItemChanged, this, &TFicheProduitListe::tvVisualisationChange);
    connect(lvProduits, &QAbstractItemView::doubleClicked, this, &TFicheProduitListe::lvProduitsDblClick);
    // Enter opens the product as a double click does.
    LierTouches(lvProduits, {Qt::Key_Return, Qt::Key_Enter}, [this] { lvProduitsDblClick(); });
    // Titles such as "Prix vente HT" are wider than their column in most fonts.
    ElargirAuxTitres(lvProduits->header(), ListeLibelle);

    m_veille = new TVeilleCatalogue(m_dm, this);
    connect(m_veille, &TVeilleCatalogue::changement, this, &TFicheProduitListe::CatalogueChange);

    RemplirArbreVisualisation();
    if (tvVisualisation->topLevelItemCount() > 0)
        tvVisualisation->scrollToItem(tvVisualisation->topLevelItem(0));
}

void TFicheProduitListe::RemplirArbreVisualisation()
{
    // The tree signals nothing while it is rebuilt: no category is selected
    // during a load.
    const QSignalBlocker silence(tvVisualisation);
    m_noeuds.Vider();
    tvVisualisation->clear();
    std::fill(std::begin(m_racines), std::end(m_racines), nullptr);

    m_categoriesLues = LireCategories(m_dm);
    const QVector<TLigneCategorie>& lignes = m_categoriesLues;
    QList<QTreeWidgetItem*> racines;
    for (int externe = 0; externe < 3; ++externe) {
        const bool presente = std::any_of(lignes.begin(), lignes.end(),
                                          [externe](const TLigneCategorie& l) { return l.externe == externe; });
        if (!presente)
            continue;
        auto* racine = new QTreeWidgetItem(QStringList{LibellesRacines[externe]});
        m_racines[externe] = racine;
        PlacerCategories(racine, lignes, externe, m_noeuds);
        racines.push_back(racine);
    }
    m_categoriesRecherche.clear();
    m_categoriesRecherche.reserve(m_noeuds.Entrees().size());
    for (const TEntreeNoeud& e : m_noeuds.Entrees())
        if (e.noeud)
            m_categoriesRecherche.insert(CleCategorie(e.objet.GetExterne(), e.objet.GetIdProduitType()),
                                         e.noeud->text(0));
    MontrerArbre(tvVisualisation, racines);
    tvVisualisation->setCurrentItem(nullptr);
}

void TFicheProduitListe::AfficherProduitsCategorie(int externe, int idProduitType)
{
    if (externe == -1 && idProduitType == -1)
        return;
    m_modele->Remplir(LireProduitsCategorie(m_dm, externe, idProduitType));
    m_externeAffiche = externe;
    m_categorieAffichee = idProduitType;
}

void TFicheProduitListe::CatalogueChange()
{
    ActualiserArbre();
    if (m_recherche->Active()) {
        m_actualiserResultats = true;
        m_recherche->Relancer();
    } else if (m_categorieAffichee >= 0) {
        m_modele->Actualiser(LireProduitsCategorie(m_dm, m_externeAffiche, m_categorieAffichee));
    }
}

void TFicheProduitListe::ActualiserArbre()
{
    // A sale leaves the categories as they are: one read, nothing rebuilt.
    if (LireCategories(m_dm) == m_categoriesLues)
        return;
    const TVueArbre vue = VueArbre(tvVisualisation);
    RemplirArbreVisualisation();
    if (RetablirVueArbre(tvVisualisation, vue) || m_categorieAffichee < 0 || m_recherche->Active())
        return;
    // The category shown was deleted elsewhere.
    m_categorieAffichee = -1;
    m_modele->Vider();
}

int TFicheProduitListe::OrigineSelectionnee() const
{
    const QTreeWidgetItem* noeud = tvVisualisation->currentItem();
    while (noeud && noeud->parent())
        noeud = noeud->parent();
    for (int externe = 0; externe < 3; ++externe)
        if (noeud && noeud == m_racines[externe])
            return externe;
    return -1;
}

void TFicheProduitListe::tvVisualisationChange()
{
    const TObjectNoeud* objet = ObjetNoeud(tvVisualisation->currentItem());
    if (m_recherche->Active()) {
        // A category ends the search; a root searches its whole origin.
        if (!objet) {
            m_recherche->Relancer();
            return;
        }
        m_recherche->Effacer();
    }
    if (objet)
        AfficherProduitsCategorie(objet->GetExterne(), objet->GetIdProduitType());
    else
        AfficherProduitsCategorie(-1, -1);
}

void TFicheProduitListe::lvProduitsDblClick()
{
    const int ligne = LigneSelectionnee(lvProduits);
    if (ligne < 0)
        return;
    OuvrirProduit(m_modele->Ligne(ligne));
}

void TFicheProduitListe::OuvrirProduit(TLignesProduits::Ligne l)
{
    std::optional<TProduit> produit = LireProduit(m_dm, l.externe, l.idProduit, l.idProduitType);
    // Deleted since the list was filled: nothing opens.
    if (!produit)
        return;
    produit->SetCaracValeurs(ChargerCaracValeurs(m_dm, *produit));

    bool exporte = false;
    {
        TFicheProduitView vue(this, m_cheminExport, *produit);
        // The view shows the product as the tills leave it.
        connect(m_veille, &TVeilleCatalogue::changement, &vue, [&] {
            if (auto maintenant = LireProduit(m_dm, l.externe, l.idProduit, l.idProduitType)) {
                maintenant->SetCaracValeurs(ChargerCaracValeurs(m_dm, *maintenant));
                vue.Actualiser(*maintenant);
            }
        });
        vue.exec();
        exporte = vue.ExportEffectue();
    }
    if (exporte)
        close();
}
