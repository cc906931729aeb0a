#pragma once
// Printing the product list of the settings window: one title, then one
// block per listed product, with the texts exactly as the list shows them
// and in its display order (a column sort carries over to the print).

#include "gui/admin/rapport.h"

class QAbstractItemModel;
class QWidget;

// Text of the title band.
inline const char* const TitreListeProduits = "Liste des produits provenenant du module Kestravel";

class TRapportListeProduits {
public:
    // `lvProduits` is the model of the settings window's product list
    // (three hidden key columns, then label, reference, the three prices and
    // the stock), in display order. It must outlive this object.
    explicit TRapportListeProduits(const QAbstractItemModel* lvProduits);
    TRapportListeProduits(const TRapportListeProduits&) = delete;
    TRapportListeProduits& operator=(const TRapportListeProduits&) = delete;

    // Value of a report variable for the data set's current record, that is
    // the list item at that display position; invalid for an unknown name.
    QVariant frxReport1GetValue(const QString& nom) const;

    TJeuDonneesUtilisateur frxUserDataSet1;
    TRapport frxReport1;

private:
    const QAbstractItemModel* m_liste;
};

// Shows the print preview of the list (print, page set-up, zoom, page
// navigation, export to PDF). Nothing when the list is empty.
void ImprimerListe(const QAbstractItemModel* lvProduits, QWidget* parent);

// Shows a report in the module's preview, on A4 with the printer's best
// resolution; `fichierPdf` is the name "Exporter en PDF" proposes, `nom` the
// preview's object name.
void AfficherApercu(TRapport& rapport, const QString& titre, const QString& fichierPdf, const QString& nom,
                    QWidget* parent);

// Writes the same report as a PDF file (the old file stays intact on
// failure). False with a French message in `erreur`.
bool ExporterListePdf(const QAbstractItemModel* lvProduits, const QString& chemin, QString* erreur = nullptr);
