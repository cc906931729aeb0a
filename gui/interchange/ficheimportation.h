#pragma once
// The import window: replaces a whole table with the rows of its CSV file.

#include "gui/interchange/fichetables.h"

class TFicheImportation : public TFicheTables {
    Q_OBJECT
public:
    TFicheImportation(TdmKestravel& dm, QWidget* parent);

protected:
    bool Travailler(TTableCsv table) override;
};
