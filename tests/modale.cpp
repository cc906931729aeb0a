#include "tests/modale.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

namespace {
// Closes the window even when it refuses to (a busy window ignoring its
// close event): hiding ends its exec().
void Fermer(QWidget* w)
{
    w->close();
    if (w->isVisible())
        w->hide();
}

// The popup menu or modal window in front, the one a user would deal with.
QWidget* Devant()
{
    QWidget* w = QApplication::activePopupWidget();
    return w ? w : QApplication::activeModalWidget();
}
}  // namespace

TModale::TModale(const char* classe, std::function<void(QWidget*)> etapes, int delaiMs, const char* fichier, int ligne)
    : m_classeAttendue(classe),
      m_etapes(std::move(etapes)),
      m_delaiMs(delaiMs),
      m_fichier(fichier),
      m_ligne(ligne),
      m_echeance(delaiMs)
{
    // Short enough to act as soon as exec() has shown the window.
    m_minuterie.setInterval(5);
    QObject::connect(&m_minuterie, &QTimer::timeout, [this] { Examiner(); });
    m_minuterie.start();
}

TModale::~TModale()
{
    m_minuterie.stop();
    if (!m_fini && !m_ouverte && !m_signale && !QTest::currentTestFailed())
        Signaler();
}

QString TModale::Nom() const
{
    const QString nom = QStringLiteral("fenêtre modale");
    return m_classeAttendue == "QWidget" ? nom : nom + ' ' + QString::fromLatin1(m_classeAttendue);
}

void TModale::Signaler()
{
    if (m_erreur.isEmpty())
        m_erreur = Nom() + QStringLiteral(" jamais ouverte");
    m_signale = true;
    if (m_rapport)
        m_rapport(m_erreur);
    else
        QTest::qFail(qPrintable(m_erreur), m_fichier, m_ligne);
}

void TModale::Examiner()
{
    QWidget* w = nullptr;
    for (QWidget* candidate : {QApplication::activePopupWidget(), QApplication::activeModalWidget()})
        if (!w && candidate && candidate->isVisible() && candidate->inherits(m_classeAttendue.constData()))
            w = candidate;
    if (w) {
        m_minuterie.stop();
        m_ouverte = true;
        m_classe = QString::fromLatin1(w->metaObject()->className());
        m_titre = w->windowTitle();
        QPointer<QWidget> fenetre(w);
        if (m_etapes)
            m_etapes(w);
        // Also after a failed step, so that the test goes on to report it.
        if (fenetre && fenetre->isVisible())
            Fermer(fenetre);
        return;
    }
    if (!m_echeance.hasExpired())
        return;
    m_minuterie.stop();
    m_erreur = QStringLiteral("%1 non ouverte après %2 ms").arg(Nom()).arg(m_delaiMs);
    // Whatever modal window or menu holds the test instead is closed, or the
    // test would wait for it forever.
    for (QWidget* autre = Devant(); autre;) {
        m_erreur += QStringLiteral(" ; %1 ouverte à sa place, fermée").arg(autre->metaObject()->className());
        Fermer(autre);
        QWidget* suivante = Devant();
        autre = suivante != autre ? suivante : nullptr;
    }
    Signaler();
}

bool TModale::Attendre()
{
    if (m_minuterie.isActive())
        (void)QTest::qWaitFor([this] { return !m_minuterie.isActive(); }, m_delaiMs + 1000);
    m_minuterie.stop();
    m_fini = true;
    if (!m_ouverte) {
        if (!m_signale)
            Signaler();
        return false;
    }
    return !QTest::currentTestFailed();
}

bool TModale::PasOuverte()
{
    m_minuterie.stop();
    m_fini = true;
    return !m_ouverte;
}
