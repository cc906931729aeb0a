#pragma once
// Entry of an amount with two decimals. Either decimal separator may be typed
// (the keypad's key gives "." whatever the regional settings), so "19.9" and
// "19,9" both mean 19,90; the text is shown back as the shared amount format.

#include <QDoubleSpinBox>

class TEditionMontant : public QDoubleSpinBox {
    Q_OBJECT
public:
    explicit TEditionMontant(QWidget* parent = nullptr);

    // False while the text is not an amount yet (empty, a lone sign).
    bool MontantValide() const;

    QValidator::State validate(QString& texte, int& position) const override;
    double valueFromText(const QString& texte) const override;
    QString textFromValue(double valeur) const override;
    void fixup(QString& texte) const override;
};
