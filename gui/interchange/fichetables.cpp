#include "gui/interchange/fichetables.h"

#include "core/base/prompts.h"
#include "core/interchange/interchange.h"
#include "gui/common/application.h"
#include "gui/common/ergonomie.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

TFicheTables::TFicheTables(TdmKestravel& dm, QWidget* parent, TTextes textes)
    : QDialog(parent), m_dm(dm), m_textes(std::move(textes))
{
    setupUi(this);
    setWindowTitle(m_textes.titre);
    lblChoixRepertoire->setText(m_textes.choixRepertoire);
    connect(btnParcourir, &QToolButton::clicked, this, &TFicheTables::btnParcourirClick);

    // One row per table, in the order of TablesCsv(): its button, its
    // progress bar, and the mark shown once it is done.
    QPushButton* const boutons[] = {btnProduit, btnProduitCarac, btnProduitType, btnProduitTypeCarac, btnTransaction};
    m_barres = {pbProduit, pbProduitCarac, pbProduitType, pbProduitTypeCarac, pbTransaction};
    m_marques = {imgYesProduit, imgYesProduitCarac, imgYesProduitType, imgYesProduitTypeCarac, imgYesTransaction};
    const QPixmap coche = style()->standardIcon(QStyle::SP_DialogApplyButton).pixmap(16, 16);
    using Gestionnaire = void (TFicheTables::*)();
    const Gestionnaire gestionnaires[] = {&TFicheTables::btnProduitClick, &TFicheTables::btnProduitCaracClick,
                                          &TFicheTables::btnProduitTypeClick, &TFicheTables::btnProduitTypeCaracClick,
                                          &TFicheTables::btnTransactionClick};
    for (int i = 0; i < 5; ++i) {
        QPushButton* bouton = boutons[i];
        bouton->setText(m_textes.boutons.value(i));
        bouton->setToolTip(m_textes.infoBulle);
        NommerPourLecteur(m_barres[i], m_textes.boutons.value(i));
        m_marques[i]->setPixmap(coche);
        m_marques[i]->hide();
        connect(bouton, &QPushButton::clicked, this, gestionnaires[i]);
    }
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
        if (Travailler(table))
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
