#include "gui/common/rechercheliste.h"

#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "gui/common/ergonomie.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QToolButton>

TRechercheListe::TRechercheListe(TdmKestravel& dm, QWidget* fenetre, QLineEdit* champ, QLabel* etat,
                                 std::function<TCritereRecherche(const QString&)> critere)
    : QObject(fenetre), m_dm(dm), m_fenetre(fenetre), m_critere(std::move(critere)), m_champ(champ), m_etat(etat)
{
    m_champ->setAccessibleName(QStringLiteral("Rechercher"));
    m_champ->setPlaceholderText(QStringLiteral("Rechercher un produit (libellé, référence, code export)"));
    m_champ->setClearButtonEnabled(true);
    m_champ->setMaxLength(LongueurRechercheMax);
    for (QToolButton* effacer : m_champ->findChildren<QToolButton*>())
        NommerPourLecteur(effacer, QStringLiteral("Effacer la recherche"));
    // Escape empties the field, as its clear button does.
    LierTouches(m_champ, {Qt::Key_Escape}, [this] { m_champ->clear(); });
    m_etat->setAccessibleName(QStringLiteral("Résultat de la recherche"));
    connect(m_champ, &QLineEdit::textChanged, this, &TRechercheListe::TexteChange);
    connect(m_champ, &QLineEdit::returnPressed, this, [this] {
        if (surValidation && Active())
            surValidation();
    });
    Preparer();
    m_recherche = std::make_unique<TRechercheProduits>(
        dm.CheminBase(),
        [this](quint64 numero, TResultatRecherche resultat) {
            // Back to the window's thread; a result that arrives after the
            // window is gone is dropped with it.
            QMetaObject::invokeMethod(
                this, [this, numero, r = std::move(resultat)]() { Recevoir(numero, r); }, Qt::QueuedConnection);
        },
        dm.ConnexionServeur());
}

TRechercheListe::~TRechercheListe() = default;

bool TRechercheListe::Active() const { return !m_champ->text().trimmed().isEmpty(); }

bool TRechercheListe::Preparer()
{
    try {
        if (!IndexRechercheInstalle(m_dm.Connexion())) {
            // Once per catalogue (and after an import): tens of seconds on a
            // million products, shown rather than frozen.
            QProgressDialog attente(QStringLiteral("Préparation de la recherche des produits…"), QString(), 0, 0,
                                    m_fenetre);
            attente.setWindowTitle(QStringLiteral("Recherche"));
            attente.setWindowModality(Qt::WindowModal);
            attente.setMinimumDuration(500);
            attente.setValue(0);
            QElapsedTimer depuis;
            depuis.start();
            QApplication::setOverrideCursor(Qt::WaitCursor);
            try {
                InstallerIndexRecherche(m_dm.Connexion(), [&] {
                    if (depuis.elapsed() >= 100) {
                        attente.setValue(0);
                        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                        depuis.restart();
                    }
                });
            } catch (...) {
                QApplication::restoreOverrideCursor();
                throw;
            }
            QApplication::restoreOverrideCursor();
        }
        m_champ->setEnabled(true);
        m_champ->setToolTip(QString());
        return true;
    } catch (const EKestravel& e) {
        m_champ->setEnabled(false);
        m_champ->setToolTip(QStringLiteral("La recherche n'a pas pu être préparée : %1").arg(e.Message()));
        return false;
    }
}

void TRechercheListe::TexteChange(const QString& texte)
{
    if (texte.trimmed().isEmpty()) {
        m_recherche->Annuler();
        m_attendu = 0;
        m_etat->clear();
        if (surEffacement)
            surEffacement();
        return;
    }
    m_attendu = m_recherche->Chercher(m_critere(texte));
    m_etat->setText(QStringLiteral("Recherche…"));
}

void TRechercheListe::Relancer()
{
    if (Active())
        TexteChange(m_champ->text());
}

void TRechercheListe::Effacer()
{
    m_recherche->Annuler();
    m_attendu = 0;
    const QSignalBlocker silence(m_champ);
    m_champ->clear();
    m_etat->clear();
}

void TRechercheListe::Recevoir(quint64 numero, const TResultatRecherche& resultat)
{
    if (numero != m_attendu)
        return;
    const int n = resultat.lignes.Taille();
    if (!resultat.erreur.isEmpty())
        m_etat->setText(QStringLiteral("Recherche impossible : %1").arg(resultat.erreur));
    else if (resultat.tronque)
        m_etat->setText(
            QStringLiteral("Les %1 premiers produits trouvés sont affichés : précisez la recherche.").arg(n));
    else if (n == 0)
        m_etat->setText(QStringLiteral("Aucun produit trouvé."));
    else
        m_etat->setText(n == 1 ? QStringLiteral("1 produit trouvé.") : QStringLiteral("%1 produits trouvés.").arg(n));
    if (resultat.motsIgnores > 0)
        m_etat->setText(m_etat->text()
                        + QStringLiteral(" Seuls les %1 premiers mots sont cherchés.").arg(MotsRechercheMax));
    if (surResultats)
        surResultats(resultat.lignes);
}
