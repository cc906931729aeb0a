#include "viewer/ficheproduitliste.h"

TFicheProduitListe::TFicheProduitListe(TdmKestravel& dm, QWidget* parent) : QWidget(parent), m_dm(dm)
{
    setWindowTitle(QStringLiteral("Liste des produits (fenêtre provisoire, en cours de réalisation)"));
}
