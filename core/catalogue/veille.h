#pragma once
// Whether another process changed the catalogue, so that the windows show
// what the tills and the other workstations did. On a file: SQLite's data
// version, read on a timer while a window watches (a few microseconds,
// nothing re-read when it did not move). On a server: the catalogue's
// notifications, received on a listening connection's socket.

#include <QObject>

#include "core/store/basesql.h"

class QTimer;
class TdmKestravel;
class TEcouteServeur;

class TVeilleCatalogue : public QObject {
    Q_OBJECT
public:
    // With a window as `parent`, watches while it is shown.
    explicit TVeilleCatalogue(TdmKestravel& dm, QObject* parent = nullptr);
    ~TVeilleCatalogue() override;

    // Milliseconds between two checks of a file.
    static constexpr int Periode = 1000;

    // Watching on or off (a window hidden or minimised checks nothing; it
    // checks at once when shown again).
    void Activer(bool actif);
    // File: true when another connection committed since the last call.
    bool Verifier();

protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override;

signals:
    // Another process changed the catalogue: what is shown may be stale.
    void changement();

private:
    void Tic();
    void Signaler();

    TdmKestravel& m_dm;
    QTimer* m_minuterie = nullptr;
    TInstructionSql m_version;
    qint64 m_derniere = -1;
    TEcouteServeur* m_ecoute = nullptr;
};
