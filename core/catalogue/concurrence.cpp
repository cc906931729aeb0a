#include "core/catalogue/concurrence.h"

#include "core/base/prompts.h"
#include "core/store/acces.h"
#include "core/store/format.h"

#include <QDate>

namespace {
constexpr int LongueurCitee = 60;

QString Cle(const TConflit& c) { return c.champ + QChar(0) + c.maintenant + QChar(0) + c.saisie; }
}  // namespace

QString QuestionConflit(const TConflit& c)
{
    return QStringLiteral("%1 a changé pendant la modification : %2 à l'ouverture, %3 maintenant. Enregistrer %4 ?")
        .arg(c.champ, c.ouverture, c.maintenant, c.saisie);
}

QString TexteCite(const QString& texte)
{
    QString t = texte.simplified();
    if (t.size() > LongueurCitee)
        t = t.left(LongueurCitee - 1) + QChar(0x2026);
    return QStringLiteral("« %1 »").arg(t);
}

QString TexteValeur(const QVariant& v)
{
    switch (v.typeId()) {
        case QMetaType::QString:
            return TexteCite(v.toString());
        case QMetaType::Double:
            return Montant(v.toDouble());
        case QMetaType::QDate:
            return v.toDate().isValid() ? DateCourte(v.toDate()) : QStringLiteral("rien");
        default:
            return v.isNull() ? QStringLiteral("rien") : v.toString();
    }
}

void NoterConflit(QVector<TConflit>& conflits, const QString& champ, const QVariant& ouverture,
                  const QVariant& maintenant, const QVariant& saisie)
{
    if (saisie != ouverture && maintenant != ouverture && maintenant != saisie)
        conflits.push_back({champ, TexteValeur(ouverture), TexteValeur(maintenant), TexteValeur(saisie)});
}

TIssueAccord EcrireAvecAccord(TdmKestravel& dm, const std::function<bool()>& lire,
                              const std::function<QVector<TConflit>()>& conflits, const std::function<void()>& ecrire)
{
    QSet<QString> acceptes;
    for (;;) {
        QVector<TConflit> aDemander;
        {
            TTransaction t(dm);
            if (!lire())
                return TIssueAccord::Disparu;
            for (const TConflit& c : conflits())
                if (!acceptes.contains(Cle(c)))
                    aDemander.push_back(c);
            if (aDemander.isEmpty()) {
                ecrire();
                t.Commit();
                return TIssueAccord::Ecrit;
            }
        }
        // The transaction is over: no workstation waits on a question.
        for (const TConflit& c : aDemander) {
            if (!Prompts().Confirmer(QuestionConflit(c)))
                return TIssueAccord::Annule;
            acceptes.insert(Cle(c));
        }
    }
}
