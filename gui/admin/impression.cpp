#include "gui/admin/impression.h"

#include "gui/admin/ficheapercu.h"
#include "gui/common/attente.h"

#include <QAbstractItemModel>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>

namespace {
// Columns of the product list: the key columns 0 to 2 are not printed.
struct TVariableListe {
    const char* nom;
    int colonne;
};
const TVariableListe Variables[] = {
    {"libelle", 3}, {"reference", 4}, {"prix_tarif_ht", 5}, {"prix_achat_ht", 6}, {"prix_vente_ht", 7}, {"stock", 8},
};
}  // namespace

TRapportListeProduits::TRapportListeProduits(const QAbstractItemModel* lvProduits) : m_liste(lvProduits)
{
    frxReport1.TitreRapport.hauteur = 20;
    frxReport1.TitreRapport.boites = {TitreListe(4, QString::fromUtf8(TitreListeProduits))};
    frxReport1.DonneesMaitre = BandeProduitListe(16, 2, 101, 6,
                                                 {
                                                     {0, 50, QStringLiteral("Référence : [reference]")},
                                                     {51, 35, QStringLiteral("Prix tarif HT : [prix_tarif_ht]")},
                                                     {88, 35, QStringLiteral("Prix achat HT : [prix_achat_ht]")},
                                                     {126, 35, QStringLiteral("Prix vente HT : [prix_vente_ht]")},
                                                     {164, 25, QStringLiteral("Stock : [stock]")},
                                                 });

    frxUserDataSet1.RangeEndCount = m_liste->rowCount();
    frxReport1.JeuDonnees = &frxUserDataSet1;
    frxReport1.OnGetValue = [this](const QString& nom) { return frxReport1GetValue(nom); };
}

QVariant TRapportListeProduits::frxReport1GetValue(const QString& nom) const
{
    const int ligne = frxUserDataSet1.RecNo;
    if (ligne < 0 || ligne >= m_liste->rowCount())
        return {};
    for (const TVariableListe& v : Variables)
        if (nom == QLatin1String(v.nom))
            return m_liste->index(ligne, v.colonne).data().toString();
    return {};
}

void ImprimerListe(const QAbstractItemModel* lvProduits, QWidget* parent)
{
    if (lvProduits->rowCount() == 0)
        return;
    std::optional<TCurseurOccupe> occupe(std::in_place);
    // Prepared afresh for each preview: the list may have changed since.
    TRapportListeProduits rapport(lvProduits);
    occupe.reset();
    AfficherApercu(rapport.frxReport1, QString::fromUtf8(TitreListeProduits), QStringLiteral("Liste des produits.pdf"),
                   QStringLiteral("apercuListeProduits"), parent);
}

void AfficherApercu(TRapport& rapport, const QString& titre, const QString& fichierPdf, const QString& nom,
                    QWidget* parent)
{
    QPrinter imprimante(QPrinter::HighResolution);
    imprimante.setPageLayout(TRapport::MiseEnPageA4());
    imprimante.setDocName(titre);

    TFicheApercu apercu(rapport, imprimante, parent);
    apercu.setObjectName(nom);
    apercu.SetFichierPdf(fichierPdf);
    // Large enough for a page at actual size where the screen allows it.
    if (const QScreen* ecran = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect dispo = ecran->availableGeometry();
        apercu.resize(qMin(1000, dispo.width() * 9 / 10), dispo.height() * 9 / 10);
    }
    apercu.exec();
}

bool ExporterListePdf(const QAbstractItemModel* lvProduits, const QString& chemin, QString* erreur)
{
    TRapportListeProduits rapport(lvProduits);
    return rapport.frxReport1.ExporterPdf(chemin, QString::fromUtf8(TitreListeProduits), erreur)
        == TRapport::TResultatPdf::Ecrit;
}
