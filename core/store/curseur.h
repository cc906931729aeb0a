#pragma once
// A table cursor bound to one table and one ordering for its whole life:
// first/next/prior/last, field access by name, insert/edit/post/cancel/delete,
// a range on leading key fields and an exact key search.
//
// Rows are fetched by key in pages (keyset paging), so a walk of N rows costs
// O(N) whatever the table size, and a walk stays correct when the program
// writes rows between two steps: any write on the connection drops the page
// and the next step reads again from the current key. Rows written by other
// processes are seen from the next page on.

#include "core/store/basesql.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <unordered_map>

class TCurseur {
public:
    // `cles` is the ordering's key fields; `cleUnique` tells whether they
    // identify a row (otherwise the row id breaks ties).
    TCurseur(QString table, QString index, QStringList cles, bool cleUnique);
    ~TCurseur();
    TCurseur(const TCurseur&) = delete;
    TCurseur& operator=(const TCurseur&) = delete;

    // Binds the cursor to an open connection (done by the data module);
    // null detaches it.
    void Attacher(const TBaseSql* base);

    void Open();
    void Close();
    bool Active() const { return m_actif; }
    const QString& Table() const { return m_table; }
    const QString& Index() const { return m_index; }
    const QStringList& Cles() const { return m_cles; }
    QString TypeCle(int i) const;  // "INTEGER", "TEXT", "REAL"… of key field i
    enum class GenreCle { Entier, Texte, Autre };
    GenreCle Genre(int i) const { return m_genresCles.value(i, GenreCle::Autre); }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty();
    int RecordCount();

    // Field of the current row (or of the row being inserted/edited).
    const QVariant& Field(const QString& nom) const;
    QString AsString(const QString& nom) const { return Field(nom).toString(); }
    int AsInteger(const QString& nom) const { return Field(nom).toInt(); }
    double AsFloat(const QString& nom) const { return Field(nom).toDouble(); }
    void SetField(const QString& nom, const QVariant& valeur);

    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    bool EnEdition() const { return m_etat != Etat::Parcours; }

    // Restricts the cursor to rows whose leading key fields equal `valeurs`
    // (fields past the values are open over their whole domain) and moves to
    // the first of them.
    void SetRange(const QVariantList& valeurs);
    void CancelRange();
    bool PlageActive() const { return !m_plage.isEmpty(); }
    // Moves to the row whose leading key fields equal `valeurs`, inside the
    // current range; stays where it was when there is none.
    bool FindKey(const QVariantList& valeurs);

private:
    enum class Etat { Parcours, Insertion, Edition };
    using Ligne = QVector<QVariant>;  // columns of the table, then the row id

    void Verifier() const;
    void PosterAvantDeplacement();
    TInstructionSql Preparer(const QString& sql) const;
    QString ClauseCle() const;  // "Externe, IdProduit[, rowid]"
    QString ConditionPlage() const;  // "Externe = ? AND …" or "1 = 1"
    int LierPlage(TInstructionSql& st) const;
    QVariantList CleDe(const Ligne& l) const;
    bool ChangementsExternes() const;
    // Fills the page with up to n rows after (vers l'avant) or before the
    // given key; an empty key means from the start (or the end).
    void ChargerPage(const QVariantList& depuis, bool avant, bool inclure);
    TInstructionSql& RequetePage(int nbCle, bool avant, bool inclure);
    void PositionnerSurRowid(qint64 rowid);
    void Invalider()
    {
        m_page.clear();
        m_posPage = -1;
    }

    QString m_table, m_index;
    QStringList m_cles;
    bool m_cleUnique;
    const TBaseSql* m_base = nullptr;
    bool m_actif = false;
    QStringList m_colonnes;
    QStringList m_typesColonnes;
    QHash<QString, int> m_indiceColonne;  // name as declared and upper-cased → column
    QVector<GenreCle> m_genresCles;
    QString m_selection;  // "col1", …, rowid: what every read selects
    int Colonne(const QString& nom) const;
    QVariantList m_plage;

    QVector<Ligne> m_page;  // rows in key order, fetched forwards from m_page[0]
    int m_posPage = -1;  // current row inside m_page
    bool m_pageFin = false;  // the page reaches the end of the range
    Ligne m_ligne;  // current row
    bool m_surLigne = false;
    bool m_eof = true, m_bof = true;
    long long m_changements = 0;  // connection's change count when the page was read

    Etat m_etat = Etat::Parcours;
    QHash<int, QVariant> m_modifs;  // column → value being written

    std::unordered_map<int, TInstructionSql> m_stPages;  // page reads by shape
    TInstructionSql m_stFind;
    int m_stFindNb = -1;
};
