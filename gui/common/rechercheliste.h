#pragma once
// The "Rechercher" field above a product list: each keystroke starts a
// search in the background (the field never waits for the catalogue); its
// result replaces the list, and clearing the field gives the list back to
// the window.

#include "core/store/recherche.h"

#include <QObject>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QWidget;
class TdmKestravel;

class TRechercheListe : public QObject {
    Q_OBJECT
public:
    // Works through the window's field `champ` and its result label `etat`
    // and, when the catalogue has no index yet, builds it in the background.
    // `critere` gives what a text is searched in.
    TRechercheListe(TdmKestravel& dm, QWidget* fenetre, QLineEdit* champ, QLabel* etat,
                    std::function<TCritereRecherche(const QString&)> critere);
    ~TRechercheListe() override;

    QLineEdit* Champ() const { return m_champ; }
    QLabel* Etat() const { return m_etat; }
    // A text is typed: the list shows search results.
    bool Active() const;
    // Starts building the index when it is missing (after an import); until
    // it is complete the field says how far it is and a search reads every
    // product. False, with the field disabled and the reason in its
    // tooltip, when the catalogue cannot be read.
    bool Preparer();
    // Searches the field's text again (after a write).
    void Relancer();
    // Empties the field without giving the list back.
    void Effacer();

    // Called with each result, and when the field is cleared.
    std::function<void(TLignesProduits)> surResultats;
    std::function<void()> surEffacement;
    // Enter on the code of exactly one product (a barcode scanner types the
    // code, then Enter): the window opens it.
    std::function<void(const TLignesProduits::Ligne&)> surCodeLu;

    // Enter pressed in the field: the products whose reference or export
    // code is the text. One is opened; several are listed; none is said in
    // the result label. The text is left selected, so the next scan
    // replaces it.
    void Valider();

private:
    void TexteChange(const QString& texte);
    void Recevoir(quint64 numero, const TResultatRecherche& resultat);
    void Avancement(int pourcent);
    void FinConstruction(const QString& erreur);

    TdmKestravel& m_dm;
    std::function<TCritereRecherche(const QString&)> m_critere;
    QLineEdit* m_champ;
    QLabel* m_etat;
    quint64 m_attendu = 0;
    bool m_sansIndex = false;
    int m_pourcent = 0;  // of the index built, while it is
    QString m_invite;  // the field's placeholder once the index is there
    std::unique_ptr<TConstructionIndexRecherche> m_construction;
    QString m_codeInconnu;  // the last code read that no product has
    bool m_indexCodes = false;  // the scan's indexes were looked for
    std::unique_ptr<TRechercheProduits> m_recherche;  // last: its thread stops first
};
