#include "gui/product/indicateurstock.h"

#include <QLabel>

TNiveauStock NiveauStock(int stock, int stockMini)
{
    if (stockMini == 0)
        return TNiveauStock::Gris;
    if (stock == 0)
        return TNiveauStock::Rouge;
    if (stock <= stockMini)
        return TNiveauStock::Orange;
    return TNiveauStock::Vert;
}

QString CheminImageIndicateurStock(TNiveauStock niveau)
{
    switch (niveau) {
        case TNiveauStock::Gris:
            return QStringLiteral(":/indicateurs/gris.png");
        case TNiveauStock::Rouge:
            return QStringLiteral(":/indicateurs/rouge.png");
        case TNiveauStock::Orange:
            return QStringLiteral(":/indicateurs/orange.png");
        case TNiveauStock::Vert:
            break;
    }
    return QStringLiteral(":/indicateurs/vert.png");
}

QString TexteNiveauStock(TNiveauStock niveau)
{
    switch (niveau) {
        case TNiveauStock::Gris:
            return QStringLiteral("Stock non suivi (pas de stock minimum)");
        case TNiveauStock::Rouge:
            return QStringLiteral("Stock épuisé");
        case TNiveauStock::Orange:
            return QStringLiteral("Stock faible");
        case TNiveauStock::Vert:
            break;
    }
    return QStringLiteral("Stock suffisant");
}

QPixmap ImageIndicateurStock(TNiveauStock niveau) { return QPixmap(CheminImageIndicateurStock(niveau)); }

void PreparerImageIndicateur(QLabel* img, TNiveauStock niveau)
{
    img->setPixmap(ImageIndicateurStock(niveau));
    // A picture says nothing to a screen reader: its meaning does.
    img->setAccessibleName(TexteNiveauStock(niveau));
    img->hide();
}

void PreparerIndicateur(QLabel* gris, QLabel* rouge, QLabel* orange, QLabel* vert)
{
    PreparerImageIndicateur(gris, TNiveauStock::Gris);
    PreparerImageIndicateur(rouge, TNiveauStock::Rouge);
    PreparerImageIndicateur(orange, TNiveauStock::Orange);
    PreparerImageIndicateur(vert, TNiveauStock::Vert);
}

void MontrerIndicateur(int stock, int stockMini, QLabel* gris, QLabel* rouge, QLabel* orange, QLabel* vert)
{
    const TNiveauStock niveau = NiveauStock(stock, stockMini);
    gris->setVisible(niveau == TNiveauStock::Gris);
    rouge->setVisible(niveau == TNiveauStock::Rouge);
    orange->setVisible(niveau == TNiveauStock::Orange);
    vert->setVisible(niveau == TNiveauStock::Vert);
}
