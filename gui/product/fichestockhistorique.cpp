#include "gui/product/fichestockhistorique.h"

#include "gui/common/ergonomie.h"
#include "gui/product/controles.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLineSeries>
#include <QLocale>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>

TFicheStockHistorique::TFicheStockHistorique(TdmKestravel& dm, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_vue(new QChartView(this))
{
    setupUi(this);
    const QList<QPair<QString, int>> colonnes = {
        {"Date", 150}, {"Libellé", 150}, {"Ancienne quantité", 100}, {"Nouvelle quantité", 100}};
    ConfigurerListe(lvStock, colonnes, 0);
    // A title the screen font would cut widens its column; each column then
    // keeps at least its starting width.
    QHeaderView* entete = lvStock->header();
    entete->setMinimumSectionSize(100);
    ElargirAuxTitres(entete);
    QList<int> minimums;
    for (int i = 0; i < entete->count(); ++i)
        minimums << entete->sectionSize(i);
    connect(entete, &QHeaderView::sectionResized, this, [entete, minimums](int i, int, int largeur) {
        if (i < minimums.size() && largeur < minimums[i])
            entete->resizeSection(i, minimums[i]);
    });

    m_vue->setObjectName("grStock");
    m_vue->setRenderHint(QPainter::Antialiasing);
    m_vue->setMinimumHeight(240);
    m_vue->setFocusPolicy(Qt::StrongFocus);
    m_vue->setAccessibleName(QStringLiteral("Courbe du stock"));
    principal->insertWidget(0, m_vue, 1);
    principal->setStretchFactor(lvStock, 1);
    // The width follows the columns, which follow the screen font.
    resize(std::max(560, entete->length() + 20), 560);
}

void TFicheStockHistorique::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TFicheStockHistorique::FormActivate()
{
    if (m_rempli)
        return;
    m_rempli = true;
    m_mouvements = LireMouvementsStock(m_dm, m_externe, m_idProduit);
    for (const TMouvementStock& m : m_mouvements)
        new QTreeWidgetItem(
            lvStock,
            {TexteDateMouvement(m.dateMaj), m.libelle, QString::number(m.quantiteOld), QString::number(m.quantiteNew)});
    TracerCourbe(LireStockMini(m_dm, m_externe, m_idProduit));
}

void TFicheStockHistorique::TracerCourbe(int stockMini)
{
    m_courbe = CourbeStock(m_mouvements, QDateTime::currentDateTime());
    const QString resume = ResumeCourbeStock(m_courbe, stockMini);
    lbResumeStock->setText(resume);
    m_vue->setAccessibleDescription(resume);
    m_vue->setVisible(!m_courbe.Vide());
    if (m_courbe.Vide())
        return;

    auto* graphique = new QChart;
    graphique->setLocale(QLocale());
    graphique->setLocalizeNumbers(true);
    graphique->legend()->setAlignment(Qt::AlignBottom);
    graphique->setMargins(QMargins(4, 4, 4, 4));

    auto* stock = new QLineSeries(graphique);
    stock->setName(QStringLiteral("Stock"));
    stock->setPointsVisible(true);
    int bas = std::min(0, m_courbe.plusBas), haut = std::max(stockMini, 1);
    for (const TPointStock& p : m_courbe.points) {
        stock->append(qreal(p.date.toMSecsSinceEpoch()), p.quantite);
        bas = std::min(bas, p.quantite);
        haut = std::max(haut, p.quantite);
    }
    graphique->addSeries(stock);
    connect(stock, &QLineSeries::hovered, this, &TFicheStockHistorique::Survol);

    QLineSeries* minimum = nullptr;
    if (stockMini > 0) {
        minimum = new QLineSeries(graphique);
        minimum->setName(QStringLiteral("Stock minimum (%1)").arg(stockMini));
        minimum->append(qreal(m_courbe.points.first().date.toMSecsSinceEpoch()), stockMini);
        minimum->append(qreal(m_courbe.points.last().date.toMSecsSinceEpoch()), stockMini);
        QPen trait(QColor(0xc6, 0x28, 0x28));
        trait.setStyle(Qt::DashLine);
        trait.setWidth(2);
        minimum->setPen(trait);
        graphique->addSeries(minimum);
    }

    auto* dates = new QDateTimeAxis(graphique);
    dates->setFormat(QLocale().dateFormat(QLocale::ShortFormat));
    dates->setTitleText(QStringLiteral("Date"));
    dates->setTickCount(5);
    // One day at least, so a single movement still has an axis.
    QDateTime debut = m_courbe.points.first().date, fin = m_courbe.points.last().date;
    if (debut.secsTo(fin) < 86400)
        fin = debut.addDays(1);
    dates->setRange(debut, fin);
    auto* quantites = new QValueAxis(graphique);
    quantites->setTitleText(QStringLiteral("Quantité"));
    quantites->setLabelFormat(QStringLiteral("%d"));
    quantites->setRange(bas - 1, haut + 1);
    graphique->addAxis(dates, Qt::AlignBottom);
    graphique->addAxis(quantites, Qt::AlignLeft);
    for (QLineSeries* s : {stock, minimum})
        if (s) {
            s->attachAxis(dates);
            s->attachAxis(quantites);
        }
    m_vue->setChart(graphique);
}

void TFicheStockHistorique::Survol(const QPointF& point, bool dessus)
{
    const int i = dessus
        ? MouvementA(m_courbe, QDateTime::fromMSecsSinceEpoch(qint64(point.x())))
        : -1;
    if (i < 0 || i >= m_mouvements.size()) {
        QToolTip::hideText();
        return;
    }
    const QString texte = TexteMouvement(m_mouvements[i]);
    QToolTip::showText(QCursor::pos(), texte, m_vue);
    m_vue->setToolTip(texte);
}
