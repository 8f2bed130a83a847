// The module instance handle: the one piece of process state every window-making layer needs.
#pragma once

#include <windows.h>

// Recorded by RuntimeStart (GetModuleHandleA of the program); null before. Window classes,
// controls, the icon and the gadget-list property names are made with it.
inline HINSTANCE ModuleInstance;
