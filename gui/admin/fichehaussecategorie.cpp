#include "gui/admin/fichehaussecategorie.h"

#include "core/base/prompts.h"
#include "core/catalogue/hausse.h"
#include "core/store/format.h"
#include "gui/common/attente.h"

#include <QButtonGroup>
#include <QEvent>
#include <QRegularExpressionValidator>

TFicheHausseCategorie::TFicheHausseCategorie(TdmKestravel& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_titre(QStringLiteral("Hausse de la catégorie :"))
{
    setupUi(this);
    // Numbers only, with two decimals at most; the decimal key of a French
    // numeric keypad types ".", so both separators are taken.
    jveHausseValeur->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9]{0,9}([.,][0-9]{0,2})?")), jveHausseValeur));
    m_types = new QButtonGroup(this);
    m_types->addButton(rgHausseType0, HausseEuros);
    m_types->addButton(rgHausseType1, HaussePourcentage);
    m_types->addButton(rgHausseType2, HausseCoefficient);
    m_types->button(HausseEuros)->setChecked(true);

    connect(btnOk, &QPushButton::clicked, this, &TFicheHausseCategorie::btnOkClick);
    connect(btnAnnuler, &QPushButton::clicked, this, &QDialog::reject);
    setWindowTitle(m_titre);
}

void TFicheHausseCategorie::SetLibelleCategorie(const QString& libelle)
{
    m_titre = QStringLiteral("Hausse de la catégorie : ") + libelle;
}

void TFicheHausseCategorie::FormActivate() { setWindowTitle(m_titre); }

void TFicheHausseCategorie::showEvent(QShowEvent* e)
{
    FormActivate();
    QDialog::showEvent(e);
}

void TFicheHausseCategorie::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QDialog::changeEvent(e);
}

void TFicheHausseCategorie::btnOkClick()
{
    // The value is read before any price is touched: an empty field is
    // refused rather than taken as 0, which would zero every price in the
    // percentage and coefficient modes.
    bool ok = false;
    const double valeur = LireMontant(jveHausseValeur->text(), &ok);
    if (!ok) {
        Prompts().Message(QStringLiteral("Veuillez saisir la valeur de la hausse (un nombre, par exemple 1,50)."));
        jveHausseValeur->setFocus();
        jveHausseValeur->selectAll();
        return;
    }
    int resultat = 0;
    {
        // A large tree takes a while; stopping it rolls every price back.
        TFenetreAvancement avancement(QStringLiteral("Hausse des prix en cours…"), this);
        const TCurseurOccupe occupe(Qt::BusyCursor);
        resultat = AppliquerHausse(m_dm, m_idProduitType, m_types->checkedId(), valeur,
                                   cbHausseSurTypesProduitsFils->isChecked(), [&]() { return avancement.Continuer(); });
    }
    if (resultat == HausseArretee) {
        Prompts().Information(QStringLiteral("Hausse annulée : aucun prix n'a été modifié."));
        return;
    }
    accept();
}
