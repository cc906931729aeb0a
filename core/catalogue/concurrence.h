#pragma once
// Writing back what a window read while other workstations write too: the
// row is read again inside the write transaction (locked on a server), and
// when a field the user changed was also changed elsewhere since the window
// opened, the user is asked, outside the transaction, naming the field and
// both values. Nothing is written until every such question is answered OK.

#include "core/store/dmkestravel.h"

#include <QSet>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <optional>

// One field changed by the user and, meanwhile, by another workstation.
// The values are as the question shows them.
struct TConflit {
    QString champ;  // "Le stock", "Le prix de vente"…
    QString ouverture, maintenant, saisie;
};

// "Le stock a changé pendant la modification : 10 à l'ouverture, 8
// maintenant. Enregistrer 20 ?"
QString QuestionConflit(const TConflit& conflit);
// A text value as a question quotes it: « text », shortened when long.
QString TexteCite(const QString& texte);

// A value as a question shows it: texts quoted, amounts "0,00", dates in
// the short form, "rien" for a missing value.
QString TexteValeur(const QVariant& valeur);

// Adds the conflict when the user changed the field (`saisie` differs from
// `ouverture`) and what is stored now is neither what the window read nor
// what the user typed.
void NoterConflit(QVector<TConflit>& conflits, const QString& champ, const QVariant& ouverture,
                  const QVariant& maintenant, const QVariant& saisie);

enum class TIssueAccord {
    Ecrit,  // committed
    Annule,  // a question answered Cancel: nothing written
    Disparu,  // the row is gone: nothing written
};

// The write of one row read again. `lire` runs inside the write transaction
// and reads the row as stored now (locked), giving false when it is gone;
// `conflits` lists the fields in conflict with that reading; `ecrire`
// writes, still inside the transaction. The transaction is ended before any
// question, then the whole is tried again: a value changed once more while
// the question was open is asked about again.
TIssueAccord EcrireAvecAccord(TdmKestravel& dm, const std::function<bool()>& lire,
                              const std::function<QVector<TConflit>()>& conflits, const std::function<void()>& ecrire);
