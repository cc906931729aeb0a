#pragma once
// Start-up: checks the command line, opens the catalogue, reads the host's
// settings, checks the version and runs one of the four modes. Returns the
// process exit status: 0 when the run succeeded, 1 when it failed.

int Demarrer(int argc, char* argv[]);

inline constexpr const char* VersionModule = "1";
