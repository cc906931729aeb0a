#pragma once
// What the product editor's "Valider" does, without the window: checks,
// questions, then every row in one transaction, then the image file.

#include "core/store/dmkestravel.h"
#include "core/store/records.h"

#include <QDate>
#include <QString>
#include <optional>

// Values read from the editor's controls.
struct TValeursProduit {
    QString reference, codeExport, libelle, description;
    QDate dateCreation;
    double prixAchatHT = 0, prixTarifHT = 0, prixVenteHT = 0;
    int stock = 0, stockMini = 0;
};

// A stored product's values as the editor's controls hold them (amounts to
// the cent; an unreadable date is invalid).
TValeursProduit ValeursStockees(const TProduit& produit);

struct TDemandeEnregistrement {
    // The product being changed, as it was when the editor opened; null for
    // a new product.
    const TProduit* produit = nullptr;
    // The controls' values when the editor opened: a field is written only
    // when the user changed it from these.
    TValeursProduit ouverture;
    TValeursProduit valeurs;
    // Full path of the image file picked in the editor; empty when the image
    // is unchanged.
    QString imageChoisie;
    // Characteristic values when the editor opened and as they are now; a
    // value removed meanwhile is found by object identity.
    TListeCaracValeurs caracsDepart, caracsTravail;
    int categorieInitiale = 0;
    // Category of the selected tree node; nothing when no node is selected.
    std::optional<int> categorieCible;
};

enum class TIssueEnregistrement {
    Enregistre,  // rows written, the editor closes
    LibelleVide,  // nothing written, focus to the label
    CategorieRefusee,  // new product without a category: nothing written
    ProduitDisparu,  // the product was deleted meanwhile: nothing written
    Annule,  // a change made elsewhere meanwhile was kept: nothing written
};

struct TResultatEnregistrement {
    TIssueEnregistrement issue = TIssueEnregistrement::Enregistre;
    int idProduit = 0;
    int categorie = 0;  // the category the caller selects next
    QString lien;  // `Lien` as stored
};

// True for the image extensions a product may store (".jpg", ".jpeg",
// ".bmp"), given lower-cased with their dot.
bool ExtensionImageAcceptee(const QString& extension);
// Lower-cased extension of a file, dot included; empty when it has none.
QString ExtensionImage(const QString& chemin);

// Runs the save: messages and the move confirmation go through Prompts(),
// all asked before anything is written. A change takes only the fields the
// user changed, over the row as stored at the write; where another
// workstation changed one of them too, the user is asked (Cancel: nothing
// written). Database errors propagate after the transaction was rolled
// back, leaving the catalogue and the image folder as they were.
TResultatEnregistrement EnregistrerProduit(TdmKestravel& dm, const TDemandeEnregistrement& demande);
