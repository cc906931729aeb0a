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
