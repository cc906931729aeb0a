#pragma once
// The stock control request against a catalogue on a server. Several
// workstations send requests at once: each request locks the rows of the
// products it names, in key order (two requests naming the same products in
// different orders never wait on each other), reads each stock under that
// lock, and commits whole or not at all. The outcomes reach the request
// file only after the commit, as with a catalogue file.

#include <QString>
#include <QStringList>

class TConnexionPg;

// Handles the request on the connection `c` and writes the outcomes back into it;
// `verrouDemandes` keeps this machine's requests one at a time. Throws
// EKestravel/EDatabaseError in French (which server, why): nothing is then
// moved and the file is as it was.
void ControlerStockServeur(TConnexionPg& c, const QString& verrouDemandes, const QString& chemin);
// The server's table of requests in flight (`ControleEnCours`), made with
// the catalogue.
QStringList InstructionsDemandesEnCours();
