#pragma once
// Keyboard and screen-reader helpers shared by the windows: tab order,
// keys bound to a control and its children, accessible names, and column
// widths that keep titles readable.

#include <QList>
#include <QString>
#include <Qt>
#include <functional>

class QHeaderView;
class QLabel;
class QWidget;

// Tab moves through `controles` in this order (the order the eye reads them).
void OrdreTabulation(const QList<QWidget*>& controles);

// Runs `action` when one of `touches` (without Ctrl, Alt or Shift) is pressed
// while `zone` has the focus. The binding lives as long as `zone`.
void LierTouches(QWidget* zone, const QList<Qt::Key>& touches, std::function<void()> action);

// What a screen reader announces for a control without text of its own.
void NommerPourLecteur(QWidget* controle, const QString& nom, const QString& description = QString());

// The product picture's frame, with or without a picture: "Aucune image"
// shown in it, and in the name a screen reader announces for it.
void MontrerAbsenceImage(QLabel* cadre, bool absente);

// Widens every column from `premiere` on whose width would cut its title.
void ElargirAuxTitres(QHeaderView* entete, int premiere = 0);
