// Telling a running host editor which list files the run wrote.
#pragma once

#include "effects/effect_category.h"

namespace fx {

// The title of the host editor's main window.
inline constexpr char HostWindowTitle[] = "Vaskel";

// Sends mask to the host editor's main window as the dwData of a WM_COPYDATA message without
// payload. Nothing happens when the host editor is not running.
void NotifyHost(ChangeMask mask);

}  // namespace fx
