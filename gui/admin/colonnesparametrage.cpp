#include "gui/admin/colonnesparametrage.h"

QVector<TColonneProduit> ColonnesParametrage()
{
    using C = TChampProduit;
    return {{C::Externe, QStringLiteral("Externe")},
            {C::IdProduit, QStringLiteral("Id")},
            {C::IdProduitType, QStringLiteral("IdType")},
            {C::Libelle, QStringLiteral("Libellé")},
            {C::Reference, QStringLiteral("Référence")},
            {C::PrixTarifHT, QStringLiteral("Prix tarif HT"), true},
            {C::PrixAchatHT, QStringLiteral("Prix achat HT"), true},
            {C::PrixVenteHT, QStringLiteral("Prix vente HT"), true},
            {C::Stock, QStringLiteral("Stock"), true}};
}
