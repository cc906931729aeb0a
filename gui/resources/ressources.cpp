// Anchor unit of the resource library: the pictures themselves are added by
// qt_add_resources and registered automatically at start-up.
namespace kestravel {
int ressourcesPresentes = 1;
}
