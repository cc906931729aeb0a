// Drives the VOIR windows of the real program from inside its process, as a
// user would: the end-to-end test loads this module with LD_PRELOAD, so the
// program itself carries no test hook. Inert unless KESTRAVEL_AUTOMATE_VOIR
// holds "category;product label;quantity;comment".
//
// It selects the category in the tree, double-clicks the product, types the
// quantity and the comment in the product view and presses the export
// button. Any step not reached within the delay ends the process with a
// message on standard error.

#include "tests/modale.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {
struct TScenario {
    QString categorie, produit, quantite, commentaire;
};

TScenario& Scenario()
{
    static TScenario s;
    return s;
}

[[noreturn]] void Abandonner(const char* etape)
{
    std::fprintf(stderr, "automate : %s\n", etape);
    std::fflush(stderr);
    std::_Exit(3);
}

// Runs `etape` every 100 ms until it reports success, at most 150 times.
void Repeter(const char* nom, std::function<bool()> etape, int essais = 150)
{
    QTimer::singleShot(100, qApp, [nom, etape, essais] {
        if (etape())
            return;
        if (essais <= 1)
            Abandonner(nom);
        Repeter(nom, etape, essais - 1);
    });
}

void Exporter(QWidget* vue)
{
    auto* quantite = vue->findChild<QAbstractSpinBox*>("seQuantite");
    auto* commentaire = vue->findChild<QLineEdit*>("edtCommentaire");
    auto* exporter = vue->findChild<QPushButton*>("btnExporter");
    if (!quantite || !commentaire || !exporter)
        Abandonner("contrôles de la vue du produit absents");
    quantite->setFocus();
    QTest::keyClick(quantite, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(quantite, Scenario().quantite);
    QTest::keyClicks(commentaire, Scenario().commentaire);
    QTest::mouseClick(exporter, Qt::LeftButton);
}

bool OuvrirProduit()
{
    QTreeWidget* arbre = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && (arbre = w->findChild<QTreeWidget*>("tvVisualisation")))
            break;
    auto* liste = arbre ? arbre->window()->findChild<QTreeView*>("lvProduits") : nullptr;
    if (!liste)
        return false;
    const auto noeuds = arbre->findItems(Scenario().categorie, Qt::MatchExactly | Qt::MatchRecursive);
    if (noeuds.isEmpty())
        Abandonner("catégorie introuvable");
    QTest::mouseClick(arbre->viewport(), Qt::LeftButton, {}, arbre->visualItemRect(noeuds.first()).center());
    const auto produits =
        liste->model()->match(liste->model()->index(0, 3), Qt::DisplayRole, Scenario().produit, 1, Qt::MatchExactly);
    if (produits.isEmpty())
        Abandonner("produit introuvable");
    const QPoint point = liste->visualRect(produits.first()).center();
    QTest::mouseClick(liste->viewport(), Qt::LeftButton, {}, point);
    // The double click opens the view modally: the next step runs inside it.
    // The watch lives as long as the process.
    static auto* vue = new TModale("TFicheProduitView", Exporter, 15000, __FILE__, __LINE__);
    vue->RapporterPar([](const QString& message) { Abandonner(qPrintable(message)); });
    QTest::mouseDClick(liste->viewport(), Qt::LeftButton, {}, point);
    return true;
}

void Demarrer()
{
    const QStringList etapes = qEnvironmentVariable("KESTRAVEL_AUTOMATE_VOIR").split(';');
    if (etapes.size() != 4 || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    Scenario() = {etapes[0], etapes[1], etapes[2], etapes[3]};
    Repeter("navigateur absent", OuvrirProduit);
}
}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Demarrer)
