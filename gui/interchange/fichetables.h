#pragma once
// What the export and import windows share: the folder edit with its
// browse button, one button, progress bar and completion mark per table,
// and the busy flag that refuses a second run while one goes on.

#include "core/interchange/formatcsv.h"
#include "ui_fichetables.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>

class QLabel;
class QProgressBar;
class TdmKestravel;

class TFicheTables : public QDialog, private Ui::TFicheTables {
    Q_OBJECT
public:
    struct TTextes {
        QString titre, choixRepertoire, infoBulle, sansDossier, occupe, inconnue;
        QStringList boutons;  // one caption per table, in the order of TablesCsv()
    };

    bool Occupe() const { return m_occupe; }
    // The window stays open while a run goes on.
    void reject() override;

public slots:
    void btnProduitClick();
    void btnProduitCaracClick();
    void btnProduitTypeClick();
    void btnProduitTypeCaracClick();
    void btnTransactionClick();
    void btnParcourirClick();

protected:
    TFicheTables(TdmKestravel& dm, QWidget* parent, TTextes textes);
    // Runs the table's export or import with its progress bar reset; errors
    // are thrown. The table's mark is shown when it returns true; false: the
    // user gave up, nothing was done.
    virtual bool Travailler(TTableCsv table) = 0;

    QProgressBar* Barre(TTableCsv table) const { return m_barres[int(table)]; }
    QString Dossier() const;
    // Lets the toolkit handle pending events, at most every few milliseconds
    // (always on the first call of a run).
    void TraiterEvenements(QEventLoop::ProcessEventsFlags drapeaux);

    TdmKestravel& m_dm;

private:
    void Lancer(TTableCsv table);

    TTextes m_textes;
    QList<QProgressBar*> m_barres;
    QList<QLabel*> m_marques;
    bool m_occupe = false;
    QElapsedTimer m_depuisEvenements;
};
