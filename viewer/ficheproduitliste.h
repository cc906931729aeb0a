#pragma once
#include <QWidget>
class TdmKestravel;
// Product browser (VOIR). Placeholder until the window is built.
class TFicheProduitListe : public QWidget {
    Q_OBJECT
public:
    explicit TFicheProduitListe(TdmKestravel& dm, QWidget* parent = nullptr);
    void SetFichierExport(const QString& chemin) { m_fichierExport = chemin; }
private:
    TdmKestravel& m_dm;
    QString m_fichierExport;
};
