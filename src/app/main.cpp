// fxinstall PackageName: installs the package's effects into the host editor's lists.
#include "app/install.h"

int main(int argc, char** argv) {
  return fx::InstallEffects(argc, argv, fx::InstallEnvironment::Real());
}
