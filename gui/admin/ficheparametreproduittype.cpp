#include "gui/admin/ficheparametreproduittype.h"

#include "core/base/prompts.h"
#include "core/catalogue/categories.h"
#include "core/store/dmkestravel.h"
#include "gui/admin/arbreinterne.h"

namespace {
bool EstRacine(const TObjectNoeud& o) { return o.GetIdProduitType() == 0 && o.GetExterne() == 0; }
}  // namespace

TFicheParametreProduitType::TFicheParametreProduitType(TdmKestravel& dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setupUi(this);
    connect(tvProduitType, &QTreeWidget::currentItemChanged, this, &TFicheParametreProduitType::tvProduitTypeChange);
    connect(btnAjouter, &QPushButton::clicked, this, &TFicheParametreProduitType::btnAjouterClick);
    connect(btnModifier, &QPushButton::clicked, this, &TFicheParametreProduitType::btnModifierClick);
    connect(btnSupprimer, &QPushButton::clicked, this, &TFicheParametreProduitType::btnSupprimerClick);
    RemplirArbreCategories();
}

void TFicheParametreProduitType::SetCategorieASelectionner(int id)
{
    m_categorieASelectionner = id;
    RemplirArbreCategories();
}

QTreeWidgetItem* TFicheParametreProduitType::NoeudSelectionne() const
{
    const QList<QTreeWidgetItem*> choix = tvProduitType->selectedItems();
    return choix.isEmpty() ? nullptr : choix.first();
}

void TFicheParametreProduitType::AfficherLibelle(const QTreeWidgetItem* noeud)
{
    // The root has no row: the edit then keeps its text.
    if (const TObjectNoeud* objet = ObjetNoeud(noeud))
        if (const auto libelle = LibelleCategorie(m_dm, objet->GetExterne(), objet->GetIdProduitType())) {
            edtLibelle->setText(*libelle);
            m_libelleLu = *libelle;
        }
}

void TFicheParametreProduitType::RemplirArbreCategories()
{
    QTreeWidgetItem* selection;
    {
        const QSignalBlocker bloque(tvProduitType);
        selection = ChargerArbreInterne(m_dm, tvProduitType, m_noeuds, m_categorieASelectionner);
    }
    m_majLibelle = false;
    if (selection)
        tvProduitType->setCurrentItem(selection);
    m_majLibelle = true;
    AfficherLibelle(selection);
}

void TFicheParametreProduitType::tvProduitTypeChange(QTreeWidgetItem* noeud)
{
    if (m_majLibelle)
        AfficherLibelle(noeud);
}

void TFicheParametreProduitType::btnAjouterClick()
{
    if (const TObjectNoeud* selection = ObjetNoeud(NoeudSelectionne())) {
        const TObjectNoeud parent = *selection;
        // A refused label leaves the would-be parent selected.
        m_categorieASelectionner = parent.GetIdProduitType();
        InformerSiRefus([&] { m_categorieASelectionner = AjouterCategorie(m_dm, parent, edtLibelle->text()); });
    }
    RemplirArbreCategories();
}

void TFicheParametreProduitType::btnModifierClick()
{
    if (const TObjectNoeud* selection = ObjetNoeud(NoeudSelectionne())) {
        const TObjectNoeud categorie = *selection;
        if (EstRacine(categorie)) {
            Prompts().Information(QStringLiteral("Impossible de renommer le dossier racine"));
        } else {
            const QString saisi = edtLibelle->text();
            TIssueAccord issue = TIssueAccord::Ecrit;
            InformerSiRefus([&] { issue = RenommerCategorie(m_dm, categorie, m_libelleLu, saisi); });
            m_categorieASelectionner = categorie.GetIdProduitType();
            if (issue == TIssueAccord::Annule) {
                // The other workstation's name is kept; the typed one stays
                // in the edit.
                RemplirArbreCategories();
                edtLibelle->setText(saisi);
                return;
            }
        }
    }
    RemplirArbreCategories();
}

void TFicheParametreProduitType::btnSupprimerClick()
{
    if (const TObjectNoeud* selection = ObjetNoeud(NoeudSelectionne())) {
        const TObjectNoeud categorie = *selection;
        if (EstRacine(categorie)) {
            Prompts().Information(QStringLiteral("Impossible de supprimer le noeud racine"));
            m_categorieASelectionner = 0;
        } else {
            // Refused: the category stays where the user left it.
            m_categorieASelectionner = categorie.GetIdProduitType();
            InformerSiRefus([&] {
                if (const auto parent = SupprimerCategorie(m_dm, categorie)) {
                    edtLibelle->clear();
                    m_categorieASelectionner = *parent;
                }
            });
        }
    }
    RemplirArbreCategories();
}

void TFicheParametreProduitType::done(int resultat)
{
    if (const TObjectNoeud* objet = ObjetNoeud(NoeudSelectionne()))
        m_categorieResultat = objet->GetIdProduitType();
    const QSignalBlocker bloque(tvProduitType);
    tvProduitType->clear();
    m_noeuds.Vider();
    QDialog::done(resultat);
}
