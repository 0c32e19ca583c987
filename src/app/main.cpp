// fxinstall PackageName: installs the package's effects into the host editor's lists.
#include "app/install.h"
#include "effects/run_state.h"

int main(int argc, char** argv) {
  fx::RunState state;
  return fx::InstallEffects(argc, argv, state, fx::InstallEnvironment::Real());
}
