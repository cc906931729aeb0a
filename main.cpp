#include "app/demarrage.h"

int main(int argc, char* argv[]) { return Demarrer(argc, argv); }
