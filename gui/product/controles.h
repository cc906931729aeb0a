#pragma once
// Controls shared by the product windows: report-style lists (read-only,
// whole-row selection, grid lines, leading key columns kept in the items but
// not shown).

#include "core/store/dmkestravel.h"
#include "core/store/records.h"

#include <QList>
#include <QPair>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// Columns as (title, width); the first `colonnesCle` are key columns.
void ConfigurerListe(QTreeWidget* liste, const QList<QPair<QString, int>>& colonnes, int colonnesCle);
// The selected item, or nullptr.
QTreeWidgetItem* LigneChoisie(const QTreeWidget* liste);

// The internal definitions: origin, number, label, unit.
void RemplirDefinitions(QTreeWidget* liste, TdmKestravel& dm);
// Characteristic values in list order: origin, number, label, value, unit.
void RemplirValeurs(QTreeWidget* liste, const TListeCaracValeurs& valeurs);
