#include "gui/admin/rapport.h"

#include "core/store/echecs.h"
#include "gui/admin/glyphespolice.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPageRanges>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <deque>

// A box's text split at its variables: fixed texts and variable names.
struct TGabarit {
    const TBoiteTexte* boite;
    QString texte;  // the box's text it was made from
    struct TMorceau {
        QString fixe, variable;
    };
    QVector<TMorceau> morceaux;
};

class TMemoireRapport {
public:
    std::deque<TGlyphesPolice> polices;  // stable addresses
    std::vector<TGabarit> gabarits;
    long long composes = 0;
};

namespace {
bool CaractereDeNom(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

// "[nom]" with a name of letters, digits and "_"; any other "[" is text.
TGabarit Decouper(const TBoiteTexte& boite)
{
    TGabarit g{&boite, boite.texte, {}};
    const QString& t = boite.texte;
    qsizetype depuis = 0;
    for (qsizetype i = t.indexOf(u'['); i >= 0; i = t.indexOf(u'[', i + 1)) {
        qsizetype fin = i + 1;
        while (fin < t.size() && CaractereDeNom(t[fin]))
            ++fin;
        if (fin == i + 1 || fin >= t.size() || t[fin] != u']')
            continue;
        g.morceaux.append({t.mid(depuis, i - depuis), t.mid(i + 1, fin - i - 1)});
        depuis = fin + 1;
        i = fin;
    }
    g.morceaux.append({t.mid(depuis), QString()});
    return g;
}

// The fonts of one page, resolved once on the painter's device at the
// report's resolution rather than once per text box. On a device that draws
// glyph runs as it draws texts, the texts that can be are set from learnt
// glyphs and drawn together, one run per font.
class TPolices {
public:
    TPolices(QPainter& p, double facteur, TMemoireRapport* memoire)
        : m_painter(p), m_facteur(facteur), m_memoire(memoire)
    {}

    struct TPolice {
        QFont source;
        QFont police;
        QFontMetricsF metriques;
        double hauteur, ascent;  // of the metrics, asked once
        TGlyphesPolice* glyphes;  // null when texts are laid out
        // Advance of each Latin-1 character, measured when first met
        // (negative until then).
        std::array<double, 256> avances;

        // A width no text layout of `texte` exceeds, or -1 when the text
        // holds a character outside Latin-1. Kerning moves a glyph by a few
        // hundredths of an em at most: 3 % and one average character cover
        // it. Measuring the exact width costs as much as drawing the text.
        double Majorant(const QString& texte)
        {
            double somme = 0;
            for (const QChar c : texte) {
                if (c.unicode() > 0xff)
                    return -1;
                double& a = avances[c.unicode()];
                if (a < 0)
                    a = metriques.horizontalAdvance(c);
                somme += a;
            }
            return somme * 1.03 + metriques.averageCharWidth();
        }
    };
    // Boxes usually hold copies of a few fonts: a font is resolved once per
    // value, then found again by the box's address.
    TPolice& Pour(const QFont& source)
    {
        for (const auto& [adresse, police] : m_adresses)
            if (adresse == &source)
                return *police;
        TPolice* police = nullptr;
        for (TPolice& p : m_polices)
            if (p.source == source)
                police = &p;
        if (!police)
            police = &m_polices.emplace_back(Resoudre(source));
        m_adresses.push_back({&source, police});
        return *police;
    }
    QPaintDevice* Device() const { return m_painter.device(); }
    TMemoireRapport* Memoire() const { return m_memoire; }
    // Setting the painter's font costs a font resolution: only on a change.
    // A font of this page is known by its address, any other one (a text
    // set smaller) is set each time.
    void Choisir(const QFont& police, bool dePage = true)
    {
        if (dePage && m_courante == &police)
            return;
        m_painter.setFont(police);
        m_courante = dePage ? &police : nullptr;
    }

    // Adds the glyphs of a text with its baseline's origin at `origine`.
    void Ajouter(TGlyphesPolice& glyphes, const TComposition& c, QPointF origine)
    {
        auto lot = std::find_if(m_lots.begin(), m_lots.end(), [&](const TLot& l) { return l.glyphes == &glyphes; });
        if (lot == m_lots.end())
            lot = m_lots.insert(m_lots.end(), {&glyphes, {}, {}});
        // Where a drawn text starts: the layout keeps x in 64ths of a dot.
        const double x0 = std::trunc(origine.x() * 64) / 64;
        for (qsizetype i = 0; i < c.glyphes.size(); ++i) {
            lot->numeros.push_back(c.glyphes[i]);
            lot->positions.push_back(QPointF(x0 + c.x[i] / 64.0, origine.y()));
        }
        // A PDF file places each glyph from the previous one: drawn with
        // its own text, a glyph is placed exactly as when the text is
        // drawn alone.
        if (m_painter.paintEngine()->type() == QPaintEngine::Pdf)
            Vider();
    }
    // Draws the glyphs added so far; before any text drawn otherwise, so
    // that the texts are drawn in their order.
    void Vider()
    {
        for (TLot& lot : m_lots) {
            if (lot.numeros.empty())
                continue;
            {
                // The run reads the lot's arrays, kept from text to text.
                QGlyphRun passe;
                passe.setRawFont(lot.glyphes->Brute());
                passe.setRawData(lot.numeros.data(), lot.positions.data(), int(lot.numeros.size()));
                m_painter.drawGlyphRun(QPointF(), passe);
            }
            lot.numeros.clear();
            lot.positions.clear();
        }
    }

private:
    TPolice Resoudre(const QFont& source)
    {
        QFont police = source;
        if (m_facteur != 1.0)
            police.setPointSizeF(source.pointSizeF() * m_facteur);
        const QFontMetricsF metriques(police, m_painter.device());
        TPolice resolue{source, police, metriques, metriques.height(), metriques.ascent(), nullptr, {}};
        resolue.avances.fill(-1);
        if (m_memoire) {
            m_painter.setFont(police);
            m_courante = nullptr;
            resolue.glyphes = &Glyphes(police, m_painter.font());
        }
        return resolue;
    }

    TGlyphesPolice& Glyphes(const QFont& source, const QFont& police)
    {
        const double dpiX = m_painter.device()->logicalDpiX(), dpiY = m_painter.device()->logicalDpiY();
        for (TGlyphesPolice& g : m_memoire->polices)
            if (g.dpiX == dpiX && g.dpiY == dpiY && g.source == source)
                return g;
        return m_memoire->polices.emplace_back(source, police, dpiX, dpiY);
    }

    struct TLot {
        TGlyphesPolice* glyphes;
        std::vector<quint32> numeros;
        std::vector<QPointF> positions;
    };
    QPainter& m_painter;
    double m_facteur;
    TMemoireRapport* m_memoire;
    std::deque<TPolice> m_polices;  // stable addresses
    std::vector<std::pair<const QFont*, TPolice*>> m_adresses;
    const QFont* m_courante = nullptr;
    std::vector<TLot> m_lots;
};

// `mm`: dots per millimetre of the painter's coordinates.
void DessinerBoite(QPainter& p, TPolices& polices, const TBoiteTexte& b, const QString& texte, double hautBande,
                   double largeurUtile, double mm, TComposition& composition)
{
    TPolices::TPolice& resolue = polices.Pour(b.police);
    double largeur = b.largeur * mm;
    const QRectF boite(b.gauche * mm, (hautBande + b.haut) * mm, largeur, b.hauteur * mm);
    // What the rectangle form of drawText does for one left-aligned line,
    // without its layout pass: the line centred vertically, the text on its
    // baseline.
    const QPointF ligne(boite.left(), boite.top() + (boite.height() - resolue.hauteur) / 2 + resolue.ascent);
    const bool compose = !b.centree && resolue.glyphes && resolue.glyphes->Composer(texte, composition);
    if (compose) {
        const double avance = composition.avance / 64.0;
        if (b.elargir)
            largeur = qMin(qMax(largeur, avance + 1), largeurUtile * mm);
        if (avance <= largeur) {
            polices.Ajouter(*resolue.glyphes, composition, ligne);
            ++polices.Memoire()->composes;
            return;
        }
    }
    polices.Vider();
    // The exact width only matters when the text may not fit its box, or to
    // centre it.
    const double majorant = b.centree || compose ? -1 : resolue.Majorant(texte);
    const bool tientSurement = majorant >= 0 && majorant + 1 <= largeur;
    const double avance = tientSurement ? majorant
        : compose                       ? composition.avance / 64.0
                                        : resolue.metriques.horizontalAdvance(texte);
    if (b.elargir && !tientSurement)
        largeur = qMin(qMax(largeur, avance + 1), largeurUtile * mm);
    // A text a little too long for its box is set smaller, so that a large
    // price is printed whole; past that it is cut with an ellipsis rather
    // than run over the next box.
    const QRectF r(b.centree ? (largeurUtile * mm - largeur) / 2 : b.gauche * mm, (hautBande + b.haut) * mm, largeur,
                   b.hauteur * mm);
    const int alignement = Qt::AlignVCenter | (b.centree ? Qt::AlignHCenter : Qt::AlignLeft);
    if (!tientSurement && avance > largeur) {
        QFont police = resolue.police;
        police.setPointSizeF(police.pointSizeF() * qMax(0.7, (largeur - 1) / avance));
        polices.Choisir(police, false);
        p.drawText(r, alignement, QFontMetricsF(police, polices.Device()).elidedText(texte, Qt::ElideRight, largeur));
        return;
    }
    polices.Choisir(resolue.police);
    if (b.centree) {
        p.drawText(r, alignement, texte);
        return;
    }
    p.drawText(ligne, texte);
}
}  // namespace

QPageLayout TRapport::MiseEnPageA4()
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                       QPageLayout::Millimeter);
}

QVector<TRapport::TPage> TRapport::Preparer(double hauteurUtile) const
{
    QVector<TPage> pages(1);
    double y = 0;
    const auto placer = [&](const TBande& bande, int enregistrement) {
        // A band that does not fit goes to the next page, unless the page is
        // still empty (a band taller than a page would otherwise never fit).
        if (y + bande.hauteur > hauteurUtile + 1e-9 && !pages.last().isEmpty()) {
            pages.append(TPage());
            y = 0;
        }
        pages.last().append({&bande, enregistrement, y});
        y += bande.hauteur;
    };
    placer(TitreRapport, -1);
    const int n = JeuDonnees ? JeuDonnees->RangeEndCount : 0;
    for (int i = 0; i < n; ++i)
        placer(DonneesMaitre, i);
    return pages;
}

TRapport::TMiseEnPage TRapport::MettreEnPage(const QPageLayout& miseEnPage) const
{
    return {miseEnPage, Preparer(miseEnPage.paintRect(QPageLayout::Millimeter).height())};
}

TMemoireRapport& TRapport::Memoire() const
{
    if (!m_memoire)
        m_memoire = std::make_shared<TMemoireRapport>();
    return *m_memoire;
}

long long TRapport::TextesComposes() const { return m_memoire ? m_memoire->composes : 0; }

QString TRapport::TexteBoite(const TBoiteTexte& boite) const
{
    QString resultat;
    TexteBoite(boite, resultat);
    return resultat;
}

void TRapport::TexteBoite(const TBoiteTexte& boite, QString& resultat) const
{
    // The box's text is split once; a box changed since is split again.
    std::vector<TGabarit>& gabarits = Memoire().gabarits;
    auto g = std::find_if(gabarits.begin(), gabarits.end(), [&](const TGabarit& g) { return g.boite == &boite; });
    if (g == gabarits.end())
        g = gabarits.insert(gabarits.end(), Decouper(boite));
    else if (g->texte != boite.texte)
        *g = Decouper(boite);
    resultat.resize(0);
    for (const TGabarit::TMorceau& m : g->morceaux) {
        resultat += m.fixe;
        if (!m.variable.isEmpty() && OnGetValue) {
            const QVariant v = OnGetValue(m.variable);
            if (v.isValid())
                resultat += v.toString();
        }
    }
}

void TRapport::PeindrePage(QPainter& p, const TMiseEnPage& miseEnPage, int page, double resolution)
{
    if (page < 0 || page >= miseEnPage.pages.size())
        return;
    // Glyph runs are drawn as texts on a screen image and in a PDF file;
    // another device may keep only what a text item says of its characters
    // (a recording, a printer of another system).
    const QPaintEngine::Type moteur = p.paintEngine()->type();
    const bool glyphes = GlyphesAppris && (moteur == QPaintEngine::Raster || moteur == QPaintEngine::Pdf);
    TPolices polices(p, resolution / p.device()->logicalDpiY(), glyphes ? &Memoire() : nullptr);
    QString texte;
    TComposition composition;
    const double mm = resolution / 25.4;
    const double largeurUtile = miseEnPage.miseEnPage.paintRect(QPageLayout::Millimeter).width();
    p.setPen(Qt::black);
    // On screen only a strip of the page may need painting (a scroll): the
    // bands outside the clip are left out. A text stays inside its band.
    const bool clip = p.hasClipping();
    const QRectF zone = clip ? p.clipBoundingRect() : QRectF();
    for (const TPlacement& pl : miseEnPage.pages[page]) {
        if (clip && (pl.haut * mm > zone.bottom() || (pl.haut + pl.bande->hauteur) * mm < zone.top()))
            continue;
        if (JeuDonnees && pl.enregistrement >= 0)
            JeuDonnees->RecNo = pl.enregistrement;
        for (const TBoiteTexte& b : pl.bande->boites) {
            TexteBoite(b, texte);
            DessinerBoite(p, polices, b, texte, pl.haut, largeurUtile, mm, composition);
        }
    }
    polices.Vider();
}

int TRapport::Imprimer(QPagedPaintDevice& device) { return Imprimer(device, QPageRanges()); }

int TRapport::Imprimer(QPagedPaintDevice& device, const QPageRanges& pagesDemandees, const TAvancement& avancement)
{
    const TMiseEnPage miseEnPage = MettreEnPage(device.pageLayout());
    const int total = int(miseEnPage.pages.size());
    QVector<int> aImprimer;
    for (int numero = 1; numero <= total; ++numero)
        if (pagesDemandees.isEmpty() || pagesDemandees.contains(numero))
            aImprimer.append(numero);

    QPainter p;
    if (!p.begin(&device))
        return -1;
    for (int i = 0; i < aImprimer.size(); ++i) {
        if (avancement && !avancement(i, int(aImprimer.size()))) {
            p.end();
            return Annule;
        }
        if (i > 0)
            device.newPage();
        PeindrePage(p, miseEnPage, aImprimer[i] - 1, device.logicalDpiY());
    }
    p.end();
    if (avancement)
        avancement(int(aImprimer.size()), int(aImprimer.size()));
    return total;
}

TRapport::TResultatPdf TRapport::ExporterPdf(const QString& chemin, const QString& titre, QString* erreur,
                                             const TAvancement& avancement)
{
    // Nothing reaches `chemin` until commit(): a failure or a stop leaves
    // the former file, or no file, and no stray temporary file.
    QSaveFile fichier(chemin);
    const QString contexte =
        QStringLiteral("Impossible d'écrire le fichier PDF « %1 ».").arg(QFileInfo(chemin).fileName());
    const auto echec = [&](const QString& message) {
        if (erreur)
            *erreur = message;
        return TResultatPdf::Echec;
    };
    errno = 0;
    if (!fichier.open(QIODevice::WriteOnly))
        return echec(MessageFichier(fichier, chemin, true, contexte, errno));
    int pages = 0;
    {
        QPdfWriter pdf(&fichier);
        pdf.setPageLayout(MiseEnPageA4());
        pdf.setResolution(600);
        pdf.setCreator(QStringLiteral("Kestravel"));
        pdf.setTitle(titre);
        pages = Imprimer(pdf, QPageRanges(), avancement);
    }
    if (pages == Annule) {
        fichier.cancelWriting();
        return TResultatPdf::Annule;
    }
    if (pages < 0) {
        fichier.cancelWriting();
        return echec(contexte + QStringLiteral("\nLe document n'a pas pu être préparé."));
    }
    // Drawing the pages leaves errno to whatever the fonts did: the place
    // itself is examined instead.
    if (!fichier.commit())
        return echec(MessageFichier(fichier, chemin, true, contexte));
    return TResultatPdf::Ecrit;
}

TBoiteTexte BoiteTexte(double gauche, double haut, double largeur, double hauteur, const QString& texte,
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

TBoiteTexte TitreListe(double haut, const QString& texte)
{
    TBoiteTexte titre = BoiteTexte(0, haut, 132, 7, texte, PoliceRapport(14.25, true));
    titre.centree = true;
    titre.elargir = true;
    return titre;
}

TBande BandeProduitListe(double hauteur, double hautLibelle, double largeurLibelle, double hauteurBoite,
                         const QVector<TChampListe>& champs)
{
    // Small enough for a label and a price to share a 35 mm box.
    const QFont normale = PoliceRapport(8);
    TBande bande;
    bande.hauteur = hauteur;
    TBoiteTexte libelle =
        BoiteTexte(0, hautLibelle, largeurLibelle, hauteurBoite, QStringLiteral("Libellé : [libelle]"), normale);
    libelle.elargir = true;
    bande.boites = {libelle};
    for (const TChampListe& c : champs)
        bande.boites << BoiteTexte(c.gauche, hautLibelle + 5, c.largeur, hauteurBoite, c.texte, normale);
    return bande;
}

QFont PoliceRapport(double points, bool gras)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(gras);
    return f;
}
