#include "gui/product/ficheajoutercarac.h"

#include "gui/common/ergonomie.h"
#include "core/base/prompts.h"
#include "core/catalogue/caracteristiques.h"
#include "gui/product/ficheparametrecarac.h"
#include "gui/product/controles.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QGroupBox* Cadre(const QString& titre, QWidget* contenu)
{
    auto* g = new QGroupBox(titre);
    auto* l = new QVBoxLayout(g);
    l->addWidget(contenu);
    return g;
}
}  // namespace

TFicheAjouterCarac::TFicheAjouterCarac(TdmKestravel& dm, const TListeCaracValeurs& caracs, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_caracs(caracs)
{
    setWindowTitle("Paramètrage des caractéristiques du produit");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);

    lvCaracs = new QTreeWidget(this);
    lvCaracs->setObjectName("lvCaracs");
    ConfigurerListe(lvCaracs, {{"Externe", 1}, {"IdProduitCarac", 1}, {"Libelle", 220}, {"Unite", 70}}, 2);
    lvCaracsProduits = new QTreeWidget(this);
    lvCaracsProduits->setObjectName("lvCaracsProduits");
    ConfigurerListe(lvCaracsProduits,
                    {{"Externe", 1}, {"IdCarac", 1}, {"Libellé", 220}, {"Valeur", 70}, {"Unité", 70}}, 2);
    btnAjouterProduit = Bouton(this, "btnAjouterProduit", "Ajouter au produit >>");
    btnSupprimer = Bouton(this, "btnSupprimer", "Supprimer");
    btnGestionCarac = Bouton(this, "btnGestionCarac", "Gérer des caractéristiques");
    btnOk = Bouton(this, "btnOk", "Valider");
    btnOk->setDefault(true);
    BitBtn1 = Bouton(this, "BitBtn1", "Annuler");

    auto* milieu = new QVBoxLayout;
    milieu->addStretch();
    milieu->addWidget(btnAjouterProduit);
    milieu->addWidget(btnSupprimer);
    milieu->addStretch();
    auto* listes = new QHBoxLayout;
    listes->addWidget(Cadre("Liste des caractéristiques", lvCaracs));
    listes->addLayout(milieu);
    listes->addWidget(Cadre("Liste des caractéristiques du produit", lvCaracsProduits));
    auto* bas = new QHBoxLayout;
    bas->addWidget(btnGestionCarac);
    bas->addStretch();
    bas->addWidget(btnOk);
    bas->addWidget(BitBtn1);
    auto* l = new QVBoxLayout(this);
    l->addLayout(listes);
    l->addLayout(bas);
    resize(900, 420);

    NommerPourLecteur(lvCaracs, QStringLiteral("Liste des caractéristiques"));
    NommerPourLecteur(lvCaracsProduits, QStringLiteral("Liste des caractéristiques du produit"));
    OrdreTabulation({lvCaracs, btnAjouterProduit, btnSupprimer, lvCaracsProduits, btnGestionCarac, btnOk, BitBtn1});

    connect(btnAjouterProduit, &QPushButton::clicked, this, &TFicheAjouterCarac::btnAjouterProduitClick);
    connect(lvCaracs, &QTreeWidget::itemDoubleClicked, this, &TFicheAjouterCarac::btnAjouterProduitClick);
    connect(btnSupprimer, &QPushButton::clicked, this, &TFicheAjouterCarac::btnSupprimerClick);
    connect(btnGestionCarac, &QPushButton::clicked, this, &TFicheAjouterCarac::btnGestionCaracClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    RemplirDisponibles();
    RemplirAffectees();
}

void TFicheAjouterCarac::RemplirDisponibles()
{
    RemplirDefinitions(lvCaracs, m_dm);
}

void TFicheAjouterCarac::RemplirAffectees()
{
    RemplirValeurs(lvCaracsProduits, m_caracs);
    btnSupprimer->setEnabled(!m_caracs.isEmpty());
}

void TFicheAjouterCarac::btnAjouterProduitClick()
{
    const QTreeWidgetItem* ligne = LigneChoisie(lvCaracs);
    if (!ligne)
        return;
    const int externe = ligne->text(0).toInt(), id = ligne->text(1).toInt();
    const bool dejaLa = std::any_of(m_caracs.cbegin(), m_caracs.cend(), [&](const TCaracValeurPtr& c) {
        return c->GetExterne() == externe && c->GetIdProduitCarac() == id;
    });
    if (dejaLa) {
        Prompts().Information("Cette caractéristique éxiste déjà pour ce produit");
        return;
    }
    const std::optional<QString> valeur = Prompts().Saisir("Renseigner la valeur", "Valeur", "Valeur par défaut");
    if (!valeur)
        return;
    if (valeur->isEmpty()) {
        Prompts().Information("Le champ valeur ne doit pas être vide");
        return;
    }
    const std::optional<TCaracteristiques> d = LireDefinition(m_dm, externe, id);
    if (!d)
        return;
    auto c = std::make_shared<TCaracValeur>();
    c->SetExterne(externe);
    c->SetIdProduitCarac(id);
    c->SetLibelle(d->GetLibelle());
    c->SetUnite(d->GetUnite());
    c->SetValeur(*valeur);
    m_caracs.append(c);
    RemplirAffectees();
}

void TFicheAjouterCarac::btnSupprimerClick()
{
    if (const QTreeWidgetItem* ligne = LigneChoisie(lvCaracsProduits)) {
        const int externe = ligne->text(0).toInt(), id = ligne->text(1).toInt();
        // Only the entry goes: the editor may still hold the object.
        for (qsizetype i = m_caracs.size() - 1; i >= 0; --i)
            if (m_caracs[i]->GetExterne() == externe && m_caracs[i]->GetIdProduitCarac() == id) {
                m_caracs.removeAt(i);
                break;
            }
    }
    RemplirAffectees();
}

void TFicheAjouterCarac::btnGestionCaracClick()
{
    {
        TFicheParametreCarac fiche(m_dm, this);
        fiche.exec();
    }
    RemplirDisponibles();
    for (const TCaracValeurPtr& c : m_caracs)
        if (const std::optional<TCaracteristiques> d = LireDefinition(m_dm, c->GetExterne(), c->GetIdProduitCarac())) {
            c->SetLibelle(d->GetLibelle());
            c->SetUnite(d->GetUnite());
        }
    RemplirAffectees();
}
