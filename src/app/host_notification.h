// Telling a running host editor which list files the run wrote.
#pragma once

#include "effects/effect_category.h"
#include "platform/host_window.h"

namespace fx {

// The title of the host editor's main window.
inline constexpr char kHostWindowTitle[] = "Vaskel";

// Sends mask to the host editor's main window as the dwData of a WM_COPYDATA message without
// payload, waiting up to a minute for an editor that is busy, and says what became of it:
// kNoWindow when the host editor is not running.
platform::SendOutcome NotifyHost(ChangeMask mask);

}  // namespace fx
