#include "admin/hausse.h"

#include "store/acces.h"
#include "store/catalogue.h"
#include "store/erreurs.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace {
// kestravel_hausse(prix, mode, valeur): the new price of one stored price, so
// that a whole category changes in one UPDATE. A missing price reads as 0.
void FonctionHausse(sqlite3_context* ctx, int, sqlite3_value** args)
{
    const double prix = ArrondiCentimes(sqlite3_value_double(args[0]));
    sqlite3_result_double(ctx, PrixHausse(prix, sqlite3_value_int(args[1]), sqlite3_value_double(args[2])));
}

void InstallerFonctionHausse(TdmKestravel& dm)
{
    const int rc = sqlite3_create_function_v2(dm.Handle(), "kestravel_hausse", 3,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &FonctionHausse,
                                              nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(dm.Handle())));
}
}  // namespace

double ArrondiCentimes(double valeur)
{
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    return std::nearbyint(valeur / 0.01) * 0.01;
}

double PrixHausse(double prix, int mode, double valeur)
{
    switch (mode) {
    case HausseEuros: return prix + valeur;
    case HaussePourcentage: return prix * valeur * 0.01;
    case HausseCoefficient: return prix * valeur;
    default: return prix;
    }
}

int HausserCategorie(TdmKestravel& dm, int idProduitType, int mode, double valeur)
{
    InstallerFonctionHausse(dm);
    const double v = ArrondiCentimes(valeur);
    // Only the catalogue shown in the settings window: products of other
    // origins may share the category number but belong to other catalogues.
    QSqlQuery q = ExecuterSql(dm.Base(),
                              "UPDATE Produit SET PrixAchatHT = kestravel_hausse(PrixAchatHT, ?, ?),"
                              " PrixTarifHT = kestravel_hausse(PrixTarifHT, ?, ?),"
                              " PrixVenteHT = kestravel_hausse(PrixVenteHT, ?, ?)"
                              " WHERE Externe = 0 AND IdProduitType = ?",
                              {mode, v, mode, v, mode, v, idProduitType});
    return std::max(0, q.numRowsAffected());
}

QVector<int> CollecterDescendants(TdmKestravel& dm, int idProduitType)
{
    QHash<int, QVector<int>> enfants;
    for (const TLigneCategorie& c : LireCategories(dm))
        if (c.externe == 0)
            enfants[c.idParent].push_back(c.idProduitType);

    QSet<int> vus{idProduitType};
    QVector<int> resultat;
    QVector<int> aVoir{idProduitType};
    while (!aVoir.isEmpty()) {
        const int id = aVoir.takeLast();
        for (int enfant : enfants.value(id))
            if (!vus.contains(enfant)) {
                vus.insert(enfant);
                resultat.push_back(enfant);
                aVoir.push_back(enfant);
            }
    }
    std::sort(resultat.begin(), resultat.end());
    return resultat;
}

int AppliquerHausse(TdmKestravel& dm, int idProduitType, int mode, double valeur, bool descendants)
{
    TTransaction transaction(dm);
    int n = HausserCategorie(dm, idProduitType, mode, valeur);
    if (descendants)
        for (int id : CollecterDescendants(dm, idProduitType))
            n += HausserCategorie(dm, id, mode, valeur);
    transaction.Commit();
    return n;
}
