#pragma once
#include <QString>

struct TOptionsGeneration {
    qint64 produits = 100000;
    int categories = 1000;
    // When > 0, category 1 alone holds this many products (the others share
    // the rest), for benchmarks on one large category.
    qint64 grosseCategorie = 0;
};

// Writes a large synthetic catalogue into a new file (throws on error).
void GenererCatalogue(const QString& chemin, const TOptionsGeneration& options);
