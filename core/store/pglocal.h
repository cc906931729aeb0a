#pragma once
// A client of PostgreSQL's protocol of the module's own, for the one case a
// till meets hundreds of times a day: a sale (`CONTROLE`) whose server, or
// the PgBouncer in front of it (docs/serveur.md), listens on a socket folder
// of this workstation and lets the login in without a password. Loading
// libpq and the TLS, Kerberos and LDAP libraries behind it costs more than
// the sale itself; this client needs none of them.
//
// It speaks what a sale sends (plain statements, statements with text
// parameters, text results) through the same function table as libpq
// (TLibpq), so that the statement layer does not know which one it talks
// to. Anything else (a password, TLS, a connection string it does not read
// for sure, PG… variables in the environment) is left to libpq, and so is
// a connection it cannot open: libpq then tries again and gives its own
// reason.

#include "core/store/libpq.h"

// From then on, connections to a server may go through this client (the
// `CONTROLE` mode allows it: its connection lives for one request, with no
// notification, bulk load or cancel).
void PermettreClientLocal(bool oui = true);

// The connection, and the server's name for messages (NomServeur); nullptr
// when this client does not take it (libpq does).
PGconn* ConnecterLocal(const QString& connexion, QString& nom);
// The table of this client's connections and results.
const TLibpq& LibpqLocal();
