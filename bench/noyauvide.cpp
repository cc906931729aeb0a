// The least a program on Qt Core does: load the library and its own (ICU,
// GLib…), make the application object, end. bench_controle times it beside
// the one-line sale, as the part of a sale's time that comes before any of
// the module's own work.

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return 0;
}
