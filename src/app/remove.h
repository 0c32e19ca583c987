// One removal run: fxremove [--from-config] PackageName.
#pragma once

#include "app/install.h"

namespace fx {

// Exit codes of fxremove: kExitDone, kExitNoRecord, kExitPartlyFailed (install.h).
inline constexpr int kExitNoRecord = 1;  // no record of the package: nothing was changed

// Undoes the installation of the package named by the last argument, in the program's own
// directory, under the same lock as an installation:
//   - as its record says (package/removal.h), newest entry first; the lists written back in
//     the installer's order and with its safety; the host editor told the mask of the files
//     written; the record updated last, keeping what could not be undone;
//   - with "--from-config" before the name, for a package installed before records were kept:
//     the lines its section in ExEffConfig.ini declares are taken out (removal.h).
// Returns 0; 1 with one line when there is no record of the package (or, with --from-config,
// no section); 2 when a file could not be read or written (each problem one line on err).
// Lines changed by hand since are named on err and left alone.
int RemoveEffects(int argc, char** argv, const InstallEnvironment& environment);

}  // namespace fx
