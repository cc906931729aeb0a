#include "admin/rapport.h"

#include "store/echecs.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <cerrno>

namespace {
void DessinerBoite(QPainter& p, QPaintDevice& device, const TBoiteTexte& b, const QString& texte, double hautBande,
                   double largeurUtile)
{
    // Device pixels per millimetre; fonts keep their point size.
    const double mmX = device.logicalDpiX() / 25.4, mmY = device.logicalDpiY() / 25.4;
    QFont police = b.police;
    double largeur = b.largeur * mmX;
    if (b.elargir)
        largeur = qMin(qMax(largeur, QFontMetricsF(police, &device).horizontalAdvance(texte) + 1),
                       largeurUtile * mmX);
    // A text a little too long for its box is set smaller, so that a large
    // price is printed whole; past that it is cut with an ellipsis rather
    // than run over the next box.
    const double avance = QFontMetricsF(police, &device).horizontalAdvance(texte);
    if (avance > largeur)
        police.setPointSizeF(police.pointSizeF() * qMax(0.7, (largeur - 1) / avance));
    const QFontMetricsF fm(police, &device);
    const double gauche = b.centree ? (largeurUtile * mmX - largeur) / 2 : b.gauche * mmX;
    const QRectF r(gauche, (hautBande + b.haut) * mmY, largeur, b.hauteur * mmY);
    p.setFont(police);
    p.drawText(r, Qt::AlignVCenter | (b.centree ? Qt::AlignHCenter : Qt::AlignLeft),
               fm.elidedText(texte, Qt::ElideRight, r.width()));
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

QString TRapport::TexteBoite(const TBoiteTexte& boite) const
{
    static const QRegularExpression variable(QStringLiteral("\\[([A-Za-z0-9_]+)\\]"));
    QString resultat;
    qsizetype depuis = 0;
    for (auto it = variable.globalMatch(boite.texte); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        resultat += boite.texte.mid(depuis, m.capturedStart() - depuis);
        if (OnGetValue) {
            const QVariant v = OnGetValue(m.captured(1));
            if (v.isValid())
                resultat += v.toString();
        }
        depuis = m.capturedEnd();
    }
    return resultat + boite.texte.mid(depuis);
}

int TRapport::Imprimer(QPagedPaintDevice& device) { return Imprimer(device, QPageRanges()); }

int TRapport::Imprimer(QPagedPaintDevice& device, const QPageRanges& pagesDemandees)
{
    const QRectF zone = device.pageLayout().paintRect(QPageLayout::Millimeter);
    const QVector<TPage> pages = Preparer(zone.height());

    QPainter p;
    if (!p.begin(&device))
        return -1;
    p.setPen(Qt::black);
    bool premiere = true;
    for (int numero = 1; numero <= pages.size(); ++numero) {
        if (!pagesDemandees.isEmpty() && !pagesDemandees.contains(numero))
            continue;
        if (!premiere)
            device.newPage();
        premiere = false;
        for (const TPlacement& pl : pages[numero - 1]) {
            if (JeuDonnees && pl.enregistrement >= 0)
                JeuDonnees->RecNo = pl.enregistrement;
            for (const TBoiteTexte& b : pl.bande->boites)
                DessinerBoite(p, device, b, TexteBoite(b), pl.haut, zone.width());
        }
    }
    p.end();
    return int(pages.size());
}

bool TRapport::ExporterPdf(const QString& chemin, const QString& titre, QString* erreur)
{
    QSaveFile fichier(chemin);
    const QString contexte =
        QStringLiteral("Impossible d'écrire le fichier PDF « %1 ».").arg(QFileInfo(chemin).fileName());
    const auto echec = [&](const QString& message) {
        if (erreur)
            *erreur = message;
        return false;
    };
    errno = 0;
    if (!fichier.open(QIODevice::WriteOnly))
        return echec(MessageFichier(fichier, chemin, true, contexte, errno));
    {
        QPdfWriter pdf(&fichier);
        pdf.setPageLayout(MiseEnPageA4());
        pdf.setResolution(600);
        pdf.setCreator(QStringLiteral("Kestravel"));
        pdf.setTitle(titre);
        if (Imprimer(pdf) < 0) {
            fichier.cancelWriting();
            return echec(contexte + QStringLiteral("\nLe document n'a pas pu être préparé."));
        }
    }
    // Drawing the pages leaves errno to whatever the fonts did: the place
    // itself is examined instead.
    if (!fichier.commit())
        return echec(MessageFichier(fichier, chemin, true, contexte));
    return true;
}
