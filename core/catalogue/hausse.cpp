#include "core/catalogue/hausse.h"

#include "core/store/acces.h"
#include "core/store/catalogue.h"
#include "core/store/dialecte.h"
#include "core/store/erreurs.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {
// kestravel_hausse(prix, mode, valeur): the new price of one stored price, so
// that a whole category changes in one UPDATE. A missing price reads as 0.
double FonctionHausse(const double* arguments)
{
    // A missing price reads as 0.
    return PrixHausse(ArrondiCentimes(arguments[0]), int(arguments[1]), arguments[2]);
}

void InstallerFonctionHausse(TdmKestravel& dm)
{
    Dialecte::DeclarerFonction(dm.Connexion(), "kestravel_hausse", 3, &FonctionHausse);
}
// Lets the caller watch a long statement: the engine calls back every so
// many steps of its program, and a "stop" answer interrupts the statement.
class TSurveillance {
public:
    TSurveillance(TdmKestravel& dm, const TSuiteHausse& continuer)
        : m_base(dm.Connexion()), m_continuer(continuer), m_rappel([this] {
              if (!m_arretee && !m_continuer())
                  m_arretee = true;
              return !m_arretee;
          })
    {
        if (m_continuer)
            m_base.SetSurveillance(20000, &m_rappel);
    }
    ~TSurveillance()
    {
        if (m_continuer)
            m_base.SetSurveillance(0, nullptr);
    }
    TSurveillance(const TSurveillance&) = delete;
    TSurveillance& operator=(const TSurveillance&) = delete;
    bool Arretee() const { return m_arretee; }

private:
    const TBaseSql& m_base;
    const TSuiteHausse& m_continuer;
    const std::function<bool()> m_rappel;
    bool m_arretee = false;
};
}  // namespace

double ArrondiCentimes(double valeur)
{
    // nearbyint follows the default rounding mode: to nearest, ties to even.
    return std::nearbyint(valeur / 0.01) * 0.01;
}

double PrixHausse(double prix, int mode, double valeur)
{
    switch (mode) {
        case HausseEuros:
            return prix + valeur;
        case HaussePourcentage:
            return prix * valeur * 0.01;
        case HausseCoefficient:
            return prix * valeur;
        default:
            return prix;
    }
}

int HausserCategorie(TdmKestravel& dm, int idProduitType, int mode, double valeur)
{
    return HausserCategories(dm, {idProduitType}, mode, valeur);
}

int HausserCategories(TdmKestravel& dm, const QVector<int>& idsProduitType, int mode, double valeur)
{
    if (idsProduitType.isEmpty())
        return 0;
    InstallerFonctionHausse(dm);
    const double v = ArrondiCentimes(valeur);
    // One statement for all the categories: a statement per category costs
    // more than its rows when a tree holds a thousand small categories. The
    // list holds integers only, so it is written into the text.
    QStringList ids;
    for (int id : idsProduitType)
        ids << QString::number(id);
    // Only the catalogue shown in the settings window: products of other
    // origins may share the category number but belong to other catalogues.
    const auto hausse = [&](const char* prix) {
        return Dialecte::AppelFonction(dm.Connexion(), "kestravel_hausse", {QLatin1String(prix), "?", "?"});
    };
    const qint64 ecrites = ExecuterInstruction(dm.Connexion(),
                                               "UPDATE Produit SET PrixAchatHT = " + hausse("PrixAchatHT")
                                                   + ", PrixTarifHT = " + hausse("PrixTarifHT")
                                                   + ", PrixVenteHT = " + hausse("PrixVenteHT")
                                                   + " WHERE Externe = 0 AND IdProduitType IN (" + ids.join(',') + ")",
                                               {mode, v, mode, v, mode, v});
    return int(ecrites);
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

int AppliquerHausse(TdmKestravel& dm, int idProduitType, int mode, double valeur, bool descendants,
                    const TSuiteHausse& continuer)
{
    TTransaction transaction(dm);
    QVector<int> ids{idProduitType};
    if (descendants)
        ids += CollecterDescendants(dm, idProduitType);
    TSurveillance surveillance(dm, continuer);
    int n = 0;
    try {
        n = HausserCategories(dm, ids, mode, valeur);
    } catch (const EDatabaseError&) {
        // The statement interrupted on request: the transaction's guard
        // rolls every price back.
        if (surveillance.Arretee())
            return HausseArretee;
        throw;
    }
    transaction.Commit();
    return n;
}
