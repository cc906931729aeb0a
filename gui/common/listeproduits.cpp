#include "gui/common/listeproduits.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>
#include <numeric>

namespace {
// Draws a cell of a report-style list: its text on one line, cut with an
// ellipsis when too long, and the grid lines. The style's own item drawing
// lays every text out for wrapping, which is most of the cost of showing a
// list; a key column one pixel wide draws no text at all.
class TDelegueGrille : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* vue = opt.widget;
        QStyle* style = vue ? vue->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, p, vue);
        const int marge = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, vue) + 1;
        const QRect zone = opt.rect.adjusted(marge, 0, -marge, 0);
        if (zone.width() > 0 && !opt.text.isEmpty()) {
            const QPalette::ColorGroup groupe = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                : (opt.state & QStyle::State_Active)                                 ? QPalette::Normal
                                                                                     : QPalette::Inactive;
            p->setPen(opt.palette.color(
                groupe, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
            p->setFont(opt.font);
            const QString texte = opt.fontMetrics.horizontalAdvance(opt.text) > zone.width()
                ? opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, zone.width())
                : opt.text;
            p->drawText(zone, int(opt.displayAlignment) | Qt::TextSingleLine, texte);
        }
        p->save();
        p->setPen(option.palette.color(QPalette::Midlight));
        p->drawLine(option.rect.topRight(), option.rect.bottomRight());
        p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        p->restore();
    }
};

}  // namespace

TModeleProduits::TModeleProduits(QVector<TColonneProduit> colonnes, QObject* parent)
    : QAbstractTableModel(parent), m_colonnes(std::move(colonnes))
{}

void TModeleProduits::Remplir(TLignesProduits lignes, bool avecCategorie)
{
    beginResetModel();
    m_lignes = std::move(lignes);
    m_avecCategorie = avecCategorie;
    m_ordre.resize(m_lignes.Taille());
    std::iota(m_ordre.begin(), m_ordre.end(), 0);
    m_colonneTri = -1;
    endResetModel();
}

const TColonneProduit& TModeleProduits::Colonne(int colonne) const
{
    return colonne < m_colonnes.size() ? m_colonnes[colonne] : m_colonneCategorie;
}

QString TModeleProduits::Texte(int ligne, int colonne) const
{
    return m_lignes.Texte(m_ordre[ligne], Colonne(colonne).champ);
}

void TModeleProduits::TrierOrdre(int colonne)
{
    const TChampProduit champ = Colonne(colonne).champ;
    if (champ == TChampProduit::Libelle || champ == TChampProduit::Reference || champ == TChampProduit::Categorie) {
        // Texts compared where they lie.
        const auto texte = [this, champ](int i) {
            return champ == TChampProduit::Libelle  ? m_lignes.Libelle(i)
                : champ == TChampProduit::Reference ? m_lignes.Reference(i)
                                                    : m_lignes.Categorie(i);
        };
        std::stable_sort(m_ordre.begin(), m_ordre.end(),
                         [&](int a, int b) { return ComparerTexteTri(texte(a), texte(b)) < 0; });
        return;
    }
    // Numbers and amounts compare as they are shown: formatted once each,
    // side by side in one buffer (the sort then reads memory in order).
    const int n = m_lignes.Taille();
    std::vector<char16_t> textes;
    textes.reserve(size_t(n) * 8);
    std::vector<quint32> debuts(size_t(n) + 1);
    for (int i = 0; i < n; ++i) {
        debuts[size_t(i)] = quint32(textes.size());
        const QString t = m_lignes.Texte(i, champ);
        textes.insert(textes.end(), t.utf16(), t.utf16() + t.size());
    }
    debuts[size_t(n)] = quint32(textes.size());
    const auto texte = [&](int i) {
        return QStringView(textes.data() + debuts[size_t(i)], debuts[size_t(i) + 1] - debuts[size_t(i)]);
    };
    std::stable_sort(m_ordre.begin(), m_ordre.end(),
                     [&](int a, int b) { return ComparerTexteTri(texte(a), texte(b)) < 0; });
}

void TModeleProduits::Trier(int colonne)
{
    if (colonne < 0 || colonne >= columnCount())
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList avant = persistentIndexList();
    const QVector<int> ancienOrdre = m_ordre;
    TrierOrdre(colonne);
    m_colonneTri = colonne;

    QVector<int> positions(m_ordre.size());  // row of m_lignes → new display position
    for (int i = 0; i < m_ordre.size(); ++i)
        positions[m_ordre[i]] = i;
    QModelIndexList apres;
    apres.reserve(avant.size());
    for (const QModelIndex& ancien : avant)
        apres << index(positions[ancienOrdre[ancien.row()]], ancien.column());
    changePersistentIndexList(avant, apres);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

namespace {
// A product of a list, whatever its place.
qint64 Cle(const TLignesProduits::Ligne& l)
{
    return (qint64(l.externe) << 58) ^ (qint64(l.idProduitType) << 31) ^ qint64(l.idProduit);
}
}  // namespace

void TModeleProduits::Actualiser(TLignesProduits lignes)
{
    if (lignes.MemesLignes(m_lignes))
        return;
    emit layoutAboutToBeChanged();
    const QModelIndexList avant = persistentIndexList();
    QVector<qint64> clesAffichees(m_ordre.size());  // display position → product, before
    for (int i = 0; i < m_ordre.size(); ++i)
        clesAffichees[i] = Cle(m_lignes[m_ordre[i]]);

    QHash<qint64, int> nouvelles;  // product → row of the new reading
    nouvelles.reserve(lignes.Taille());
    for (int i = 0; i < lignes.Taille(); ++i)
        nouvelles.insert(Cle(lignes[i]), i);
    // The products kept in the order shown, then the new ones; the sort
    // then keeps that order between equal texts, as a click does.
    QVector<int> ordre;
    ordre.reserve(lignes.Taille());
    std::vector<bool> place(size_t(lignes.Taille()), false);
    for (const qint64 cle : clesAffichees)
        if (const auto it = nouvelles.constFind(cle); it != nouvelles.cend()) {
            ordre << *it;
            place[size_t(*it)] = true;
        }
    for (int i = 0; i < lignes.Taille(); ++i)
        if (!place[size_t(i)])
            ordre << i;
    m_lignes = std::move(lignes);
    m_ordre = std::move(ordre);
    if (m_colonneTri >= 0)
        TrierOrdre(m_colonneTri);

    QVector<int> positions(m_ordre.size());
    for (int i = 0; i < m_ordre.size(); ++i)
        positions[m_ordre[i]] = i;
    QModelIndexList apres;
    apres.reserve(avant.size());
    for (const QModelIndex& ancien : avant) {
        const auto it = nouvelles.constFind(clesAffichees[ancien.row()]);
        apres << (it == nouvelles.cend() ? QModelIndex() : index(positions[*it], ancien.column()));
    }
    changePersistentIndexList(avant, apres);
    emit layoutChanged();
}

int TModeleProduits::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_ordre.size()); }

int TModeleProduits::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_colonnes.size()) + (m_avecCategorie ? 1 : 0);
}

QVariant TModeleProduits::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return Texte(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && Colonne(index.column()).aDroite)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant TModeleProduits::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return Colonne(section).titre;
    if (role == Qt::TextAlignmentRole)
        return int((Colonne(section).aDroite ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags TModeleProduits::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

TListeProduits::TListeProduits(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new TDelegueGrille(this));
    header()->setMinimumSectionSize(1);
    header()->setStretchLastSection(false);
}

int LigneSelectionnee(const QTreeView* liste)
{
    const QModelIndexList choix = liste->selectionModel() ? liste->selectionModel()->selectedRows() : QModelIndexList();
    return choix.isEmpty() ? -1 : choix.first().row();
}
