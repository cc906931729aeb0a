// Product list report: variables read from the list in display order, the
// printed texts, pagination, the PDF file and the preview window.

#include "core/base/prompts.h"
#include "core/store/acces.h"
#include "core/store/dmkestravel.h"
#include "core/store/erreurs.h"
#include "core/store/format.h"
#include "gui/admin/ficheapercu.h"
#include "gui/admin/impression.h"
#include "tests/modale.h"
#include "tests/soutien.h"
#include "tools/demo.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QScopeGuard>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {
// A list with the settings window's columns.
QTreeWidget* Liste(QObject* proprietaire)
{
    auto* lv = new QTreeWidget;
    QObject::connect(proprietaire, &QObject::destroyed, lv, &QObject::deleteLater);
    lv->setObjectName("lvProduits");
    lv->setColumnCount(9);
    return lv;
}
void Ajouter(QTreeWidget* lv, int id, const QString& libelle, const QString& reference, double tarif, double achat,
             double vente, int stock)
{
    new QTreeWidgetItem(lv,
                        {"0", QString::number(id), "1", libelle, reference, Montant(tarif), Montant(achat),
                         Montant(vente), stock > 0 ? QString::number(stock) : QString()});
}
QStringList Libelles(TRapportListeProduits& r)
{
    QStringList l;
    for (int i = 0; i < r.frxUserDataSet1.RangeEndCount; ++i) {
        r.frxUserDataSet1.RecNo = i;
        l << r.frxReport1GetValue("libelle").toString();
    }
    return l;
}
const double HauteurA4 = 277;  // 297 less two margins of 10

// A device that keeps every text painted on it with its baseline position
// (in the device's dots, 1200 per inch) and its size.
class TEnregistreur : public QPaintDevice {
public:
    struct Texte {
        QPointF position;
        QString texte;
        double points;
    };
    QVector<Texte> textes;

    QPaintEngine* paintEngine() const override { return &m_moteur; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
            case PdmWidth:
                return 9921;  // A4 at 1200 dpi
            case PdmHeight:
                return 14031;
            case PdmWidthMM:
                return 210;
            case PdmHeightMM:
                return 297;
            case PdmDpiX:
            case PdmDpiY:
            case PdmPhysicalDpiX:
            case PdmPhysicalDpiY:
                return 1200;
            case PdmDepth:
                return 32;
            case PdmNumColors:
                return INT_MAX;
            case PdmDevicePixelRatio:
                return 1;
            case PdmDevicePixelRatioScaled:
                return int(devicePixelRatioFScale());
            default:
                return 0;
        }
    }

private:
    class TMoteur : public QPaintEngine {
    public:
        explicit TMoteur(TEnregistreur& e) : QPaintEngine(AllFeatures), m_e(e) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawTextItem(const QPointF& p, const QTextItem& ti) override
        {
            const QTransform t = painter()->combinedTransform();
            m_e.textes.push_back({t.map(p), ti.text(), ti.font().pointSizeF() * t.m22()});
        }
        Type type() const override { return User; }

    private:
        TEnregistreur& m_e;
    };
    mutable TMoteur m_moteur{*this};
};

// Paints one page of the report on a recording device, `echelle` dots of the
// device for one dot of the report's 1200 per inch.
QVector<TEnregistreur::Texte> TextesPage(TRapport& r, const TRapport::TMiseEnPage& mep, int page, double echelle,
                                         const QRectF& clip = QRectF())
{
    TEnregistreur e;
    QPainter p(&e);
    p.scale(echelle, echelle);
    if (!clip.isNull())
        p.setClipRect(clip);
    r.PeindrePage(p, mep, page, 1200);
    p.end();
    return e.textes;
}
}  // namespace

class TestImpression : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { LocaleFrancaise(); }

    void VariablesDansLOrdreDeLaListe()
    {
        QTreeWidget* lv = Liste(this);
        Ajouter(lv, 1, "Marteau", "MAR500", 16.9, 8.2, 14.5, 12);
        Ajouter(lv, 2, "Clés plates", "CLE622", 29.9, 14, 26, 0);
        Ajouter(lv, 3, "Tournevis", "TRV55", 1234.5, 2.1, 4.2, -3);
        {
            TRapportListeProduits r(lv->model());
            QCOMPARE(r.frxUserDataSet1.RangeEndCount, 3);
            QCOMPARE(Libelles(r), (QStringList{"Marteau", "Clés plates", "Tournevis"}));
            r.frxUserDataSet1.RecNo = 0;
            QCOMPARE(r.frxReport1GetValue("reference").toString(), QStringLiteral("MAR500"));
            QCOMPARE(r.frxReport1GetValue("prix_tarif_ht").toString(), QStringLiteral("16,90"));
            QCOMPARE(r.frxReport1GetValue("prix_achat_ht").toString(), QStringLiteral("8,20"));
            QCOMPARE(r.frxReport1GetValue("prix_vente_ht").toString(), QStringLiteral("14,50"));
            QCOMPARE(r.frxReport1GetValue("stock").toString(), QStringLiteral("12"));
            // Names match exactly, case included.
            QVERIFY(!r.frxReport1GetValue("Libelle").isValid());
            QVERIFY(!r.frxReport1GetValue("IdProduit").isValid());

            // Printed texts: labels, values as listed, nothing after an empty stock.
            const QVector<TBoiteTexte>& boites = r.frxReport1.DonneesMaitre.boites;
            QCOMPARE(boites.size(), 6);
            r.frxUserDataSet1.RecNo = 2;
            QStringList textes;
            for (const TBoiteTexte& b : boites)
                textes << r.frxReport1.TexteBoite(b);
            QCOMPARE(textes,
                     (QStringList{"Libellé : Tournevis", "Référence : TRV55", "Prix tarif HT : 1234,50",
                                  "Prix achat HT : 2,10", "Prix vente HT : 4,20", "Stock : "}));
            QCOMPARE(r.frxReport1.TexteBoite(r.frxReport1.TitreRapport.boites.value(0)),
                     QStringLiteral("Liste des produits provenenant du module Kestravel"));
            // A box changed after a first print is read anew; an unknown
            // name prints nothing, an unclosed one stays text.
            TBoiteTexte& reference = r.frxReport1.DonneesMaitre.boites[1];
            reference.texte = QStringLiteral("[reference] / [inconnue] [stock");
            QCOMPARE(r.frxReport1.TexteBoite(reference), QStringLiteral("TRV55 /  [stock"));
        }
        // A column sort carries over to the print.
        lv->sortItems(3, Qt::AscendingOrder);
        TRapportListeProduits r(lv->model());
        QCOMPARE(Libelles(r), (QStringList{"Clés plates", "Marteau", "Tournevis"}));
    }

    void Pagination()
    {
        QTreeWidget* lv = Liste(this);
        TRapportListeProduits vide(lv->model());
        QCOMPARE(vide.frxReport1.Preparer(HauteurA4).size(), 1);  // the title alone
        // 20 mm of title then 16 mm per product: 16 products on the first
        // page, 17 on the next ones.
        for (const auto& [n, pages] : {std::pair{16, 1}, {17, 2}, {33, 2}, {34, 3}, {50, 3}, {51, 4}}) {
            while (lv->topLevelItemCount() < n)
                Ajouter(lv, lv->topLevelItemCount() + 1, "P", "R", 1, 1, 1, 1);
            TRapportListeProduits r(lv->model());
            const QVector<TRapport::TPage> p = r.frxReport1.Preparer(HauteurA4);
            QCOMPARE(p.size(), pages);
            for (const TRapport::TPage& page : p)
                QVERIFY(page.last().haut + page.last().bande->hauteur <= HauteurA4);
        }
        // Every product printed once, in order.
        TRapportListeProduits r(lv->model());
        int suivant = 0;
        for (const TRapport::TPage& page : r.frxReport1.Preparer(HauteurA4))
            for (const TRapport::TPlacement& pl : page)
                if (pl.enregistrement >= 0)
                    QCOMPARE(pl.enregistrement, suivant++);
        QCOMPARE(suivant, 51);
    }

    // The first page as it prints: the title, then the first 16 products
    // with each text at its place; painted scaled, as the preview does, the
    // page keeps the same texts at the same places.
    void PremierePage()
    {
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 40; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), QStringLiteral("R%1").arg(i), i, i / 2.0, i * 0.9,
                    i % 4 ? i : 0);
        Ajouter(lv, 41, "Gros prix", "R41", 123456789.5, 1, 1, 1);
        TRapportListeProduits r(lv->model());
        const TRapport::TMiseEnPage mep = r.frxReport1.MettreEnPage(TRapport::MiseEnPageA4());
        QCOMPARE(mep.pages.size(), 3);

        const QVector<TEnregistreur::Texte> textes = TextesPage(r.frxReport1, mep, 0, 1.0);
        QCOMPARE(textes.size(), 1 + 16 * 6);
        QCOMPARE(textes[0].texte, QStringLiteral("Liste des produits provenenant du module Kestravel"));
        QCOMPARE(textes[0].points, 14.25);
        const double mm = 1200 / 25.4;
        // Centred in the 190 mm of the printable width.
        QVERIFY(textes[0].position.x() > 20 * mm && textes[0].position.x() < 60 * mm);
        QStringList premier;
        for (int i = 1; i <= 6; ++i)
            premier << textes[i].texte;
        QCOMPARE(premier,
                 (QStringList{"Libellé : Produit 1", "Référence : R1", "Prix tarif HT : 1,00", "Prix achat HT : 0,50",
                              "Prix vente HT : 0,90", "Stock : 1"}));
        // Boxes at 0, 0, 51, 88, 126 and 164 mm; the first block starts
        // under the 20 mm title, the next one 16 mm lower.
        const double gauches[] = {0, 0, 51, 88, 126, 164};
        for (int i = 0; i < 6; ++i)
            QVERIFY2(qAbs(textes[1 + i].position.x() - gauches[i] * mm) < 0.05, qPrintable(textes[1 + i].texte));
        QVERIFY(textes[1].position.y() > 22 * mm && textes[1].position.y() < 28 * mm);
        QVERIFY(textes[2].position.y() > 27 * mm && textes[2].position.y() < 33 * mm);
        QCOMPARE(textes[7].position.y() - textes[1].position.y(), 16 * mm);
        QCOMPARE(textes[3 * 6 + 6].texte, QStringLiteral("Stock : "));  // product 4 has no stock
        QCOMPARE(textes[textes.size() - 6].texte, QStringLiteral("Libellé : Produit 16"));

        // The preview's painting: same texts, same places, scaled.
        const double echelle = 96.0 / 1200;
        const QVector<TEnregistreur::Texte> apercu = TextesPage(r.frxReport1, mep, 0, echelle);
        QCOMPARE(apercu.size(), textes.size());
        for (int i = 0; i < textes.size(); ++i) {
            QCOMPARE(apercu[i].texte, textes[i].texte);
            QVERIFY(QLineF(apercu[i].position, textes[i].position * echelle).length() < 0.05);
        }

        // A strip of the page, as a scroll repaints it: only the bands it
        // reaches.
        const QVector<TEnregistreur::Texte> bande =
            TextesPage(r.frxReport1, mep, 0, 1.0, QRectF(0, 40 * mm, 190 * mm, 5 * mm));
        QCOMPARE(bande.size(), 6);
        QCOMPARE(bande[0].texte, QStringLiteral("Libellé : Produit 2"));

        // The last page: products 34 to 41; a price too long for its box is
        // set smaller and cut rather than run over the next box.
        const QVector<TEnregistreur::Texte> derniere = TextesPage(r.frxReport1, mep, 2, 1.0);
        QCOMPARE(derniere.size(), 8 * 6);
        QCOMPARE(derniere[0].texte, QStringLiteral("Libellé : Produit 34"));
        const TEnregistreur::Texte& gros = derniere[7 * 6 + 2];
        QVERIFY(gros.texte.startsWith(QStringLiteral("Prix tarif HT : 1234")));
        QVERIFY(gros.points < 8);
        QVERIFY(gros.texte.endsWith(QStringLiteral("…"))
                || gros.texte == QStringLiteral("Prix tarif HT : 123456789,50"));
    }

    // Texts set from learnt glyphs paint the very pixels of texts laid out
    // one by one, on the preview's scaled image and in the PDF file: accents,
    // kerned pairs, typographic signs, a price set smaller, texts laid out
    // whole (a ligature, a character from elsewhere) among them.
    void GlyphesApprisMemesPages()
    {
        QTreeWidget* lv = Liste(this);
        const QStringList libelles = {
            QStringLiteral("Tournevis cruciforme « Pro » – 6 × 100"),
            QStringLiteral("AVATAR Vélo Tôle Yacht"),
            QStringLiteral("Clé à œil 13’ (Électricité) 25 €"),
            QStringLiteral("Raffinerie officielle, fjord"),
            QStringLiteral("Ωmega 漢字 ﬁn"),
            QStringLiteral("Lampe LED 7W…"),
            QString(),
            QStringLiteral("  espaces  "),
        };
        for (int i = 1; i <= 60; ++i)
            Ajouter(lv, i, libelles[i % libelles.size()] + QStringLiteral(" %1").arg(i),
                    QStringLiteral("REF-%1/Wy").arg(i * 37), i * 3.7, i / 3.0, i % 7 ? i * 1.9 : 98765432.1,
                    i % 5 ? i - 2 : 0);
        TRapportListeProduits appris(lv->model());
        TRapportListeProduits ancien(lv->model());
        ancien.frxReport1.GlyphesAppris = false;
        const TRapport::TMiseEnPage mep = appris.frxReport1.MettreEnPage(TRapport::MiseEnPageA4());
        QCOMPARE(mep.pages.size(), 4);
        const auto image = [&](TRapport& r, int page, double echelle) {
            QImage i(QSize(210, 297) * 1200 / 25.4 * echelle, QImage::Format_ARGB32_Premultiplied);
            i.fill(Qt::white);
            QPainter p(&i);
            p.scale(echelle, echelle);
            r.PeindrePage(p, mep, page, 1200);
            return i;
        };
        for (const double echelle : {96.0 / 1200, 0.25})
            for (int page = 0; page < 4; ++page) {
                const QImage a = image(appris.frxReport1, page, echelle), b = image(ancien.frxReport1, page, echelle);
                QVERIFY2(a == b, qPrintable(QStringLiteral("page %1 à l'échelle %2").arg(page + 1).arg(echelle)));
            }
        // Most texts were set from glyphs, none by the former way.
        QVERIFY(appris.frxReport1.TextesComposes() > 8 * 6 * 4);
        QCOMPARE(ancien.frxReport1.TextesComposes(), 0);

        // The PDF files, drawn back by the system's PDF renderer.
        const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
        if (pdftoppm.isEmpty())
            QSKIP("pdftoppm absent : fichiers PDF non comparés");
        QTemporaryDir dossier;
        QStringList pages[2];
        for (int i = 0; i < 2; ++i) {
            const QString pdf = dossier.filePath(QStringLiteral("%1.pdf").arg(i));
            QCOMPARE((i ? ancien : appris).frxReport1.ExporterPdf(pdf, "Liste"), TRapport::TResultatPdf::Ecrit);
            QCOMPARE(QProcess::execute(pdftoppm, {"-r", "150", "-png", pdf, dossier.filePath(QString::number(i))}), 0);
            pages[i] = QDir(dossier.path()).entryList({QStringLiteral("%1-*.png").arg(i)}, QDir::Files, QDir::Name);
        }
        QCOMPARE(pages[0].size(), 4);
        QCOMPARE(pages[1].size(), 4);
        for (int page = 0; page < 4; ++page)
            QVERIFY2(QImage(dossier.filePath(pages[0][page])) == QImage(dossier.filePath(pages[1][page])),
                     qPrintable(pages[0][page]));
    }

    // A stopped export leaves the former file as it was, or no file, and no
    // temporary file; a finished one reports every page.
    void ExportArrete()
    {
        QTemporaryDir dossier;
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 60; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), "R", i, i, i, i);
        TRapportListeProduits r(lv->model());
        const QString chemin = dossier.filePath("liste.pdf");
        EcrireFichier(chemin, "ancien");
        QVector<std::pair<int, int>> appels;
        const auto arreterApres = [&](int n) {
            return [&appels, n](int faites, int total) {
                appels.push_back({faites, total});
                return faites < n;
            };
        };
        QCOMPARE(r.frxReport1.ExporterPdf(chemin, "Liste", nullptr, arreterApres(2)), TRapport::TResultatPdf::Annule);
        QCOMPARE(LireFichier(chemin), QStringLiteral("ancien"));
        QCOMPARE(appels, (QVector<std::pair<int, int>>{{0, 4}, {1, 4}, {2, 4}}));
        const QString neuf = dossier.filePath("neuf.pdf");
        QCOMPARE(r.frxReport1.ExporterPdf(neuf, "Liste", nullptr, arreterApres(0)), TRapport::TResultatPdf::Annule);
        QCOMPARE(QDir(dossier.path()).entryList(QDir::Files), QStringList{"liste.pdf"});

        appels.clear();
        QCOMPARE(r.frxReport1.ExporterPdf(chemin, "Liste", nullptr, arreterApres(100)), TRapport::TResultatPdf::Ecrit);
        QVERIFY(LireFichier(chemin).startsWith("%PDF"));
        QCOMPARE(appels.last(), std::make_pair(4, 4));
        QCOMPARE(QDir(dossier.path()).entryList(QDir::Files), QStringList{"liste.pdf"});
    }

    void FichierPdf()
    {
        QTemporaryDir dossier;
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 40; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), "R", i, i, i, i);
        const QString chemin = dossier.filePath("liste.pdf");
        QString erreur;
        QVERIFY2(ExporterListePdf(lv->model(), chemin, &erreur), qPrintable(erreur));
        const QByteArray pdf = LireFichier(chemin).toLatin1();
        QVERIFY(pdf.startsWith("%PDF"));
        QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page "), 3);

        // Into a folder that does not exist: a French message, no file.
        const QString manque = dossier.filePath("absent/liste.pdf");
        QVERIFY(!ExporterListePdf(lv->model(), manque, &erreur));
        QVERIFY(erreur.startsWith(QStringLiteral("Impossible d'écrire le fichier PDF « liste.pdf »")));
        QVERIFY(!QFile::exists(manque));
    }

    // Writes the demo catalogue's largest category to a PDF beside the
    // build, for a reviewer to look at.
    void PdfDuCatalogueDemo()
    {
        TCatalogueTest c;
        RemplirCatalogueDemo(c.Chemin());
        const int categorie = c.Entier(
            "SELECT IdProduitType FROM Produit WHERE Externe = 0"
            " GROUP BY IdProduitType ORDER BY COUNT(*) DESC, IdProduitType LIMIT 1");
        QTreeWidget* lv = Liste(this);
        TInstructionSql q = Interroger(c.Dm().Connexion(),
                                       "SELECT IdProduit, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT,"
                                       " Stock FROM Produit WHERE Externe = 0 AND IdProduitType = ? ORDER BY IdProduit",
                                       {categorie});
        while (q.Etape())
            Ajouter(lv, int(q.Entier(0)), q.Texte(1), q.Texte(2), q.Reel(3), q.Reel(4), q.Reel(5), int(q.Entier(6)));
        QVERIFY(lv->topLevelItemCount() >= 3);
        const QString build = qEnvironmentVariable("KESTRAVEL_BUILD", QDir::tempPath());
        const QString chemin = QDir(build).filePath("liste-produits-demo.pdf");
        QString erreur;
        QVERIFY2(ExporterListePdf(lv->model(), chemin, &erreur), qPrintable(erreur));
        QVERIFY(QFileInfo(chemin).size() > 1000);
        qInfo("Liste imprimée : %s", qPrintable(chemin));
    }

    // A long list: the preview opens on its first page having painted only
    // what shows; navigation and zoom reach every page.
    void ApercuLongueListe()
    {
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 5000; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), "R", i, i, i, i);
        bool vu = false;
        TQuandModale<TFicheApercu> modale([&](TFicheApercu* apercu) {
            const auto fermer = qScopeGuard([apercu]() { apercu->reject(); });
            TVuePages* vue = apercu->Vue();
            QCOMPARE(vue->NombrePages(), 295);  // 16 products, then 17 a page
            QTRY_VERIFY(vue->PagesPeintes() > 0);
            QVERIFY(vue->PagesPeintes() <= 3);
            QCOMPARE(vue->PageCourante(), 0);
            auto* sePage = apercu->findChild<QSpinBox*>("sePage");
            QCOMPARE(sePage->maximum(), 295);
            QCOMPARE(apercu->findChild<QLabel*>("lbNombrePages")->text().trimmed(), QStringLiteral("sur 295"));

            apercu->findChild<QAction*>("actDernierePage")->trigger();
            QCOMPARE(vue->PageCourante(), 294);
            QCOMPARE(sePage->value(), 295);
            apercu->findChild<QAction*>("actPagePrecedente")->trigger();
            QCOMPARE(sePage->value(), 294);
            sePage->setValue(10);
            QCOMPARE(vue->PageCourante(), 9);

            auto* cbZoom = apercu->findChild<QComboBox*>("cbZoom");
            QCOMPARE(cbZoom->currentText(), QStringLiteral("100 %"));
            apercu->findChild<QAction*>("actZoomAvant")->trigger();
            QCOMPARE(vue->Zoom(), 1.25);
            QCOMPARE(cbZoom->currentText(), QStringLiteral("125 %"));
            QCOMPARE(vue->PageCourante(), 9);  // the zoom keeps the page
            cbZoom->setCurrentIndex(1);
            emit cbZoom->activated(1);
            QVERIFY(vue->Zoom() < 1.0);
            QCOMPARE(vue->PageCourante(), 9);
            vu = true;
        });
        ImprimerListe(lv->model(), nullptr);
        ATTENDRE_MODALE(modale);
        QVERIFY(vu);
    }

    void Apercu()
    {
        QTemporaryDir dossier;
        TPromptsScriptes prompts;
        prompts.RepondreFichier(dossier.filePath("export"));  // the extension is added
        QTreeWidget* lv = Liste(this);
        for (int i = 1; i <= 20; ++i)
            Ajouter(lv, i, QStringLiteral("Produit %1").arg(i), "R", i, i, i, i);

        int pages = -1;
        bool vu = false;
        TQuandModale<TFicheApercu> modale([&](TFicheApercu* apercu) {
            const auto fermer = qScopeGuard([apercu]() { apercu->reject(); });
            pages = apercu->Vue()->NombrePages();
            auto* exporter = apercu->findChild<QAction*>("actExporterPdf");
            QVERIFY(exporter);
            QCOMPARE(exporter->text(), QStringLiteral("Exporter en PDF"));
            exporter->trigger();
            vu = true;
        });
        ImprimerListe(lv->model(), nullptr);
        ATTENDRE_MODALE(modale);
        QVERIFY(vu);
        QCOMPARE(pages, 2);
        QVERIFY(LireFichier(dossier.filePath("export.pdf")).startsWith("%PDF"));
        QCOMPARE(prompts.Textes(IPrompts::Genre::Information).size(), 1);

        // An empty list shows nothing.
        ImprimerListe(Liste(this)->model(), nullptr);
    }
};

QTEST_MAIN(TestImpression)
#include "test_impression.moc"
