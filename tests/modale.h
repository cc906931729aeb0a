#pragma once
// Driving the modal windows that the code under test opens with exec() (and
// its popup menus). Such a window blocks the test until it closes, so what to
// do in it is arranged before the action that opens it, and runs from inside
// the window's own event loop:
//
//     TQuandModale<TFicheHausseCategorie> hausse([](TFicheHausseCategorie* f) { ... });
//     Cliquer(&fiche, "btnHausse");
//     ATTENDRE_MODALE(hausse);
//
// The window is closed after the steps if they leave it open. A window that
// does not open within the delay fails the test with a message instead of
// blocking it, and a modal window of another class left open meanwhile is
// closed. The watch ends with the object, so nothing stays scheduled on the
// test's locals; an object that goes without its window having opened, and
// without Attendre() or PasOuverte(), fails the test too.

#include <QDeadlineTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

class TModale {
public:
    static constexpr int DelaiParDefaut = 15000;

    // Watches for a modal window or popup inheriting `classe` ("QWidget":
    // any); `fichier` and `ligne` place the failure reports.
    TModale(const char* classe, std::function<void(QWidget*)> etapes, int delaiMs, const char* fichier, int ligne);
    ~TModale();
    TModale(const TModale&) = delete;
    TModale& operator=(const TModale&) = delete;

    // Waits, until the delay, for the window to have opened and its steps to
    // have run, and ends the watch. False when the window never opened (the
    // failure is then recorded) or when its steps failed.
    bool Attendre();
    // Ends the watch; true when no such window opened.
    bool PasOuverte();
    // Where failures go instead of the running test's report (a driver
    // loaded into the real program, where no test runs).
    void RapporterPar(std::function<void(const QString&)> rapport) { m_rapport = std::move(rapport); }

    bool Ouverte() const { return m_ouverte; }
    // The class name and title of the window seen.
    const QString& Classe() const { return m_classe; }
    const QString& Titre() const { return m_titre; }
    // Why the wait failed, empty otherwise.
    const QString& Erreur() const { return m_erreur; }

private:
    void Examiner();
    QString Nom() const;
    void Signaler();

    QByteArray m_classeAttendue;
    std::function<void(QWidget*)> m_etapes;
    std::function<void(const QString&)> m_rapport;
    int m_delaiMs;
    const char* m_fichier;
    int m_ligne;
    QDeadlineTimer m_echeance;
    QTimer m_minuterie;
    bool m_ouverte = false, m_fini = false, m_signale = false;
    QString m_classe, m_titre, m_erreur;
};

// The same for a window of class T, handed to the steps as a T.
template <class T = QWidget>
class TQuandModale : public TModale {
public:
    explicit TQuandModale(std::function<void(T*)> etapes = {}, int delaiMs = DelaiParDefaut,
                          const char* fichier = __builtin_FILE(), int ligne = __builtin_LINE())
        : TModale(T::staticMetaObject.className(), Adapter(std::move(etapes)), delaiMs, fichier, ligne)
    {}

private:
    static std::function<void(QWidget*)> Adapter(std::function<void(T*)> etapes)
    {
        if (!etapes)
            return {};
        return [etapes = std::move(etapes)](QWidget* w) { etapes(static_cast<T*>(w)); };
    }
};

// Waits for the window and leaves the test function when it failed.
#define ATTENDRE_MODALE(modale)   \
    do {                          \
        if (!(modale).Attendre()) \
            return;               \
    } while (false)
