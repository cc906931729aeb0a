#include "gui/interchange/fichetables.h"

#include "gui/common/application.h"
#include "gui/common/ergonomie.h"
#include "core/base/prompts.h"
#include "core/interchange/interchange.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char* const SuffixesControles[] = {"Produit", "ProduitCarac", "ProduitType", "ProduitTypeCarac", "Transaction"};
}

TFicheTables::TFicheTables(TdmKestravel& dm, QWidget* parent, TTextes textes)
    : QDialog(parent), m_dm(dm), m_textes(std::move(textes))
{
    setWindowTitle(m_textes.titre);
    auto* principal = new QVBoxLayout(this);

    lblChoixRepertoire = new QLabel(m_textes.choixRepertoire, this);
    lblChoixRepertoire->setObjectName("lblChoixRepertoire");
    principal->addWidget(lblChoixRepertoire);
    auto* ligneDossier = new QHBoxLayout;
    deRepertoire = new QLineEdit(this);
    deRepertoire->setObjectName("deRepertoire");
    lblChoixRepertoire->setBuddy(deRepertoire);
    btnParcourir = new QToolButton(this);
    btnParcourir->setObjectName("btnParcourir");
    btnParcourir->setText(QStringLiteral("…"));
    btnParcourir->setToolTip(QStringLiteral("Parcourir"));
    NommerPourLecteur(btnParcourir, QStringLiteral("Parcourir"));
    ligneDossier->addWidget(deRepertoire);
    ligneDossier->addWidget(btnParcourir);
    principal->addLayout(ligneDossier);
    connect(btnParcourir, &QToolButton::clicked, this, &TFicheTables::btnParcourirClick);

    auto* grille = new QGridLayout;
    const QPixmap coche = style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(16, 16);
    using Gestionnaire = void (TFicheTables::*)();
    const Gestionnaire gestionnaires[] = {&TFicheTables::btnProduitClick, &TFicheTables::btnProduitCaracClick,
                                          &TFicheTables::btnProduitTypeClick,
                                          &TFicheTables::btnProduitTypeCaracClick,
                                          &TFicheTables::btnTransactionClick};
    for (int i = 0; i < 5; ++i) {
        const QString suffixe = QString::fromLatin1(SuffixesControles[i]);
        auto* bouton = new QPushButton(m_textes.boutons.value(i), this);
        bouton->setObjectName("btn" + suffixe);
        bouton->setToolTip(m_textes.infoBulle);
        bouton->setAutoDefault(false);
        auto* barre = new QProgressBar(this);
        barre->setObjectName("pb" + suffixe);
        barre->setRange(0, 1);
        barre->setValue(0);
        auto* marque = new QLabel(this);
        marque->setObjectName("imgYes" + suffixe);
        marque->setPixmap(coche);
        marque->setFixedSize(20, 20);
        marque->hide();
        NommerPourLecteur(barre, m_textes.boutons.value(i));
        NommerPourLecteur(marque, QStringLiteral("Terminé"));
        grille->addWidget(bouton, i, 0);
        grille->addWidget(barre, i, 1);
        grille->addWidget(marque, i, 2);
        connect(bouton, &QPushButton::clicked, this, gestionnaires[i]);
        m_barres << barre;
        m_marques << marque;
    }
    grille->setColumnStretch(1, 1);
    grille->setColumnMinimumWidth(2, 20);
    principal->addLayout(grille);
    resize(560, sizeHint().height());
}

void TFicheTables::btnProduitClick() { Lancer(TTableCsv::Produit); }
void TFicheTables::btnProduitCaracClick() { Lancer(TTableCsv::ProduitCarac); }
void TFicheTables::btnProduitTypeClick() { Lancer(TTableCsv::ProduitType); }
void TFicheTables::btnProduitTypeCaracClick() { Lancer(TTableCsv::ProduitTypeCarac); }
void TFicheTables::btnTransactionClick() { Lancer(TTableCsv::Transaction); }

void TFicheTables::btnParcourirClick()
{
    QString titre = m_textes.choixRepertoire;
    titre.remove(QStringLiteral(" :"));
    const QString depart = deRepertoire->text().isEmpty() ? QDir::homePath() : deRepertoire->text();
    const QString choix = Prompts().ChoisirDossier(titre, depart);
    if (!choix.isEmpty())
        deRepertoire->setText(QDir::toNativeSeparators(choix));
}

QString TFicheTables::Dossier() const { return QDir::fromNativeSeparators(deRepertoire->text().trimmed()); }

void TFicheTables::Lancer(TTableCsv table)
{
    if (Dossier().isEmpty())
        btnParcourirClick();
    if (Dossier().isEmpty()) {
        Prompts().Message(m_textes.sansDossier);
        return;
    }
    if (m_occupe) {
        Prompts().Message(m_textes.occupe);
        return;
    }
    m_occupe = true;
    m_depuisEvenements.invalidate();
    QLabel* marque = m_marques[int(table)];
    marque->hide();
    m_barres[int(table)]->setRange(0, 1);
    m_barres[int(table)]->setValue(0);
    try {
        Travailler(table);
        marque->show();
    } catch (const EInterchange& e) {
        Prompts().Message(e.Message());
    } catch (const std::exception&) {
        AfficherExceptionCourante();
    } catch (...) {
        Prompts().Message(m_textes.inconnue);
    }
    m_occupe = false;
}

void TFicheTables::TraiterEvenements(QEventLoop::ProcessEventsFlags drapeaux)
{
    if (m_depuisEvenements.isValid() && m_depuisEvenements.elapsed() < 20)
        return;
    QCoreApplication::processEvents(drapeaux);
    m_depuisEvenements.start();
}

void TFicheTables::reject()
{
    if (m_occupe) {
        Prompts().Message(m_textes.occupe);
        return;
    }
    QDialog::reject();
}
