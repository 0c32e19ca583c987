// fxremove [--from-config] PackageName: undoes what fxinstall did for the package.
#include "app/remove.h"

int main(int argc, char** argv) {
  return fx::RemoveEffects(argc, argv, fx::InstallEnvironment::Real());
}
