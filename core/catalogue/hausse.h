#pragma once
// Raising the prices of one internal category, optionally with every
// category below it. No widgets: the dialog only reads its controls and
// calls these.

#include <QVector>
#include <functional>

class TdmKestravel;

// Modes of the increase, in the order of the dialog's radio items.
enum TModeHausse { HausseEuros = 0, HaussePourcentage = 1, HausseCoefficient = 2 };

// Rounds to two decimals with ties going to the even cent (value / 0.01,
// nearest integer, × 0.01, in double precision).
double ArrondiCentimes(double valeur);

// New price from a price already rounded to the cent: p + v, p × v × 0.01
// (v is the new price as a percentage of the old one) or p × v; any other
// mode keeps p.
double PrixHausse(double prix, int mode, double valeur);

// Raises PrixAchatHT, PrixTarifHT and PrixVenteHT of every internal product of
// the category: each price is rounded to the cent, then changed, and the
// result is stored as it comes (not rounded again). `valeur` is rounded to
// the cent first. Joins the caller's transaction when there is one. Returns
// the number of products changed.
int HausserCategorie(TdmKestravel& dm, int idProduitType, int mode, double valeur);
// The same for several categories at once (one statement).
int HausserCategories(TdmKestravel& dm, const QVector<int>& idsProduitType, int mode, double valeur);

// Every internal category below the given one, at any depth, each once, in
// ascending order. The category itself is never part of it, even when the
// parent links loop back to it.
QVector<int> CollecterDescendants(TdmKestravel& dm, int idProduitType);

// Asked now and then while the prices change (every few milliseconds of
// work); false stops the increase.
using TSuiteHausse = std::function<bool()>;

// The whole increase asked in the dialog, in one transaction: the category,
// then its descendants when `descendants` is set. Returns the number of
// products changed, or HausseArretee when `continuer` stopped it: the
// transaction is then rolled back and no price has changed.
constexpr int HausseArretee = -1;
int AppliquerHausse(TdmKestravel& dm, int idProduitType, int mode, double valeur, bool descendants,
                    const TSuiteHausse& continuer = {});
