#include "gui/product/ficheparametrecarac.h"

#include "core/base/prompts.h"
#include "core/catalogue/caracteristiques.h"
#include "core/store/erreurs.h"
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
    // Checked again inside the write, against what is stored then.
    return !InformerSiRefus([&] {
        if (DefinitionEnDouble(m_dm, libelle, unite))
            throw ERefus(QStringLiteral("Cette caractéristique existe dèja"));
    });
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
        InformerSiRefus([&] { AjouterDefinition(m_dm, libelle, unite); });
    Terminer();
}

void TFicheParametreCarac::btnModifierClick()
{
    if (const QTreeWidgetItem* ligne = LigneChoisie(lvCaracs)) {
        TCaracteristiques lue;  // as the list shows it
        lue.SetExterne(ligne->text(0).toInt());
        lue.SetIdProduitCarac(ligne->text(1).toInt());
        lue.SetLibelle(ligne->text(2));
        lue.SetUnite(ligne->text(3));
        const QString libelle = edtLibelle->text(), unite = edtUnite->text();
        if (!SaisieRefusee(libelle, unite)
            && (!DefinitionUtilisee(m_dm, lue.GetExterne(), lue.GetIdProduitCarac())
                || Prompts().Confirmer("La modification impactera tous les produits utilisant ce type de "
                                       "caractéristique, voulez-vous continuer?")))
            InformerSiRefus([&] { ModifierDefinition(m_dm, lue, libelle, unite); });
    }
    Terminer();
}

void TFicheParametreCarac::btnSupprimerClick()
{
    if (const QTreeWidgetItem* ligne = LigneChoisie(lvCaracs)) {
        const int externe = ligne->text(0).toInt(), id = ligne->text(1).toInt();
        InformerSiRefus([&] { SupprimerDefinition(m_dm, externe, id); });
    }
    Terminer();
}
