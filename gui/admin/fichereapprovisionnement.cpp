#include "gui/admin/fichereapprovisionnement.h"

#include "core/base/prompts.h"
#include "core/store/dmkestravel.h"
#include "core/store/format.h"
#include "gui/admin/impression.h"
#include "gui/common/attente.h"
#include "gui/common/ergonomie.h"
#include "gui/common/indexcatalogue.h"

#include <QDate>
#include <QDir>
#include <QHeaderView>

namespace {
const char* const TitreReappro = "Produits à réapprovisionner";

// Report variables, one per column of the list.
const char* const Variables[NbColonnesReappro] = {"reference", "libelle", "stock",
                                                  "minimum",   "manque",  "prix_achat_ht"};
}  // namespace

void TModeleReapprovisionnement::Remplir(TListeReapprovisionnement liste)
{
    beginResetModel();
    m_liste = std::move(liste);
    endResetModel();
}

int TModeleReapprovisionnement::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_liste.Taille();
}

int TModeleReapprovisionnement::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : NbColonnesReappro;
}

QVariant TModeleReapprovisionnement::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_liste.Taille())
        return {};
    if (role == Qt::DisplayRole)
        return m_liste.Texte(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= ReapproStock)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TModeleReapprovisionnement::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return TitreColonneReappro(section);
    if (role == Qt::TextAlignmentRole && section >= ReapproStock)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

TRapportReapprovisionnement::TRapportReapprovisionnement(const TListeReapprovisionnement& liste, const QString& portee)
    : m_liste(liste), m_portee(portee)
{
    TBoiteTexte sousTitre = BoiteTexte(0, 11, 190, 5, QStringLiteral("[portee]"), PoliceRapport(9));
    sousTitre.centree = true;
    rapport.TitreRapport.hauteur = 20;
    rapport.TitreRapport.boites = {TitreListe(2, QString::fromUtf8(TitreReappro)), sousTitre};
    rapport.DonneesMaitre = BandeProduitListe(12, 1, 130, 5,
                                              {
                                                  {0, 45, QStringLiteral("Référence : [reference]")},
                                                  {46, 25, QStringLiteral("Stock : [stock]")},
                                                  {72, 28, QStringLiteral("Minimum : [minimum]")},
                                                  {101, 28, QStringLiteral("Manque : [manque]")},
                                                  {130, 45, QStringLiteral("Prix achat HT : [prix_achat_ht]")},
                                              });
    donnees.RangeEndCount = m_liste.Taille();
    rapport.JeuDonnees = &donnees;
    rapport.OnGetValue = [this](const QString& nom) { return Valeur(nom); };
}

QVariant TRapportReapprovisionnement::Valeur(const QString& nom) const
{
    if (nom == QLatin1String("portee"))
        return m_portee;
    const int ligne = donnees.RecNo;
    if (ligne < 0 || ligne >= m_liste.Taille())
        return {};
    for (int c = 0; c < NbColonnesReappro; ++c)
        if (nom == QLatin1String(Variables[c]))
            return m_liste.Texte(ligne, c);
    return {};
}

TFicheReapprovisionnement::TFicheReapprovisionnement(TdmKestravel& dm, int idProduitType,
                                                     const QString& libelleCategorie, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_modele(new TModeleReapprovisionnement(this))
{
    setupUi(this);
    lvReappro->setModel(m_modele);
    QHeaderView* entete = lvReappro->header();
    const int largeurs[NbColonnesReappro] = {90, 300, 60, 70, 70, 100};
    for (int c = 0; c < NbColonnesReappro; ++c)
        lvReappro->setColumnWidth(c, largeurs[c]);
    entete->setSectionResizeMode(ReapproLibelle, QHeaderView::Stretch);
    ElargirAuxTitres(entete);

    lbPortee->setText(idProduitType == 0
                          ? QStringLiteral("Tout le catalogue, au %1").arg(DateCourte(QDate::currentDate()))
                          : QStringLiteral("Catégorie « %1 » et ses sous-catégories, au %2")
                                .arg(libelleCategorie, DateCourte(QDate::currentDate())));
    {
        PreparerIndexCatalogue(m_dm, parent ? parent : this);
        const TCurseurOccupe occupe;
        m_modele->Remplir(LireProduitsAReapprovisionner(m_dm, idProduitType));
    }
    const int n = m_modele->rowCount();
    lbResume->setText(n == 0       ? QStringLiteral("Aucun produit à réapprovisionner.")
                          : n == 1 ? QStringLiteral("1 produit à réapprovisionner.")
                                   : QStringLiteral("%1 produits à réapprovisionner.").arg(n));
    btnImprimer->setEnabled(n > 0);
    btnExporterCsv->setEnabled(n > 0);
    if (n > 0)
        lvReappro->setCurrentIndex(m_modele->index(0, 0));

    connect(btnImprimer, &QPushButton::clicked, this, &TFicheReapprovisionnement::btnImprimerClick);
    connect(btnExporterCsv, &QPushButton::clicked, this, &TFicheReapprovisionnement::btnExporterCsvClick);
    connect(btnFermer, &QPushButton::clicked, this, &QDialog::accept);
    lvReappro->setFocus();
}

TFicheReapprovisionnement::~TFicheReapprovisionnement() = default;

void TFicheReapprovisionnement::btnImprimerClick()
{
    if (m_modele->rowCount() == 0)
        return;
    TRapportReapprovisionnement etat(m_modele->Liste(), lbPortee->text());
    AfficherApercu(etat.rapport, QString::fromUtf8(TitreReappro), QString::fromUtf8(TitreReappro) + ".pdf",
                   QStringLiteral("apercuReapprovisionnement"), this);
}

void TFicheReapprovisionnement::btnExporterCsvClick()
{
    if (m_modele->rowCount() == 0)
        return;
    QString chemin = Prompts().ChoisirFichierEnregistrement(
        QStringLiteral("Exporter en CSV"), QDir::home().filePath(QString::fromUtf8(TitreReappro) + ".csv"),
        QStringLiteral("Fichiers CSV (*.csv)"));
    if (chemin.isEmpty())
        return;
    if (!chemin.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        chemin += QLatin1String(".csv");
    try {
        const TCurseurOccupe occupe;
        EcrireCsvReapprovisionnement(m_modele->Liste(), chemin);
    } catch (const EKestravel& e) {
        Prompts().Erreur(e.Message());
        return;
    }
    Prompts().Information(
        QStringLiteral("La liste a été enregistrée dans « %1 ».").arg(QDir::toNativeSeparators(chemin)));
}
