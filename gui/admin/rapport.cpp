#include "gui/admin/rapport.h"

#include "core/store/echecs.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <array>
#include <cerrno>
#include <deque>

namespace {
// The fonts of one page, resolved once on the painter's device at the
// report's resolution rather than once per text box.
class TPolices {
public:
    TPolices(QPainter& p, double facteur) : m_painter(p), m_facteur(facteur) {}

    struct TPolice {
        const QFont* source;
        QFont police;
        QFontMetricsF metriques;
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
    TPolice& Pour(const QFont& source)
    {
        for (TPolice& p : m_polices)
            if (p.source == &source)
                return p;
        QFont police = source;
        if (m_facteur != 1.0)
            police.setPointSizeF(source.pointSizeF() * m_facteur);
        m_polices.push_back({&source, police, QFontMetricsF(police, m_painter.device()), {}});
        m_polices.back().avances.fill(-1);
        return m_polices.back();
    }
    QPaintDevice* Device() const { return m_painter.device(); }
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

private:
    QPainter& m_painter;
    double m_facteur;
    std::deque<TPolice> m_polices;   // stable addresses
    const QFont* m_courante = nullptr;
};

// `mm`: dots per millimetre of the painter's coordinates.
void DessinerBoite(QPainter& p, TPolices& polices, const TBoiteTexte& b, const QString& texte, double hautBande,
                   double largeurUtile, double mm)
{
    TPolices::TPolice& resolue = polices.Pour(b.police);
    double largeur = b.largeur * mm;
    // The exact width only matters when the text may not fit its box, or to
    // centre it.
    const double majorant = b.centree ? -1 : resolue.Majorant(texte);
    const bool tientSurement = majorant >= 0 && majorant + 1 <= largeur;
    const double avance = tientSurement ? majorant : resolue.metriques.horizontalAdvance(texte);
    if (b.elargir && !tientSurement)
        largeur = qMin(qMax(largeur, avance + 1), largeurUtile * mm);
    // A text a little too long for its box is set smaller, so that a large
    // price is printed whole; past that it is cut with an ellipsis rather
    // than run over the next box.
    const QRectF r(b.centree ? (largeurUtile * mm - largeur) / 2 : b.gauche * mm, (hautBande + b.haut) * mm,
                   largeur, b.hauteur * mm);
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
    // What the rectangle form does for one left-aligned line, without its
    // layout pass: the line centred vertically, the text on its baseline.
    const QFontMetricsF& fm = resolue.metriques;
    p.drawText(QPointF(r.left(), r.top() + (r.height() - fm.height()) / 2 + fm.ascent()), texte);
}

bool CaractereDeNom(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
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

QString TRapport::TexteBoite(const TBoiteTexte& boite) const
{
    // "[nom]" with a name of letters, digits and "_"; any other "[" is text.
    const QString& t = boite.texte;
    QString resultat;
    resultat.reserve(t.size() + 32);
    qsizetype depuis = 0;
    for (qsizetype i = t.indexOf(u'['); i >= 0; i = t.indexOf(u'[', i + 1)) {
        qsizetype fin = i + 1;
        while (fin < t.size() && CaractereDeNom(t[fin]))
            ++fin;
        if (fin == i + 1 || fin >= t.size() || t[fin] != u']')
            continue;
        resultat += QStringView(t).mid(depuis, i - depuis);
        if (OnGetValue) {
            const QVariant v = OnGetValue(t.mid(i + 1, fin - i - 1));
            if (v.isValid())
                resultat += v.toString();
        }
        depuis = fin + 1;
        i = fin;
    }
    resultat += QStringView(t).mid(depuis);
    return resultat;
}

void TRapport::PeindrePage(QPainter& p, const TMiseEnPage& miseEnPage, int page, double resolution)
{
    if (page < 0 || page >= miseEnPage.pages.size())
        return;
    TPolices polices(p, resolution / p.device()->logicalDpiY());
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
        for (const TBoiteTexte& b : pl.bande->boites)
            DessinerBoite(p, polices, b, TexteBoite(b), pl.haut, largeurUtile, mm);
    }
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
