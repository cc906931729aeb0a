#include "product/indicateurstock.h"

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
    case TNiveauStock::Gris: return QStringLiteral(":/indicateurs/gris.png");
    case TNiveauStock::Rouge: return QStringLiteral(":/indicateurs/rouge.png");
    case TNiveauStock::Orange: return QStringLiteral(":/indicateurs/orange.png");
    case TNiveauStock::Vert: break;
    }
    return QStringLiteral(":/indicateurs/vert.png");
}

QPixmap ImageIndicateurStock(TNiveauStock niveau) { return QPixmap(CheminImageIndicateurStock(niveau)); }
