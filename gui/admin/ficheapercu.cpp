#include "gui/admin/ficheapercu.h"

#include "core/base/prompts.h"
#include "gui/common/attente.h"
#include "gui/common/ergonomie.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>

namespace {
const double Ecart = 12;  // pixels around and between pages
const double Zooms[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
// Items of the zoom box before the percentages.
enum { ZoomLargeur = 0, ZoomPage = 1, PremierZoom = 2 };
const QString FormatPages = QStringLiteral("Page %v sur %m");
}  // namespace

// ---------------------------------------------------------------- TVuePages

TVuePages::TVuePages(TRapport& rapport, QWidget* parent) : QAbstractScrollArea(parent), m_rapport(rapport)
{
    setObjectName("vuePages");
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
}

void TVuePages::SetMiseEnPage(TRapport::TMiseEnPage miseEnPage, double resolution)
{
    m_miseEnPage = std::move(miseEnPage);
    m_resolution = resolution;
    AppliquerAjustement();
    MettreAJourDefilement();
    viewport()->update();
}

double TVuePages::PixelsParMm() const { return m_zoom * logicalDpiX() / 25.4; }

QSizeF TVuePages::TaillePage() const
{
    return m_miseEnPage.miseEnPage.fullRect(QPageLayout::Millimeter).size() * PixelsParMm();
}

double TVuePages::HauteurPas() const { return TaillePage().height() + Ecart; }

void TVuePages::MettreAJourDefilement()
{
    const QSizeF page = TaillePage();
    const QSize vue = viewport()->size();
    const double largeur = page.width() + 2 * Ecart;
    const double hauteur = NombrePages() * HauteurPas() + Ecart;
    horizontalScrollBar()->setRange(0, qMax(0, int(std::ceil(largeur)) - vue.width()));
    horizontalScrollBar()->setPageStep(vue.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, qMax(0, int(std::ceil(hauteur)) - vue.height()));
    verticalScrollBar()->setPageStep(vue.height());
    verticalScrollBar()->setSingleStep(20);
}

int TVuePages::PageCourante() const
{
    if (NombrePages() == 0)
        return 0;
    if (verticalScrollBar()->value() >= verticalScrollBar()->maximum() && verticalScrollBar()->maximum() > 0)
        return NombrePages() - 1;
    const int page = int((verticalScrollBar()->value() + Ecart / 2) / HauteurPas());
    return qBound(0, page, NombrePages() - 1);
}

void TVuePages::AllerPage(int page)
{
    page = qBound(0, page, qMax(0, NombrePages() - 1));
    verticalScrollBar()->setValue(int(std::lround(page * HauteurPas())));
    // Past the end of the scroll range, the last pages still count as reached.
    if (page != m_pageSignalee) {
        m_pageSignalee = page;
        emit PageCouranteChangee(page);
    }
}

void TVuePages::SetZoom(double zoom)
{
    m_ajustement = TAjustement::Aucun;
    const int page = PageCourante();
    m_zoom = qBound(0.05, zoom, 8.0);
    MettreAJourDefilement();
    AllerPage(page);
    viewport()->update();
    emit ZoomChange(m_zoom);
}

void TVuePages::SetAjustement(TAjustement ajustement)
{
    const int page = PageCourante();
    m_ajustement = ajustement;
    AppliquerAjustement();
    MettreAJourDefilement();
    AllerPage(page);
    viewport()->update();
    emit ZoomChange(m_zoom);
}

void TVuePages::AppliquerAjustement()
{
    if (m_ajustement == TAjustement::Aucun)
        return;
    const QSizeF mm = m_miseEnPage.miseEnPage.fullRect(QPageLayout::Millimeter).size();
    if (mm.isEmpty())
        return;
    const double pixelsMm = logicalDpiX() / 25.4;
    // The scroll bar's width is kept aside so that fitting does not make it
    // appear and disappear.
    const double largeur = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width() - 2 * Ecart;
    double zoom = largeur / (mm.width() * pixelsMm);
    if (m_ajustement == TAjustement::Page)
        zoom = qMin(zoom, (height() - 2 * frameWidth() - 2 * Ecart) / (mm.height() * pixelsMm));
    m_zoom = qMax(0.05, zoom);
}

void TVuePages::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (m_ajustement != TAjustement::Aucun) {
        const int page = PageCourante();
        AppliquerAjustement();
        MettreAJourDefilement();
        AllerPage(page);
        emit ZoomChange(m_zoom);
    } else {
        MettreAJourDefilement();
    }
}

void TVuePages::scrollContentsBy(int, int)
{
    viewport()->update();
    const int page = PageCourante();
    if (page != m_pageSignalee) {
        m_pageSignalee = page;
        emit PageCouranteChangee(page);
    }
}

void TVuePages::wheelEvent(QWheelEvent* e)
{
    if (e->modifiers() & Qt::ControlModifier) {
        SetZoom(m_zoom * (e->angleDelta().y() > 0 ? 1.25 : 0.8));
        e->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(e);
}

void TVuePages::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    p.fillRect(e->rect(), palette().color(QPalette::Dark));
    if (NombrePages() == 0)
        return;
    const QSizeF page = TaillePage();
    const double pas = HauteurPas();
    const double haut = verticalScrollBar()->value();
    const double largeurVue = viewport()->width();
    const double gauche =
        horizontalScrollBar()->maximum() > 0 ? Ecart - horizontalScrollBar()->value() : (largeurVue - page.width()) / 2;
    const int premiere = qMax(0, int((haut + e->rect().top() - Ecart) / pas));
    const int derniere = qMin(NombrePages() - 1, int((haut + e->rect().bottom()) / pas));
    const double pixelsMm = PixelsParMm();
    const QPointF marges = m_miseEnPage.miseEnPage.paintRect(QPageLayout::Millimeter).topLeft() * pixelsMm;
    // Report units (dots at the printer's resolution) to screen pixels.
    const double echelle = pixelsMm / (m_resolution / 25.4);
    for (int i = premiere; i <= derniere; ++i) {
        const QRectF feuille(gauche, Ecart + i * pas - haut, page.width(), page.height());
        if (!feuille.intersects(e->rect()))
            continue;
        p.fillRect(feuille.translated(3, 3), palette().color(QPalette::Shadow));
        p.fillRect(feuille, Qt::white);
        p.save();
        p.setClipRect(feuille.intersected(QRectF(e->rect())));
        p.translate(feuille.topLeft() + marges);
        p.scale(echelle, echelle);
        m_rapport.PeindrePage(p, m_miseEnPage, i, m_resolution);
        p.restore();
        ++m_pagesPeintes;
    }
}

// ------------------------------------------------------------- TFicheApercu

TFicheApercu::TFicheApercu(TRapport& rapport, QPrinter& imprimante, QWidget* parent)
    : QDialog(parent), m_rapport(rapport), m_imprimante(imprimante), m_fichierPdf(QStringLiteral("Document.pdf"))
{
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setupUi(this);
    // The pages' view needs the report, so it is made here, below the toolbar.
    vuePages = new TVuePages(rapport, this);
    page->addWidget(vuePages, 1);
    PreparerBarreOutils();
    ConnecterActions();
    MettreEnPage();
    vuePages->setFocus();
}

void TFicheApercu::PreparerBarreOutils()
{
    // The page number and the zoom sit between the toolbar's buttons.
    tbApercu->insertWidget(actPageSuivante, sePage);
    tbApercu->insertWidget(actPageSuivante, lbNombrePages);
    tbApercu->insertWidget(actZoomAvant, cbZoom);
    OrdreTabulation({vuePages, sePage, cbZoom});
    actImprimer->setShortcut(QKeySequence::Print);
    actZoomArriere->setShortcut(QKeySequence::ZoomOut);
    actZoomAvant->setShortcut(QKeySequence::ZoomIn);
    // The page buttons show the style's arrows alone (the toolbar shows icons
    // only; their text is for screen readers); the others show their text.
    for (const auto& [action, icone] : {std::pair{actPremierePage, QStyle::SP_MediaSkipBackward},
                                        {actPagePrecedente, QStyle::SP_ArrowBack},
                                        {actPageSuivante, QStyle::SP_ArrowForward},
                                        {actDernierePage, QStyle::SP_MediaSkipForward}})
        action->setIcon(tbApercu->style()->standardIcon(icone));
    cbZoom->addItem(QStringLiteral("Ajuster à la largeur"));
    cbZoom->addItem(QStringLiteral("Page entière"));
    for (double z : Zooms)
        cbZoom->addItem(QStringLiteral("%1 %").arg(z * 100));

    // The zoom buttons show a sign; a screen reader announces what they do.
    for (QAction* a : {actZoomArriere, actZoomAvant})
        tbApercu->widgetForAction(a)->setAccessibleName(a->toolTip());
    // So does the toolbar's button that shows what a narrow window hides.
    if (auto* suite = tbApercu->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        suite->setAccessibleName(QStringLiteral("Autres actions"));
}

void TFicheApercu::ConnecterActions()
{
    connect(actImprimer, &QAction::triggered, this, &TFicheApercu::actImprimerClick);
    connect(actMiseEnPage, &QAction::triggered, this, &TFicheApercu::actMiseEnPageClick);
    connect(actExporterPdf, &QAction::triggered, this, &TFicheApercu::actExporterPdfClick);
    connect(actPremierePage, &QAction::triggered, vuePages, [this]() { vuePages->AllerPage(0); });
    connect(actPagePrecedente, &QAction::triggered, vuePages,
            [this]() { vuePages->AllerPage(vuePages->PageCourante() - 1); });
    connect(actPageSuivante, &QAction::triggered, vuePages,
            [this]() { vuePages->AllerPage(vuePages->PageCourante() + 1); });
    connect(actDernierePage, &QAction::triggered, vuePages,
            [this]() { vuePages->AllerPage(vuePages->NombrePages() - 1); });
    connect(sePage, &QSpinBox::valueChanged, vuePages, [this](int v) { vuePages->AllerPage(v - 1); });
    connect(actZoomArriere, &QAction::triggered, this, [this]() { ZoomPas(-1); });
    connect(actZoomAvant, &QAction::triggered, this, [this]() { ZoomPas(1); });
    connect(cbZoom, &QComboBox::activated, this, &TFicheApercu::cbZoomChange);
    connect(vuePages, &TVuePages::PageCouranteChangee, this, &TFicheApercu::MettreAJourNavigation);
    connect(vuePages, &TVuePages::ZoomChange, this, &TFicheApercu::MettreAJourZoom);
}

// The one layout of the whole report, for the printer's page layout; pages
// are painted as they show.
void TFicheApercu::MettreEnPage()
{
    {
        const TCurseurOccupe occupe;
        vuePages->SetMiseEnPage(m_rapport.MettreEnPage(m_imprimante.pageLayout()), m_imprimante.resolution());
    }
    sePage->setRange(1, qMax(1, vuePages->NombrePages()));
    lbNombrePages->setText(QStringLiteral(" sur %1 ").arg(vuePages->NombrePages()));
    MettreAJourNavigation(0);
    MettreAJourZoom(vuePages->Zoom());
}

void TFicheApercu::MettreAJourNavigation(int page)
{
    const QSignalBlocker bloque(sePage);
    sePage->setValue(page + 1);
}

void TFicheApercu::MettreAJourZoom(double zoom)
{
    int index = -1;
    if (vuePages->Ajustement() == TVuePages::TAjustement::Largeur)
        index = ZoomLargeur;
    else if (vuePages->Ajustement() == TVuePages::TAjustement::Page)
        index = ZoomPage;
    else
        for (int i = 0; i < int(std::size(Zooms)); ++i)
            if (qAbs(Zooms[i] - zoom) < 1e-6)
                index = PremierZoom + i;
    const QSignalBlocker bloque(cbZoom);
    if (index >= 0)
        cbZoom->setCurrentIndex(index);
}

void TFicheApercu::cbZoomChange(int index)
{
    if (index == ZoomLargeur)
        vuePages->SetAjustement(TVuePages::TAjustement::Largeur);
    else if (index == ZoomPage)
        vuePages->SetAjustement(TVuePages::TAjustement::Page);
    else if (index >= PremierZoom)
        vuePages->SetZoom(Zooms[index - PremierZoom]);
}

void TFicheApercu::ZoomPas(int sens)
{
    // To the next step of the zoom box, from whatever the zoom is now.
    const double z = vuePages->Zoom();
    if (sens > 0) {
        for (double pas : Zooms)
            if (pas > z + 1e-6)
                return vuePages->SetZoom(pas);
    } else {
        for (int i = int(std::size(Zooms)) - 1; i >= 0; --i)
            if (Zooms[i] < z - 1e-6)
                return vuePages->SetZoom(Zooms[i]);
    }
}

void TFicheApercu::actImprimerClick()
{
    QPrintDialog dialogue(&m_imprimante, this);
    dialogue.setWindowTitle(QStringLiteral("Imprimer"));
    dialogue.setMinMax(1, vuePages->NombrePages());
    if (dialogue.exec() != QDialog::Accepted)
        return;
    TFenetreAvancement avancement(QStringLiteral("Impression en cours…"), this, FormatPages);
    const TCurseurOccupe occupe(Qt::BusyCursor);
    const int resultat = m_rapport.Imprimer(m_imprimante, m_imprimante.pageRanges(),
                                            [&](int faites, int total) { return avancement.Avancer(faites, total); });
    if (resultat == TRapport::Annule)
        m_imprimante.abort();
    else if (resultat < 0)
        Prompts().Erreur(QStringLiteral("L'impression n'a pas pu commencer : vérifiez l'imprimante choisie."));
}

void TFicheApercu::actMiseEnPageClick()
{
    QPageSetupDialog dialogue(&m_imprimante, this);
    dialogue.setWindowTitle(QStringLiteral("Mise en page"));
    if (dialogue.exec() != QDialog::Accepted)
        return;
    MettreEnPage();
    vuePages->AllerPage(0);
}

void TFicheApercu::actExporterPdfClick()
{
    QString chemin =
        Prompts().ChoisirFichierEnregistrement(QStringLiteral("Exporter en PDF"), QDir::home().filePath(m_fichierPdf),
                                               QStringLiteral("Documents PDF (*.pdf)"));
    if (chemin.isEmpty())
        return;
    if (!chemin.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        chemin += QLatin1String(".pdf");
    QString erreur;
    TRapport::TResultatPdf resultat;
    {
        TFenetreAvancement avancement(QStringLiteral("Enregistrement du fichier PDF…"), this, FormatPages);
        const TCurseurOccupe occupe(Qt::BusyCursor);
        resultat = m_rapport.ExporterPdf(chemin, m_imprimante.docName(), &erreur,
                                         [&](int faites, int total) { return avancement.Avancer(faites, total); });
    }
    // A stop asked by the user needs no message: nothing was written.
    if (resultat == TRapport::TResultatPdf::Ecrit)
        Prompts().Information(
            QStringLiteral("Le document a été enregistré dans « %1 ».").arg(QDir::toNativeSeparators(chemin)));
    else if (resultat == TRapport::TResultatPdf::Echec)
        Prompts().Erreur(erreur);
}
