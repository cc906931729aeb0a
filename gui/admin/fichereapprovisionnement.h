#pragma once
// "Produits à réapprovisionner", opened from the settings window: the
// internal products at or below their minimum stock, of the whole catalogue
// or of the selected category and those below it, the biggest shortfall
// first; printed (and exported to PDF) through the module's report and
// preview, or written as a CSV file.

#include "core/catalogue/reapprovisionnement.h"
#include "gui/admin/rapport.h"
#include "ui_fichereapprovisionnement.h"

#include <QAbstractTableModel>
#include <QDialog>

class TdmKestravel;

class TModeleReapprovisionnement : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void Remplir(TListeReapprovisionnement liste);
    const TListeReapprovisionnement& Liste() const { return m_liste; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    TListeReapprovisionnement m_liste;
};

// The list's report: a title and what it covers, then one block per product
// in the list's order.
class TRapportReapprovisionnement {
public:
    // `liste` must outlive this object.
    TRapportReapprovisionnement(const TListeReapprovisionnement& liste, const QString& portee);
    TRapportReapprovisionnement(const TRapportReapprovisionnement&) = delete;
    TRapportReapprovisionnement& operator=(const TRapportReapprovisionnement&) = delete;

    // Value of a report variable for the current record; invalid for an
    // unknown name.
    QVariant Valeur(const QString& nom) const;

    TJeuDonneesUtilisateur donnees;
    TRapport rapport;

private:
    const TListeReapprovisionnement& m_liste;
    QString m_portee;
};

class TFicheReapprovisionnement : public QDialog, private Ui::TFicheReapprovisionnement {
    Q_OBJECT
public:
    // `idProduitType` 0: the whole catalogue; otherwise that category (shown
    // as `libelleCategorie`) and every category below it.
    TFicheReapprovisionnement(TdmKestravel& dm, int idProduitType, const QString& libelleCategorie,
                              QWidget* parent = nullptr);
    ~TFicheReapprovisionnement() override;

    const TModeleReapprovisionnement& Modele() const { return *m_modele; }
    QString Portee() const { return lbPortee->text(); }

    void btnImprimerClick();
    void btnExporterCsvClick();

private:
    TdmKestravel& m_dm;
    TModeleReapprovisionnement* m_modele;
};
