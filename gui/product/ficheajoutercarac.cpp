#include "gui/product/ficheajoutercarac.h"

#include "core/base/prompts.h"
#include "core/catalogue/caracteristiques.h"
#include "gui/product/controles.h"
#include "gui/product/ficheparametrecarac.h"

#include <algorithm>

TFicheAjouterCarac::TFicheAjouterCarac(TdmKestravel& dm, const TListeCaracValeurs& caracs, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_caracs(caracs)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setupUi(this);
    ConfigurerListe(lvCaracs, {{"Externe", 1}, {"IdProduitCarac", 1}, {"Libelle", 220}, {"Unite", 70}}, 2);
    ConfigurerListe(lvCaracsProduits, {{"Externe", 1}, {"IdCarac", 1}, {"Libellé", 220}, {"Valeur", 70}, {"Unité", 70}},
                    2);

    connect(btnAjouterProduit, &QPushButton::clicked, this, &TFicheAjouterCarac::btnAjouterProduitClick);
    connect(lvCaracs, &QTreeWidget::itemDoubleClicked, this, &TFicheAjouterCarac::btnAjouterProduitClick);
    connect(btnSupprimer, &QPushButton::clicked, this, &TFicheAjouterCarac::btnSupprimerClick);
    connect(btnGestionCarac, &QPushButton::clicked, this, &TFicheAjouterCarac::btnGestionCaracClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

    RemplirDisponibles();
    RemplirAffectees();
    // The window opens on its default button.
    btnOk->setFocus();
}

void TFicheAjouterCarac::RemplirDisponibles() { RemplirDefinitions(lvCaracs, m_dm); }

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
