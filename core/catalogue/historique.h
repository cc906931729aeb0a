#pragma once
// The stock movements of one product, as the history window lists them.

#include "core/store/dmkestravel.h"

#include <QDateTime>
#include <QVector>

struct TMouvementStock {
    QDateTime dateMaj;
    QString libelle;
    int quantiteOld = 0;  // an empty field reads as 0
    int quantiteNew = 0;
};

// Movements of (externe, idProduit) by ascending date, then insertion order.
QVector<TMouvementStock> LireMouvementsStock(TdmKestravel& dm, int externe, int idProduit);
// Short date and long time, the time left out at exactly midnight.
QString TexteDateMouvement(const QDateTime& d);

// The stock level over time, as the history window draws it: a step at each
// movement, from the stock before the first one to the stock after the last,
// held until `fin`. Movements without a date are left out of it.
struct TPointStock {
    QDateTime date;
    int quantite = 0;
    int mouvement = -1;  // the movement (its index) that set this level; -1 for the level held until `fin`
};
struct TCourbeStock {
    QVector<TPointStock> points;
    QDateTime premiere, derniere;  // first and last movement
    int plusBas = 0;  // lowest stock a movement left
    int actuel = 0;  // stock after the last movement
    bool Vide() const { return points.isEmpty(); }
};
TCourbeStock CourbeStock(const QVector<TMouvementStock>& mouvements, const QDateTime& fin);
// The movement in effect at `date` (the last one at or before it), or -1.
int MouvementA(const TCourbeStock& courbe, const QDateTime& date);
// What a screen reader says of the curve: dates, lowest and current stock,
// and the minimum when one is set.
QString ResumeCourbeStock(const TCourbeStock& courbe, int stockMini);
// One movement in a line: date, label, former and new quantity.
QString TexteMouvement(const TMouvementStock& m);

// StockMini of the product (Externe, IdProduit), 0 when unset or when the
// product does not exist.
int LireStockMini(TdmKestravel& dm, int externe, int idProduit);
