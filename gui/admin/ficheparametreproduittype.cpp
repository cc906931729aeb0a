#include "gui/admin/ficheparametreproduittype.h"

#include "core/catalogue/categories.h"
#include "gui/admin/arbreinterne.h"
#include "gui/common/ergonomie.h"
#include "core/base/prompts.h"
#include "core/store/dmkestravel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
bool EstRacine(const TObjectNoeud& o) { return o.GetIdProduitType() == 0 && o.GetExterne() == 0; }
}  // namespace

TFicheParametreProduitType::TFicheParametreProduitType(TdmKestravel& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm)
{
    setWindowTitle(QStringLiteral("Gestion des catégories produits"));
    setWindowIcon(QIcon(QStringLiteral(":/icones/kestravel.png")));
    setFixedSize(345, 570);

    lbTitre = new QLabel(QStringLiteral("Libellé de la catégorie"), this);
    lbTitre->setObjectName(QStringLiteral("lbTitre"));
    QFont gras = lbTitre->font();
    gras.setBold(true);
    lbTitre->setFont(gras);
    edtLibelle = new QLineEdit(this);
    edtLibelle->setObjectName(QStringLiteral("edtLibelle"));
    edtLibelle->setMaxLength(50);
    lbTitre->setBuddy(edtLibelle);

    const auto bouton = [this](const char* nom, const QString& texte) {
        auto* b = new QPushButton(texte, this);
        b->setObjectName(QString::fromLatin1(nom));
        // Enter in the label must not add, rename or delete by surprise.
        b->setAutoDefault(false);
        return b;
    };
    btnAjouter = bouton("btnAjouter", QStringLiteral("Ajouter"));
    btnModifier = bouton("btnModifier", QStringLiteral("Modifier"));
    btnSupprimer = bouton("btnSupprimer", QStringLiteral("Supprimer"));

    tvProduitType = CreerArbreCategories(this);

    auto* boutons = new QHBoxLayout;
    boutons->addWidget(btnAjouter);
    boutons->addWidget(btnModifier);
    boutons->addWidget(btnSupprimer);
    auto* principal = new QVBoxLayout(this);
    principal->addWidget(lbTitre);
    principal->addWidget(edtLibelle);
    principal->addLayout(boutons);
    principal->addWidget(tvProduitType);

    connect(tvProduitType, &QTreeWidget::currentItemChanged, this, &TFicheParametreProduitType::tvProduitTypeChange);
    connect(btnAjouter, &QPushButton::clicked, this, &TFicheParametreProduitType::btnAjouterClick);
    connect(btnModifier, &QPushButton::clicked, this, &TFicheParametreProduitType::btnModifierClick);
    connect(btnSupprimer, &QPushButton::clicked, this, &TFicheParametreProduitType::btnSupprimerClick);

    NommerPourLecteur(tvProduitType, QStringLiteral("Catégories de produits"));
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
        if (const auto libelle = LibelleCategorie(m_dm, objet->GetExterne(), objet->GetIdProduitType()))
            edtLibelle->setText(*libelle);
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
            InformerSiRefus([&] { RenommerCategorie(m_dm, categorie, edtLibelle->text()); });
            m_categorieASelectionner = categorie.GetIdProduitType();
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
