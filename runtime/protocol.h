// What the window and gadget layers say to each other through the platform: the runtime's private
// window messages, the window properties that mark its windows and controls, and the results by
// which its message handlers hand a message on.
#pragma once

#include <windows.h>

#include <cstdint>

// A handler's result meaning "not handled here: let the default processing run".
constexpr LRESULT UNHANDLED = static_cast<int32_t>(0xD0D0D0D1);
// A window callback's result meaning "carry on with the runtime's own handling".
constexpr LRESULT PASS_ON = static_cast<int32_t>(0xE0E0E0E1);

// Private window messages (all above WM_USER).
constexpr UINT MessageTrayNotify = 12501;    // wParam icon identifier, lParam mouse message
constexpr UINT MessageTrayEvent = 12502;     // the same, reposted; becomes a tray event
constexpr UINT MessageGadgetEvent = 13103;   // wParam gadget number, lParam event type
constexpr UINT MessageWindowDrop = 13105;    // lParam drop data (MainHeap, owned by the runtime)
constexpr UINT MessageGadgetDrop = 13106;    // wParam gadget number, lParam drop data
constexpr UINT MessageGadgetNotify = 13120;  // lParam the control; handed to its gadget kind

// Event types a string gadget reports with MessageGadgetEvent.
constexpr int32_t EventTypeFocus = 14000;      // the field gained the keyboard focus
constexpr int32_t EventTypeLostFocus = 14001;  // the field lost it

// Window properties.
constexpr char PropertyWindowId[] = "KX_WindowID";      // on a runtime window: its number + 1
constexpr char PropertyGadgetId[] = "KX_ID";            // on a gadget control: its number
constexpr char PropertyDropAccept[] = "KX_DropAccept";  // set while a drop target is registered
constexpr char PropertyMdiGadget[] = "KX_MDI_Gadget";   // on an MDI frame: its MDI client
