#include "gui/common/rechercheliste.h"

#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/lecturecode.h"
#include "gui/common/ergonomie.h"
#include "gui/common/indexcatalogue.h"

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

TRechercheListe::TRechercheListe(TdmKestravel& dm, QWidget* fenetre, QLineEdit* champ, QLabel* etat,
                                 std::function<TCritereRecherche(const QString&)> critere)
    : QObject(fenetre), m_dm(dm), m_critere(std::move(critere)), m_champ(champ), m_etat(etat)
{
    m_champ->setAccessibleName(QStringLiteral("Rechercher"));
    m_invite = QStringLiteral("Rechercher un produit (libellé, référence, code export)");
    m_champ->setPlaceholderText(m_invite);
    m_champ->setClearButtonEnabled(true);
    m_champ->setMaxLength(LongueurRechercheMax);
    for (QToolButton* effacer : m_champ->findChildren<QToolButton*>())
        NommerPourLecteur(effacer, QStringLiteral("Effacer la recherche"));
    // Escape empties the field, as its clear button does.
    LierTouches(m_champ, {Qt::Key_Escape}, [this] { m_champ->clear(); });
    m_etat->setAccessibleName(QStringLiteral("Résultat de la recherche"));
    connect(m_champ, &QLineEdit::textChanged, this, &TRechercheListe::TexteChange);
    connect(m_champ, &QLineEdit::returnPressed, this, &TRechercheListe::Valider);
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
        if (IndexRechercheInstalle(m_dm.Connexion())) {
            m_champ->setEnabled(true);
            m_champ->setToolTip(QString());
            return true;
        }
    } catch (const EKestravel& e) {
        m_champ->setEnabled(false);
        m_champ->setToolTip(QStringLiteral("La recherche n'a pas pu être préparée : %1").arg(e.Message()));
        return false;
    }
    // Once per catalogue (and after an import or a synchronisation): tens of
    // seconds on a million products, which the window does not wait for.
    m_champ->setEnabled(true);
    m_sansIndex = true;
    if (!m_construction) {
        Avancement(0);
        // Back to the window's thread; what arrives after the window is
        // gone is dropped with it (the build is stopped first).
        m_construction = std::make_unique<TConstructionIndexRecherche>(
            m_dm.CheminBase(),
            [this](int pourcent) {
                QMetaObject::invokeMethod(
                    this, [this, pourcent] { Avancement(pourcent); }, Qt::QueuedConnection);
            },
            [this](QString erreur) {
                QMetaObject::invokeMethod(
                    this, [this, erreur] { FinConstruction(erreur); }, Qt::QueuedConnection);
            });
    }
    return true;
}

void TRechercheListe::Avancement(int pourcent)
{
    m_pourcent = pourcent;
    const QString texte = QStringLiteral("Index de recherche en construction : %1 %").arg(pourcent);
    m_champ->setPlaceholderText(texte);
    m_champ->setToolTip(texte + QStringLiteral(". En attendant, la recherche lit chaque produit."));
    m_champ->setAccessibleDescription(texte);
}

void TRechercheListe::FinConstruction(const QString& erreur)
{
    m_construction.reset();
    if (!erreur.isEmpty()) {
        // Searches keep reading every product.
        m_champ->setPlaceholderText(m_invite);
        m_champ->setToolTip(
            QStringLiteral("L'index de recherche n'a pas pu être construit (la recherche lit chaque produit) : %1")
                .arg(erreur));
        m_champ->setAccessibleDescription(QString());
        return;
    }
    m_sansIndex = false;
    m_champ->setPlaceholderText(m_invite);
    m_champ->setToolTip(QString());
    m_champ->setAccessibleDescription(QString());
}

void TRechercheListe::TexteChange(const QString& texte)
{
    m_codeInconnu.clear();
    if (texte.trimmed().isEmpty()) {
        m_recherche->Annuler();
        m_attendu = 0;
        m_etat->clear();
        if (surEffacement)
            surEffacement();
        return;
    }
    TCritereRecherche critere = m_critere(texte);
    critere.sansIndex = m_sansIndex;
    m_attendu = m_recherche->Chercher(std::move(critere));
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

void TRechercheListe::Valider()
{
    if (!Active())
        return;
    if (!m_indexCodes) {
        m_indexCodes = true;
        PreparerIndexCatalogue(m_dm, m_champ->window());
    }
    const QString code = m_champ->text().trimmed();
    TResultatRecherche trouves = ChercherCode(m_dm.Connexion(), m_critere(code));
    m_champ->selectAll();
    if (!trouves.erreur.isEmpty()) {
        m_etat->setText(QStringLiteral("Recherche impossible : %1").arg(trouves.erreur));
        return;
    }
    const int n = trouves.lignes.Taille();
    if (n == 0) {
        // The search of the text goes on: its products are listed, and
        // this message stays.
        m_codeInconnu = code;
        m_etat->setText(QStringLiteral("Aucun produit n'a la référence ou le code export « %1 ».").arg(code));
        return;
    }
    // The products of the code replace the search still running.
    m_recherche->Annuler();
    m_attendu = 0;
    if (n == 1 && surCodeLu) {
        m_etat->setText(QStringLiteral("Produit de code « %1 » ouvert.").arg(code));
        surCodeLu(trouves.lignes[0]);
        m_champ->selectAll();
        return;
    }
    m_etat->setText(QStringLiteral("%1 produits ont la référence ou le code export « %2 ».").arg(n).arg(code));
    if (surResultats)
        surResultats(std::move(trouves.lignes));
}

void TRechercheListe::Recevoir(quint64 numero, const TResultatRecherche& resultat)
{
    if (numero != m_attendu)
        return;
    const int n = resultat.lignes.Taille();
    if (!m_codeInconnu.isEmpty()) {
        // The unknown code stays said.
    } else if (!resultat.erreur.isEmpty())
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
    // Typed text hides the field's placeholder: the result says it too.
    if (m_construction)
        m_etat->setText(m_etat->text()
                        + QStringLiteral(" (index de recherche en construction : %1 %)").arg(m_pourcent));
    if (surResultats)
        surResultats(resultat.lignes);
}
