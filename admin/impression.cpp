#include "admin/impression.h"

#include "app/prompts.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QAbstractItemModel>

namespace {
// Columns of the product list: the key columns 0 to 2 are not printed.
struct TVariableListe {
    const char* nom;
    int colonne;
};
const TVariableListe Variables[] = {
    {"libelle", 3},       {"reference", 4},     {"prix_tarif_ht", 5},
    {"prix_achat_ht", 6}, {"prix_vente_ht", 7}, {"stock", 8},
};

QFont Police(double points, bool gras = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(gras);
    return f;
}

TBoiteTexte Boite(double gauche, double haut, double largeur, double hauteur, const QString& texte,
                  const QFont& police)
{
    TBoiteTexte b;
    b.gauche = gauche;
    b.haut = haut;
    b.largeur = largeur;
    b.hauteur = hauteur;
    b.texte = texte;
    b.police = police;
    return b;
}
}  // namespace

TRapportListeProduits::TRapportListeProduits(const QAbstractItemModel* lvProduits) : m_liste(lvProduits)
{
    TBoiteTexte titre = Boite(0, 4, 132, 7, QString::fromUtf8(TitreListeProduits), Police(14.25, true));
    titre.centree = true;
    titre.elargir = true;
    frxReport1.TitreRapport.hauteur = 20;
    frxReport1.TitreRapport.boites = {titre};

    // The report's default font: small enough for a label and a price to
    // share a 35 mm box.
    const QFont normale = Police(8);
    TBoiteTexte libelle = Boite(0, 2, 101, 6, QStringLiteral("Libellé : [libelle]"), normale);
    libelle.elargir = true;
    frxReport1.DonneesMaitre.hauteur = 16;
    frxReport1.DonneesMaitre.boites = {
        libelle,
        Boite(0, 7, 50, 6, QStringLiteral("Référence : [reference]"), normale),
        Boite(51, 7, 35, 6, QStringLiteral("Prix tarif HT : [prix_tarif_ht]"), normale),
        Boite(88, 7, 35, 6, QStringLiteral("Prix achat HT : [prix_achat_ht]"), normale),
        Boite(126, 7, 35, 6, QStringLiteral("Prix vente HT : [prix_vente_ht]"), normale),
        Boite(164, 7, 25, 6, QStringLiteral("Stock : [stock]"), normale),
    };

    frxUserDataSet1.RangeEndCount = m_liste->rowCount();
    frxReport1.JeuDonnees = &frxUserDataSet1;
    frxReport1.OnGetValue = [this](const QString& nom) { return frxReport1GetValue(nom); };
}

QVariant TRapportListeProduits::frxReport1GetValue(const QString& nom) const
{
    if (frxUserDataSet1.RecNo < 0 || frxUserDataSet1.RecNo >= m_liste->rowCount())
        return {};
    for (const TVariableListe& v : Variables)
        if (nom == QLatin1String(v.nom))
            return m_liste->index(frxUserDataSet1.RecNo, v.colonne).data().toString();
    return {};
}

void ImprimerListe(const QAbstractItemModel* lvProduits, QWidget* parent)
{
    if (lvProduits->rowCount() == 0)
        return;
    // Prepared afresh for each preview: the list may have changed since.
    TRapportListeProduits rapport(lvProduits);
    QPrinter imprimante(QPrinter::HighResolution);
    imprimante.setPageLayout(TRapport::MiseEnPageA4());
    imprimante.setDocName(QString::fromUtf8(TitreListeProduits));

    QPrintPreviewDialog apercu(&imprimante, parent);
    apercu.setObjectName("apercuListeProduits");
    // Large enough for a page at actual size where the screen allows it.
    if (const QScreen* ecran = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect dispo = ecran->availableGeometry();
        apercu.resize(qMin(1000, dispo.width() * 9 / 10), dispo.height() * 9 / 10);
    }
    apercu.setWindowTitle(QStringLiteral("Aperçu avant impression"));
    QObject::connect(&apercu, &QPrintPreviewDialog::paintRequested, &apercu, [&rapport](QPrinter* p) {
        rapport.frxReport1.Imprimer(*p, p->pageRanges());
    });

    if (auto* barre = apercu.findChild<QToolBar*>()) {
        barre->addSeparator();
        QAction* exporter = barre->addAction(QStringLiteral("Exporter en PDF"));
        exporter->setObjectName("actExporterPdf");
        exporter->setToolTip(QStringLiteral("Enregistrer la liste dans un fichier PDF"));
        QObject::connect(exporter, &QAction::triggered, &apercu, [lvProduits]() {
            QString chemin = Prompts().ChoisirFichierEnregistrement(
                QStringLiteral("Exporter en PDF"), QDir::home().filePath(QStringLiteral("Liste des produits.pdf")),
                QStringLiteral("Documents PDF (*.pdf)"));
            if (chemin.isEmpty())
                return;
            if (!chemin.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
                chemin += QLatin1String(".pdf");
            QString erreur;
            if (ExporterListePdf(lvProduits, chemin, &erreur))
                Prompts().Information(QStringLiteral("La liste a été enregistrée dans « %1 ».")
                                          .arg(QDir::toNativeSeparators(chemin)));
            else
                Prompts().Erreur(erreur);
        });
    }
    // Opens at actual size, once the dialog has laid itself out. Going
    // through the zoom box keeps the dialog's fit buttons in step.
    QTimer::singleShot(0, &apercu, [&apercu]() {
        if (auto* zoom = apercu.findChild<QComboBox*>()) {
            const int i = zoom->findText(QStringLiteral("100"), Qt::MatchStartsWith);
            if (i >= 0)
                zoom->setCurrentIndex(i);
        }
        if (auto* vue = apercu.findChild<QPrintPreviewWidget*>()) {
            vue->setZoomMode(QPrintPreviewWidget::CustomZoom);
            vue->setZoomFactor(1.0);
            // The zoom keeps the view's centre: bring the top of the first
            // page into view.
            if (auto* graphique = vue->findChild<QGraphicsView*>())
                graphique->verticalScrollBar()->setValue(graphique->verticalScrollBar()->minimum());
        }
    });
    apercu.exec();
}

bool ExporterListePdf(const QAbstractItemModel* lvProduits, const QString& chemin, QString* erreur)
{
    TRapportListeProduits rapport(lvProduits);
    return rapport.frxReport1.ExporterPdf(chemin, QString::fromUtf8(TitreListeProduits), erreur);
}
