#pragma once
// Finding products by part of their label, reference or export code.
//
// The catalogue holds a full-text index beside the five tables: the FTS5
// table `RechercheProduit` (trigram tokenizer, one row per Produit row, same
// rowid) with four triggers on Produit that keep it in step with every
// write, whoever makes it. The texts are indexed with French accents
// removed; the tokenizer ignores letter case. The five tables are not
// changed, so older versions and the host read the file as before.

#include "core/store/basesql.h"
#include "core/store/lignesproduits.h"

#include <QHash>
#include <QString>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The text as the index holds it: French accented letters (either case)
// replaced by their plain letter; the query goes through the same folding.
QString PlierRecherche(const QString& texte);
// The accented letters PlierRecherche replaces, small and capital.
QString LettresPliees();

// A search's bounds, told in the window: the words after the first ones
// are not looked for, and the field takes no more characters.
inline constexpr int MotsRechercheMax = 8;
inline constexpr int LongueurRechercheMax = 100;

// Whether the catalogue has the index (the table and its four triggers).
bool IndexRechercheInstalle(const TBaseSql& base);
// Creates the index and its triggers and fills it from Produit, in one
// transaction; nothing when it is there. On a million products this takes
// tens of seconds: `patience` is called now and then meanwhile.
void InstallerIndexRecherche(const TBaseSql& base, const std::function<void()>& patience = {});
// Builds the index in steps, each its own short transaction, so that other
// writers (tills, the window's own saves) pass between them: the table and
// its triggers first, then the products in runs of `lot` rows, the rows
// still to index noted in the table `RechercheProduitConstruction`, dropped
// at the end. `avancement` gets the percentage done before each step; its
// `false`, or the connection interrupted, stops the build where it is, and
// the next call goes on from there. True once the index is complete.
bool ConstruireIndexRecherche(const TBaseSql& base, const std::function<bool(int pourcent)>& avancement,
                              qint64 lot = 50000);
// Drops the index and its triggers. An import or a synchronisation replaces
// the products wholesale: they drop it in their own transaction, and the
// next window that searches builds it afresh from the new rows.
void SupprimerIndexRecherche(const TBaseSql& base);

struct TCritereRecherche {
    QString texte;
    // Origin searched; -1 for all.
    int externe = -1;
    // Categories a product may be in, (origin << 32 | id) → the name shown
    // for it; products of any other category are left out.
    QHash<qint64, QString> categories;
    int limite = 200;
    // The index is not complete yet: every product is read.
    bool sansIndex = false;
};

inline qint64 CleCategorie(int externe, int idProduitType) { return (qint64(externe) << 32) | quint32(idProduitType); }

struct TResultatRecherche {
    TLignesProduits lignes;
    bool tronque = false;  // more products match than `limite`
    int motsIgnores = 0;  // words beyond MotsRechercheMax, not looked for
    QString erreur;  // the search could not run (catalogue busy, no index…)
};

// Runs one search on its own connection; blocking. Stops early (empty
// result) when `interrompue` turns true. Used by TRechercheProduits.
TResultatRecherche Rechercher(const TBaseSql& base, const TCritereRecherche& critere);
// Adds the rows of a product query (key columns first, as the lists read
// them) that fall in the criterion's categories, up to its limit; marks the
// result cut short beyond it. Shared by the search and the code lookup.
void GarderLignes(TInstructionSql& q, const TCritereRecherche& critere, TResultatRecherche& resultat);

// Builds the index on a thread and connection of its own; stopped (to go
// on another time) when this object goes.
class TConstructionIndexRecherche {
public:
    // `avancement` is called on the build's thread with the percentage
    // done; `fin` once, with an empty text when the index is complete, or
    // why it could not be built. Neither is called after a stop.
    TConstructionIndexRecherche(const QString& cheminBase, std::function<void(int pourcent)> avancement,
                                std::function<void(QString erreur)> fin);
    ~TConstructionIndexRecherche();
    TConstructionIndexRecherche(const TConstructionIndexRecherche&) = delete;
    TConstructionIndexRecherche& operator=(const TConstructionIndexRecherche&) = delete;

private:
    void Construire();

    QString m_chemin;
    std::function<void(int)> m_avancement;
    std::function<void(QString)> m_fin;
    std::mutex m_verrou;
    const TBaseSql* m_base = nullptr;  // the thread's connection, while open
    bool m_arret = false;
    std::thread m_fil;
};

// Searches in a thread of its own, on its own read-only connection, so
// typing never waits for the catalogue: each new request interrupts the one
// running, and only the last one's result is delivered.
class TRechercheProduits {
public:
    // `rappel` is called on the search thread with the request's number.
    using TRappel = std::function<void(quint64 numero, TResultatRecherche resultat)>;
    // On the catalogue file `cheminBase`, or on the server `serveur` when
    // one is named.
    TRechercheProduits(const QString& cheminBase, TRappel rappel, const QString& serveur = {});
    ~TRechercheProduits();
    TRechercheProduits(const TRechercheProduits&) = delete;
    TRechercheProduits& operator=(const TRechercheProduits&) = delete;

    // Starts a search (cancelling the one in progress); returns its number.
    quint64 Chercher(TCritereRecherche critere);
    // Cancels the search in progress; nothing more is delivered for it.
    void Annuler();

private:
    void Boucle();

    QString m_chemin, m_serveur;
    TRappel m_rappel;
    std::mutex m_verrou;
    std::condition_variable m_reveil;
    const TBaseSql* m_base = nullptr;  // the thread's connection, once open
    TCritereRecherche m_demande;
    quint64 m_numero = 0;  // last request made
    quint64 m_traite = 0;  // last request taken by the thread
    bool m_fin = false;
    std::thread m_fil;
};
