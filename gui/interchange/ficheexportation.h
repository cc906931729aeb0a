#pragma once
// The export window: each table to its own time-stamped CSV file.

#include "gui/interchange/fichetables.h"

class TFicheExportation : public TFicheTables {
    Q_OBJECT
public:
    TFicheExportation(TdmKestravel& dm, QWidget* parent);

protected:
    bool Travailler(TTableCsv table) override;
};
