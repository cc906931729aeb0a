#include "admin/ficheparametreproduit.h"

TFicheParametreProduit::TFicheParametreProduit(TdmKestravel& dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    setWindowTitle(QStringLiteral("Parametrage des produits (fenêtre provisoire, en cours de réalisation)"));
    resize(984, 578);
}
