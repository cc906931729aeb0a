#pragma once
// Report-style lists of the product windows: read-only, whole-row selection,
// grid lines, leading key columns kept in the items but not shown.

#include <QList>
#include <QPair>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// Columns as (title, width); the first `colonnesCle` are key columns.
void ConfigurerListe(QTreeWidget* liste, const QList<QPair<QString, int>>& colonnes, int colonnesCle);
// The selected item, or nullptr.
QTreeWidgetItem* LigneChoisie(const QTreeWidget* liste);
