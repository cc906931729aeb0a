#pragma once
// A small banded report: a title band once at the top of the first page,
// then one master data band per record of a user data set. The bands are laid
// out on pages once (first pass); each page is then painted on demand (second
// pass) on a printer, a PDF file or the preview's screen. Values come from a
// callback asked for each variable of a text box while the data set stands on
// the record being printed.

#include <QFont>
#include <QPageLayout>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>

class QPageRanges;
class QPagedPaintDevice;
class QPainter;
class TMemoireRapport;

// A text box, in millimetres from its band's top-left corner. `texte` is a
// fixed text in which "[nom]" stands for the value of the variable nom.
struct TBoiteTexte {
    double gauche = 0, haut = 0, largeur = 0, hauteur = 0;
    QString texte;
    QFont police;
    bool centree = false;  // centred horizontally in the printable width
    bool elargir = false;  // widens to fit its text, up to the printable width
};

// A box of the report's usual font (Arial, or the system's sans serif).
TBoiteTexte BoiteTexte(double gauche, double haut, double largeur, double hauteur, const QString& texte,
                       const QFont& police);
QFont PoliceRapport(double points, bool gras = false);

struct TBande {
    double hauteur = 0;  // millimetres
    QVector<TBoiteTexte> boites;
};

// The module's lists of products print alike: a bold title centred at
// `haut`, then per product its label alone on a first line (`hautLibelle`,
// widened to its text), the other fields side by side 5 mm below, in the
// report's 8-point font, each box `hauteurBoite` high.
TBoiteTexte TitreListe(double haut, const QString& texte);
struct TChampListe {
    double gauche, largeur;
    QString texte;
};
TBande BandeProduitListe(double hauteur, double hautLibelle, double largeurLibelle, double hauteurBoite,
                         const QVector<TChampListe>& champs);

// Holds no data: only how many records there are and which one is current.
struct TJeuDonneesUtilisateur {
    int RangeEndCount = 0;
    int RecNo = 0;
};

// Called while pages are painted with the number of pages done and the total;
// false stops the work.
using TAvancement = std::function<bool(int faites, int total)>;

class TRapport {
public:
    // A4 portrait with margins of 10 mm on all four sides.
    static QPageLayout MiseEnPageA4();

    TBande TitreRapport;  // once, on the first page
    TBande DonneesMaitre;  // once per record of JeuDonnees
    TJeuDonneesUtilisateur* JeuDonnees = nullptr;
    // Value of a variable for the current record; an invalid QVariant for a
    // name it does not know (printed as nothing).
    std::function<QVariant(const QString& nom)> OnGetValue;

    // One band on a page: which band, its record (-1 for the title) and its
    // top in millimetres from the printable area's top.
    struct TPlacement {
        const TBande* bande;
        int enregistrement;
        double haut;
    };
    using TPage = QVector<TPlacement>;
    // First pass: the bands of each page for a printable height in mm. A
    // report always has at least one page.
    QVector<TPage> Preparer(double hauteurUtile) const;

    // The first pass for a page layout, kept to paint any page later.
    struct TMiseEnPage {
        QPageLayout miseEnPage;
        QVector<TPage> pages;
    };
    TMiseEnPage MettreEnPage(const QPageLayout& miseEnPage) const;

    // Text of a box with its variables replaced, for the current record.
    QString TexteBoite(const TBoiteTexte& boite) const;

    // On a screen image or a PDF file, a text of common characters is set
    // from glyphs learnt once per font rather than laid out again for each
    // box; the pages are the same. False lays out every text when drawn (the
    // former way, slower), for comparisons.
    bool GlyphesAppris = true;
    // How many texts were set from learnt glyphs so far.
    long long TextesComposes() const;

    // Second pass for one page (numbered from 0). The painter's origin is the
    // printable area's top-left corner and one unit is one dot at
    // `resolution` dots per inch; texts are laid out at that resolution
    // whatever the painter's device, so a scaled preview shows the page as it
    // prints. With a clip set, only the bands it reaches are painted.
    void PeindrePage(QPainter& p, const TMiseEnPage& miseEnPage, int page, double resolution);

    // Paints the report on the device with its current page layout, only the
    // pages in `pages` when it is not empty (numbered from 1). Returns the
    // number of pages of the report, -1 when the device cannot be painted on,
    // or Annule when `avancement` stopped the work.
    static constexpr int Annule = -2;
    int Imprimer(QPagedPaintDevice& device, const QPageRanges& pages, const TAvancement& avancement = {});
    int Imprimer(QPagedPaintDevice& device);

    // Writes the report as a PDF file through a temporary file: a failure or
    // a stop leaves any former file as it was and no new file.
    enum class TResultatPdf { Ecrit, Echec, Annule };
    TResultatPdf ExporterPdf(const QString& chemin, const QString& titre, QString* erreur = nullptr,
                             const TAvancement& avancement = {});

private:
    // What painting learns once for every page: the boxes' texts split at
    // their variables, the glyphs of each font.
    mutable std::shared_ptr<TMemoireRapport> m_memoire;
    TMemoireRapport& Memoire() const;
    void TexteBoite(const TBoiteTexte& boite, QString& resultat) const;
};
