#include "gui/common/ergonomie.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QWidget>

void OrdreTabulation(const QList<QWidget*>& controles)
{
    for (qsizetype i = 1; i < controles.size(); ++i)
        QWidget::setTabOrder(controles[i - 1], controles[i]);
}

namespace {
// Catches the keys before the control itself: a list view takes some keys
// for its own use (Delete, among others) and no window shortcut sees them.
class TTouches : public QObject {
public:
    TTouches(QWidget* zone, QList<Qt::Key> touches, std::function<void()> action)
        : QObject(zone), m_touches(std::move(touches)), m_action(std::move(action))
    {
        zone->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress)
            return false;
        const auto* k = static_cast<QKeyEvent*>(e);
        if ((k->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || !m_touches.contains(Qt::Key(k->key())))
            return false;
        // Claimed as a key of the control, then run when it is pressed.
        e->accept();
        if (e->type() == QEvent::KeyPress) {
            SelectionnerLigneCourante();
            m_action();
        }
        return true;
    }

private:
    // A list entered with Tab shows its focus on a row without selecting
    // it: the key acts on that row, the one the user sees.
    void SelectionnerLigneCourante() const
    {
        auto* vue = qobject_cast<QAbstractItemView*>(parent());
        if (!vue || !vue->selectionModel() || vue->selectionModel()->hasSelection() || !vue->currentIndex().isValid())
            return;
        vue->selectionModel()->select(vue->currentIndex(),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    QList<Qt::Key> m_touches;
    std::function<void()> m_action;
};
}  // namespace

void LierTouches(QWidget* zone, const QList<Qt::Key>& touches, std::function<void()> action)
{
    new TTouches(zone, touches, std::move(action));
}

void NommerPourLecteur(QWidget* controle, const QString& nom, const QString& description)
{
    controle->setAccessibleName(nom);
    if (!description.isEmpty())
        controle->setAccessibleDescription(description);
}

void MontrerAbsenceImage(QLabel* cadre, bool absente)
{
    cadre->setText(absente ? QStringLiteral("Aucune image") : QString());
    cadre->setAccessibleName(absente ? QStringLiteral("Aucune image du produit") : QStringLiteral("Image du produit"));
}

void ElargirAuxTitres(QHeaderView* entete, int premiere)
{
    // The header's own measure of a title: margins and sort mark included.
    for (int c = premiere; c < entete->count(); ++c)
        if (entete->sectionSize(c) < entete->sectionSizeHint(c))
            entete->resizeSection(c, entete->sectionSizeHint(c));
}
