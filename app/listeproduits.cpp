#include "app/listeproduits.h"

#include "store/dmkestravel.h"
#include "store/erreurs.h"
#include "store/format.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QStringDecoder>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

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
                                               : (opt.state & QStyle::State_Active)  ? QPalette::Normal
                                                                                      : QPalette::Inactive;
            p->setPen(opt.palette.color(groupe, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                     : QPalette::Text));
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

// Closes a statement whatever way the read ends.
struct TInstruction {
    sqlite3_stmt* st = nullptr;
    ~TInstruction() { sqlite3_finalize(st); }
};

QByteArrayView Octets(sqlite3_stmt* st, int colonne)
{
    const auto* texte = reinterpret_cast<const char*>(sqlite3_column_text(st, colonne));
    return texte ? QByteArrayView(texte, sqlite3_column_bytes(st, colonne)) : QByteArrayView();
}
}  // namespace

void TLignesProduits::Reserver(int lignes)
{
    m_lignes.reserve(size_t(lignes));
    m_textes.reserve(size_t(lignes) * 40);
}

void TLignesProduits::Ajouter(Ligne ligne, QByteArrayView libelle, QByteArrayView reference,
                              QByteArrayView categorie)
{
    // UTF-8 never takes fewer bytes than UTF-16 takes code units: decode in
    // place, then give back what was not used.
    thread_local QStringDecoder decodeur(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const auto decoder = [this](QByteArrayView octets) {
        const size_t debut = m_textes.size();
        m_textes.resize(debut + size_t(octets.size()));
        QChar* fin = decodeur.appendToBuffer(reinterpret_cast<QChar*>(m_textes.data() + debut), octets);
        m_textes.resize(size_t(reinterpret_cast<char16_t*>(fin) - m_textes.data()));
        return quint32(m_textes.size() - debut);
    };
    ligne.debut = quint32(m_textes.size());
    ligne.lgLibelle = decoder(libelle);
    ligne.lgReference = decoder(reference);
    ligne.lgCategorie = decoder(categorie);
    m_lignes.push_back(ligne);
}

void TLignesProduits::Ajouter(Ligne ligne, QStringView libelle, QStringView reference, QStringView categorie)
{
    const auto copier = [this](QStringView texte) {
        m_textes.insert(m_textes.end(), texte.utf16(), texte.utf16() + texte.size());
        return quint32(texte.size());
    };
    ligne.debut = quint32(m_textes.size());
    ligne.lgLibelle = copier(libelle);
    ligne.lgReference = copier(reference);
    ligne.lgCategorie = copier(categorie);
    m_lignes.push_back(ligne);
}

QStringView TLignesProduits::Libelle(int i) const
{
    const Ligne& l = m_lignes[size_t(i)];
    return QStringView(m_textes.data() + l.debut, l.lgLibelle);
}

QStringView TLignesProduits::Reference(int i) const
{
    const Ligne& l = m_lignes[size_t(i)];
    return QStringView(m_textes.data() + l.debut + l.lgLibelle, l.lgReference);
}

QStringView TLignesProduits::Categorie(int i) const
{
    const Ligne& l = m_lignes[size_t(i)];
    return QStringView(m_textes.data() + l.debut + l.lgLibelle + l.lgReference, l.lgCategorie);
}

QString TLignesProduits::Texte(int i, TChampProduit champ) const
{
    const Ligne& l = m_lignes[size_t(i)];
    switch (champ) {
    case TChampProduit::Externe: return QString::number(l.externe);
    case TChampProduit::IdProduit: return QString::number(l.idProduit);
    case TChampProduit::IdProduitType: return QString::number(l.idProduitType);
    case TChampProduit::Libelle: return Libelle(i).toString();
    case TChampProduit::Reference: return Reference(i).toString();
    case TChampProduit::PrixTarifHT: return Montant(l.prixTarifHT);
    case TChampProduit::PrixAchatHT: return Montant(l.prixAchatHT);
    case TChampProduit::PrixVenteHT: return Montant(l.prixVenteHT);
    case TChampProduit::Stock: return l.stock > 0 ? QString::number(l.stock) : QString();
    case TChampProduit::Categorie: return Categorie(i).toString();
    }
    return QString();
}

TLignesProduits LireProduitsCategorie(TdmKestravel& dm, int externe, int idProduitType)
{
    TInstruction q;
    const char* sql = "SELECT IdProduit, Libelle, Reference, PrixTarifHT, PrixAchatHT, PrixVenteHT, Stock"
                      " FROM Produit WHERE Externe = ? AND IdProduitType = ? ORDER BY IdProduit";
    if (sqlite3_prepare_v2(dm.Handle(), sql, -1, &q.st, nullptr) != SQLITE_OK)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(dm.Handle())));
    sqlite3_bind_int(q.st, 1, externe);
    sqlite3_bind_int(q.st, 2, idProduitType);
    TLignesProduits lignes;
    int rc;
    while ((rc = sqlite3_step(q.st)) == SQLITE_ROW) {
        TLignesProduits::Ligne l;
        l.externe = externe;
        l.idProduit = sqlite3_column_int(q.st, 0);
        l.idProduitType = idProduitType;
        l.prixTarifHT = sqlite3_column_double(q.st, 3);
        l.prixAchatHT = sqlite3_column_double(q.st, 4);
        l.prixVenteHT = sqlite3_column_double(q.st, 5);
        l.stock = sqlite3_column_int(q.st, 6);
        lignes.Ajouter(l, Octets(q.st, 1), Octets(q.st, 2));
    }
    if (rc != SQLITE_DONE)
        throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(dm.Handle())));
    return lignes;
}

int ComparerTexteTri(QStringView a, QStringView b)
{
    const auto plier = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = plier(a[i].unicode());
        const char16_t y = plier(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TModeleProduits::TModeleProduits(QVector<TColonneProduit> colonnes, QObject* parent)
    : QAbstractTableModel(parent), m_colonnes(std::move(colonnes))
{
}

void TModeleProduits::Remplir(TLignesProduits lignes)
{
    beginResetModel();
    m_lignes = std::move(lignes);
    m_ordre.resize(m_lignes.Taille());
    std::iota(m_ordre.begin(), m_ordre.end(), 0);
    endResetModel();
}

QString TModeleProduits::Texte(int ligne, int colonne) const
{
    return m_lignes.Texte(m_ordre[ligne], m_colonnes[colonne].champ);
}

void TModeleProduits::Trier(int colonne)
{
    if (colonne < 0 || colonne >= m_colonnes.size())
        return;
    const TChampProduit champ = m_colonnes[colonne].champ;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList avant = persistentIndexList();
    const QVector<int> ancienOrdre = m_ordre;

    if (champ == TChampProduit::Libelle || champ == TChampProduit::Reference || champ == TChampProduit::Categorie) {
        // Texts compared where they lie.
        const auto texte = [this, champ](int i) {
            return champ == TChampProduit::Libelle     ? m_lignes.Libelle(i)
                   : champ == TChampProduit::Reference ? m_lignes.Reference(i)
                                                       : m_lignes.Categorie(i);
        };
        std::stable_sort(m_ordre.begin(), m_ordre.end(),
                         [&](int a, int b) { return ComparerTexteTri(texte(a), texte(b)) < 0; });
    } else {
        // Numbers and amounts compare as they are shown: formatted once each.
        QVector<QString> textes(m_lignes.Taille());
        for (int i = 0; i < m_lignes.Taille(); ++i)
            textes[i] = m_lignes.Texte(i, champ);
        std::stable_sort(m_ordre.begin(), m_ordre.end(),
                         [&](int a, int b) { return ComparerTexteTri(textes[a], textes[b]) < 0; });
    }

    QVector<int> positions(m_ordre.size());   // row of m_lignes → new display position
    for (int i = 0; i < m_ordre.size(); ++i)
        positions[m_ordre[i]] = i;
    QModelIndexList apres;
    apres.reserve(avant.size());
    for (const QModelIndex& ancien : avant)
        apres << index(positions[ancienOrdre[ancien.row()]], ancien.column());
    changePersistentIndexList(avant, apres);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TModeleProduits::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_ordre.size());
}

int TModeleProduits::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_colonnes.size());
}

QVariant TModeleProduits::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return Texte(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && m_colonnes[index.column()].aDroite)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant TModeleProduits::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_colonnes.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_colonnes[section].titre;
    if (role == Qt::TextAlignmentRole)
        return int((m_colonnes[section].aDroite ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags TModeleProduits::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QTreeView* CreerListeProduits(TModeleProduits* modele, QWidget* parent)
{
    auto* liste = new QTreeView(parent);
    liste->setObjectName(QStringLiteral("lvProduits"));
    liste->setModel(modele);
    liste->setRootIsDecorated(false);
    liste->setItemsExpandable(false);
    liste->setUniformRowHeights(true);
    liste->setAllColumnsShowFocus(true);
    liste->setSelectionMode(QAbstractItemView::SingleSelection);
    liste->setSelectionBehavior(QAbstractItemView::SelectRows);
    liste->setEditTriggers(QAbstractItemView::NoEditTriggers);
    liste->setItemDelegate(new TDelegueGrille(liste));
    QHeaderView* entete = liste->header();
    entete->setMinimumSectionSize(1);
    entete->setStretchLastSection(false);
    return liste;
}

int LigneSelectionnee(const QTreeView* liste)
{
    const QModelIndexList choix = liste->selectionModel() ? liste->selectionModel()->selectedRows()
                                                          : QModelIndexList();
    return choix.isEmpty() ? -1 : choix.first().row();
}
