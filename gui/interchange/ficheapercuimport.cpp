#include "gui/interchange/ficheapercuimport.h"

#include <QHeaderView>

TFicheApercuImport::TFicheApercuImport(const TApercuImport& apercu, QWidget* parent) : QDialog(parent)
{
    setupUi(this);
    const QString table = DescriptionTable(apercu.table).nom;
    setWindowTitle(QStringLiteral("Importation de la table %1 - Aperçu des différences").arg(table));
    lblResume->setText(ResumeApercu(apercu));
    const int n = int(apercu.differences.size());
    if (n == 0)
        lblDifferences->setText(QStringLiteral("Aucune différence : la table resterait telle qu'elle est."));
    else if (n == DifferencesApercu)
        lblDifferences->setText(QStringLiteral("Les &%1 premières différences :").arg(n));
    tblDifferences->setVisible(n > 0);
    tblDifferences->setRowCount(n);
    for (int i = 0; i < n; ++i) {
        const TDifferenceImport& d = apercu.differences[i];
        const QString textes[] = {d.cle, LibelleDifference(d), d.ancienne, d.nouvelle};
        for (int colonne = 0; colonne < 4; ++colonne) {
            auto* cellule = new QTableWidgetItem(textes[colonne]);
            cellule->setToolTip(textes[colonne]);
            tblDifferences->setItem(i, colonne, cellule);
        }
    }
    tblDifferences->verticalHeader()->hide();
    tblDifferences->horizontalHeader()->setStretchLastSection(true);
    tblDifferences->resizeColumnsToContents();
    for (int colonne = 0; colonne < 3; ++colonne)
        tblDifferences->setColumnWidth(colonne, qMin(tblDifferences->columnWidth(colonne), 260));
    connect(btnImporter, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnAnnuler, &QPushButton::clicked, this, &QDialog::reject);
    // Nothing is imported by a stray Enter: the list has the focus, the
    // default button cancels.
    if (n > 0)
        tblDifferences->setFocus();
    else
        btnAnnuler->setFocus();
    resize(820, 480);
}
