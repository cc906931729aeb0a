#pragma once
#include <QWidget>
class TdmKestravel;
// Catalogue settings window (CONFIG). Placeholder until the window is built.
class TFicheParametreProduit : public QWidget {
    Q_OBJECT
public:
    explicit TFicheParametreProduit(TdmKestravel& dm, QWidget* parent = nullptr);
private:
    TdmKestravel& m_dm;
};
