#pragma once
// What an import would change, shown before anything is written: the
// table's counts and the first differences. "Importer" accepts, "Annuler"
// (the default, and Escape) rejects.

#include "core/interchange/apercu.h"
#include "ui_ficheapercuimport.h"

#include <QDialog>

class TFicheApercuImport : public QDialog, private Ui::TFicheApercuImport {
    Q_OBJECT
public:
    TFicheApercuImport(const TApercuImport& apercu, QWidget* parent);
};
