#include "gui/product/ficheparametrecarac.h"

#include "core/base/prompts.h"
#include "core/catalogue/caracteristiques.h"
#include "gui/product/controles.h"

TFicheParametreCarac::TFicheParametreCarac(TdmKestravel& dm, QWidget* parent) : QDialog(parent), m_dm(dm)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setupUi(this);
    ConfigurerListe(lvCaracs, {{"Externe", 0}, {"IdProduitCarac", 0}, {"Libellé", 300}, {"Unité", 80}}, 2);

    connect(lvCaracs, &QTreeWidget::itemSelectionChanged, this, &TFicheParametreCarac::lvCaracsChange);
    connect(btnAjouter, &QPushButton::clicked, this, &TFicheParametreCarac::btnAjouterClick);
    connect(btnModifier, &QPushButton::clicked, this, &TFicheParametreCarac::btnModifierClick);
    connect(btnSupprimer, &QPushButton::clicked, this, &TFicheParametreCarac::btnSupprimerClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    RemplirDefinitions(lvCaracs, m_dm);
    lvCaracsChange();
}

void TFicheParametreCarac::lvCaracsChange()
{
    if (const QTreeWidgetItem* ligne = LigneChoisie(lvCaracs)) {
        edtLibelle->setText(ligne->text(2));
        edtUnite->setText(ligne->text(3));
    }
}

bool TFicheParametreCarac::SaisieRefusee(const QString& libelle, const QString& unite)
{
    if (libelle.isEmpty()) {
        Prompts().Information("Le champ Libellé ne doit pas être vide");
        return true;
    }
    if (DefinitionEnDouble(m_dm, libelle, unite)) {
        Prompts().Information("Cette caractéristique existe dèja");
        return true;
    }
    return false;
}

void TFicheParametreCarac::Terminer()
{
    edtLibelle->clear();
    edtUnite->clear();
    RemplirDefinitions(lvCaracs, m_dm);
}

void TFicheParametreCarac::btnAjouterClick()
{
    const QString libelle = edtLibelle->text(), unite = edtUnite->text();
    if (!SaisieRefusee(libelle, unite))
        AjouterDefinition(m_dm, libelle, unite);
    Terminer();
}

void TFicheParametreCarac::btnModifierClick()
{
    if (const QTreeWidgetItem* ligne = LigneChoisie(lvCaracs)) {
        const int externe = ligne->text(0).toInt(), id = ligne->text(1).toInt();
        const QString libelle = edtLibelle->text(), unite = edtUnite->text();
        if (!SaisieRefusee(libelle, unite)
            && (!DefinitionUtilisee(m_dm, externe, id)
                || Prompts().Confirmer("La modification impactera tous les produits utilisant ce type de "
                                       "caractéristique, voulez-vous continuer?")))
            ModifierDefinition(m_dm, externe, id, libelle, unite);
    }
    Terminer();
}

void TFicheParametreCarac::btnSupprimerClick()
{
    if (const QTreeWidgetItem* ligne = LigneChoisie(lvCaracs)) {
        const int externe = ligne->text(0).toInt(), id = ligne->text(1).toInt();
        if (DefinitionUtilisee(m_dm, externe, id))
            Prompts().Information("Impossible de supprimer une caractéristique qui est déja affectée au produit");
        else
            SupprimerDefinition(m_dm, externe, id);
    }
    Terminer();
}
