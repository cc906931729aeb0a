#pragma once
// Print preview of a report. The report is laid out once when the window
// opens; a page is painted only when it comes into view, so the first page of
// a report of thousands of pages shows at once. Printing and the PDF export
// show their progress and can be stopped.

#include "gui/admin/rapport.h"
#include "ui_ficheapercu.h"

#include <QAbstractScrollArea>
#include <QDialog>

class QPrinter;

// The pages one below the other on a grey background, painted on demand.
class TVuePages : public QAbstractScrollArea {
    Q_OBJECT
public:
    TVuePages(TRapport& rapport, QWidget* parent = nullptr);

    // `resolution`: the printer's, at which the texts are laid out.
    void SetMiseEnPage(TRapport::TMiseEnPage miseEnPage, double resolution);
    const TRapport::TMiseEnPage& MiseEnPage() const { return m_miseEnPage; }
    int NombrePages() const { return int(m_miseEnPage.pages.size()); }

    // The page at the top of the view, from 0.
    int PageCourante() const;
    void AllerPage(int page);

    enum class TAjustement { Aucun, Largeur, Page };
    // 1.0 shows the page at its real size; a fit follows the window's size.
    void SetZoom(double zoom);
    void SetAjustement(TAjustement ajustement);
    double Zoom() const { return m_zoom; }
    TAjustement Ajustement() const { return m_ajustement; }

    // Pages painted so far, for the benchmarks.
    int PagesPeintes() const { return m_pagesPeintes; }

signals:
    void PageCouranteChangee(int page);
    void ZoomChange(double zoom);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    // Screen pixels per millimetre at the current zoom.
    double PixelsParMm() const;
    QSizeF TaillePage() const;  // in pixels
    double HauteurPas() const;  // one page and the gap below it
    void MettreAJourDefilement();
    void AppliquerAjustement();

    TRapport& m_rapport;
    TRapport::TMiseEnPage m_miseEnPage;
    double m_resolution = 1200;
    double m_zoom = 1.0;
    TAjustement m_ajustement = TAjustement::Aucun;
    int m_pageSignalee = -1;
    int m_pagesPeintes = 0;
};

class TFicheApercu : public QDialog, private Ui::TFicheApercu {
    Q_OBJECT
public:
    // The printer carries the page layout and the document's name; both must
    // outlive the window.
    TFicheApercu(TRapport& rapport, QPrinter& imprimante, QWidget* parent = nullptr);

    // Name proposed by "Exporter en PDF".
    void SetFichierPdf(const QString& nomFichier) { m_fichierPdf = nomFichier; }
    TVuePages* Vue() const { return vuePages; }

    void actImprimerClick();
    void actMiseEnPageClick();
    void actExporterPdfClick();

private:
    // The constructor's steps.
    void PreparerBarreOutils();
    void ConnecterActions();
    void MettreEnPage();

    void MettreAJourNavigation(int page);
    void MettreAJourZoom(double zoom);
    void cbZoomChange(int index);
    void ZoomPas(int sens);

    TRapport& m_rapport;
    QPrinter& m_imprimante;
    QString m_fichierPdf;
    TVuePages* vuePages;
};
