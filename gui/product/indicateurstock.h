#pragma once
// The stock indicator shared by the product editor and the product view: one
// of four colours picked from the stock and its minimum threshold.

#include <QPixmap>

class QLabel;
class QWidget;
#include <QString>

enum class TNiveauStock { Gris, Rouge, Orange, Vert };

// Grey when there is no threshold (whatever the stock), red when the stock is
// 0, orange up to the threshold (negative stock included), green above it.
TNiveauStock NiveauStock(int stock, int stockMini);

// What a level means, as a screen reader announces it ("Stock suffisant").
QString TexteNiveauStock(TNiveauStock niveau);

// Resource path of the 48×48 picture of a level (":/indicateurs/vert.png").
QString CheminImageIndicateurStock(TNiveauStock niveau);
QPixmap ImageIndicateurStock(TNiveauStock niveau);

// Makes `img` show the picture of a level, announced by what the level
// means, and hides it until MontrerIndicateur picks it.
void PreparerImageIndicateur(QLabel* img, TNiveauStock niveau);
// The same for the four pictures of one indicator.
void PreparerIndicateur(QLabel* gris, QLabel* rouge, QLabel* orange, QLabel* vert);
// Shows the label of the product's level and hides the three others.
void MontrerIndicateur(int stock, int stockMini, QLabel* gris, QLabel* rouge, QLabel* orange, QLabel* vert);
