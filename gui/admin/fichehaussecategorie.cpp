#include "gui/admin/fichehaussecategorie.h"

#include "core/catalogue/hausse.h"
#include "gui/common/attente.h"
#include "core/base/prompts.h"
#include "core/store/format.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

TFicheHausseCategorie::TFicheHausseCategorie(TdmKestravel& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_titre(QStringLiteral("Hausse de la catégorie :"))
{
    setObjectName("FicheHausseCategorie");
    setMinimumWidth(289);

    auto* Label1 = new QLabel(QStringLiteral("Valeur"), this);
    Label1->setObjectName("Label1");
    jveHausseValeur = new QLineEdit(this);
    jveHausseValeur->setObjectName("jveHausseValeur");
    jveHausseValeur->setAlignment(Qt::AlignRight);
    // Numbers only, with two decimals at most; the decimal key of a French
    // numeric keypad types ".", so both separators are taken.
    jveHausseValeur->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("-?[0-9]{0,9}([.,][0-9]{0,2})?")), jveHausseValeur));
    Label1->setBuddy(jveHausseValeur);

    auto* rgHausseType = new QGroupBox(QStringLiteral("Type"), this);
    rgHausseType->setObjectName("rgHausseType");
    auto* colonneTypes = new QVBoxLayout(rgHausseType);
    m_types = new QButtonGroup(this);
    const QString items[] = {QStringLiteral("En euros"), QStringLiteral("Pourcentage"), QStringLiteral("Coefficient")};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(items[i], rgHausseType);
        r->setObjectName(QStringLiteral("rgHausseType%1").arg(i));
        m_types->addButton(r, i);
        colonneTypes->addWidget(r);
    }
    m_types->button(HausseEuros)->setChecked(true);

    cbHausseSurTypesProduitsFils =
        new QCheckBox(QStringLiteral("Appliquer la hausse sur les types produits enfants"), this);
    cbHausseSurTypesProduitsFils->setObjectName("cbHausseSurTypesProduitsFils");

    btnOk = new QPushButton(QStringLiteral("Valider"), this);
    btnOk->setObjectName("btnOk");
    btnOk->setDefault(true);
    btnAnnuler = new QPushButton(QStringLiteral("Annuler"), this);
    btnAnnuler->setObjectName("btnAnnuler");

    auto* ligneValeur = new QHBoxLayout;
    ligneValeur->addWidget(Label1);
    ligneValeur->addWidget(jveHausseValeur, 1);
    auto* boutons = new QHBoxLayout;
    boutons->addStretch();
    boutons->addWidget(btnOk);
    boutons->addWidget(btnAnnuler);
    auto* page = new QVBoxLayout(this);
    page->addLayout(ligneValeur);
    page->addWidget(rgHausseType);
    page->addWidget(cbHausseSurTypesProduitsFils);
    page->addStretch();
    page->addLayout(boutons);
    page->setSizeConstraint(QLayout::SetFixedSize);

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
