#pragma once
// Start-up, shared by the two executables: checks the command line, opens
// the catalogue, reads the host's settings, checks the version and runs the
// mode. `kestravel` runs `CONTROLE` and `SYNCHRO` itself and hands every
// other mode word to `kestravel-fenetres`, which opens the windows; so a
// sale never loads the windowing system.

#include <QStringList>
#include <functional>

class TdmKestravel;

inline constexpr const char* VersionModule = "1";

// True for the mode words that never open a window (`CONTROLE`, `SYNCHRO`).
bool ModeSansFenetre(int argc, char* argv[]);

// The folder of the running program, which holds the catalogue or says
// where it is: read from the system, else from the command line's first
// word (the modes without a window have no application object to ask).
QString DossierProgramme(const QString& argument0);

// A process without regional settings gets the French formats.
void ChoisirFormatsRegionaux();

// Opens the window of `CONFIG` or `VOIR` (the mode word is args[1]) and
// runs it; returns the exit status.
using TOuvertureFenetre = std::function<int(TdmKestravel& dm, const QStringList& args)>;

// Runs the command line (the windowed program makes its application object
// first; the modes without a window need none); a windowed mode goes to
// `fenetre`, or is refused when there is none (no screen). Returns the
// process exit status: 0 on success, 1 on failure.
int Executer(const QStringList& args, const TOuvertureFenetre& fenetre);
