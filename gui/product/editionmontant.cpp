#include "gui/product/editionmontant.h"

#include "core/store/format.h"

#include <QRegularExpression>

namespace {
// What may stand in the field while typing: a sign, digits, one separator
// and at most two decimals.
const QRegularExpression& FormeSaisie()
{
    static const QRegularExpression forme(QStringLiteral("^-?[0-9]*([.,][0-9]{0,2})?$"));
    return forme;
}

QString Normalise(QString texte)
{
    texte = texte.trimmed();
    texte.replace(QLatin1Char(','), QLatin1Char('.'));
    return texte;
}
}  // namespace

TEditionMontant::TEditionMontant(QWidget* parent) : QDoubleSpinBox(parent)
{
    setDecimals(2);
    setRange(-999999999.99, 999999999.99);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setAlignment(Qt::AlignRight);
    // An unfinished text (empty, a lone sign) goes back to the last amount
    // when the field is left, as in any numeric field.
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

bool TEditionMontant::MontantValide() const
{
    QString t = text();
    int pos = 0;
    return validate(t, pos) == QValidator::Acceptable;
}

QValidator::State TEditionMontant::validate(QString& texte, int&) const
{
    const QString t = texte.trimmed();
    if (!FormeSaisie().match(t).hasMatch())
        return QValidator::Invalid;
    bool ok = false;
    const double v = LireMontant(Normalise(t), &ok);
    if (!ok)
        return QValidator::Intermediate;
    return v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Invalid;
}

double TEditionMontant::valueFromText(const QString& texte) const { return LireMontant(Normalise(texte)); }

QString TEditionMontant::textFromValue(double valeur) const { return Montant(valeur); }

void TEditionMontant::fixup(QString& texte) const
{
    // "12," or "12." as the focus leaves: the amount meant is plain.
    const QString t = texte.trimmed();
    if (t.endsWith(QLatin1Char(',')) || t.endsWith(QLatin1Char('.')))
        texte = t.chopped(1);
}
