// Events: every runtime window's messages become numbered events that the program reads one at a
// time with EventWait.
//
// A message either leaves an event for the wait that dispatched it (gadget, menu, tray and drop
// events) or appends one to a first-in, first-out queue (move, size, repaint, close, activate,
// minimise, maximise, restore). The wait returns the oldest queued event first; only with an
// empty queue does it fetch and dispatch one platform message. The current event's window, object
// and type stay readable until the next wait. One thread only; nothing here is locked.
#pragma once

#include <windows.h>

#include <cstdint>

#include "window/window.h"

// Event codes returned by the wait. A dispatched message that left no code is returned as its own
// number, so WM_PAINT (15) also reads as EventCodeRepaint.
constexpr int32_t EventCodeNone = 0;            // a poll or timed wait found nothing
constexpr int32_t EventCodeMove = 3;            // queued by WM_MOVE
constexpr int32_t EventCodeSize = 5;            // queued by WM_SIZE, except for minimising
constexpr int32_t EventCodeRepaint = 15;        // queued by WM_ERASEBKGND
constexpr int32_t EventCodeClose = 16;          // queued by WM_CLOSE; the window stays open
constexpr int32_t EventCodeGadget = 13100;      // a control's WM_COMMAND, or MessageGadgetEvent
constexpr int32_t EventCodeMenu = 13101;        // a menu or accelerator command
constexpr int32_t EventCodeTray = 13102;        // MessageTrayEvent
constexpr int32_t EventCodeActivate = 13104;    // queued by WM_ACTIVATE that activates
constexpr int32_t EventCodeWindowDrop = 13105;  // MessageWindowDrop
constexpr int32_t EventCodeGadgetDrop = 13106;  // MessageGadgetDrop
constexpr int32_t EventCodeMinimise = 13107;    // queued by WM_SIZE with SIZE_MINIMIZED
constexpr int32_t EventCodeMaximise = 13108;    // queued by WM_SIZE with SIZE_MAXIMIZED
constexpr int32_t EventCodeRestore = 13109;     // queued by SIZE_RESTORED after either of those

// A control with this 32-bit identifier (GWL_ID) reports menu events, not gadget events.
constexpr intptr_t MenuSourceControlId = -10000;

// A queued event, on the MainHeap.
struct EventQueueNode {
  EventQueueNode* nextEvent;  // the event queued after this one, or null at the tail
  int32_t eventCode;          // one of the queued codes above
  intptr_t eventWindow;       // number (or dynamic handle) of its window; -1 for none
};

// Drop data: a MainHeap block that the runtime owns from the moment its drop message arrives
// until the next wait. Its layout is the sender's, but for extra.
struct DropData {
  uintptr_t senderWords[5];  // the sender's
  void* extra;               // a second MainHeap block freed with this one, or null
};

// The program's one event record, made zeroed by WindowLayerStart.
struct EventState {
  intptr_t eventObject;       // gadget number, menu command or tray icon of the current event
  intptr_t eventWindow;       // window number of the current event; -1 for a foreign window
  int32_t eventType;          // notification code, focus type or tray action; -1 for none
  int32_t pendingCode;        // code left for the wait by the message being dispatched; 0 = none
  WPARAM messageWParam;       // wParam of the last message returned as its own number
  LPARAM messageLParam;       // lParam of that message
  EventQueueNode* queueHead;  // oldest queued event, or null
  EventQueueNode* queueTail;  // newest queued event, or null
  WindowCallback globalCallback;  // callback of every window that has none of its own, or null
  DropData* dropData;             // drop data of the current event, or null
};

extern EventState* Events;

// Waits for the next event: timeout in milliseconds, -1 (or any negative value) without limit,
// 0 only looks. Returns an event code, a platform message number, or 0 when a poll or a timed
// wait found nothing (a timed wait may also return 0 early, after a sent message woke it).
int32_t EventWaitTimeout(int32_t timeout);
int32_t EventWait();

// The object of the current event (0 before the first gadget, menu or tray event), its window and
// its type.
intptr_t EventGadgetNumber();
intptr_t EventWindow();
int32_t EventType();

// Appends an event to the queue unless the newest queued one has the same code and window.
// Returns the tail node, or null when no node could be had (the event is dropped).
EventQueueNode* EventQueuePush(EventState* state, int32_t code, intptr_t window);

// Turns one message of a runtime window into events; the result is the message's result, or
// UNHANDLED for the default processing.
LRESULT WindowMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The class window procedure of every runtime window.
LRESULT CALLBACK TopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The EnumChildWindows visit that passes WM_SYSCOLORCHANGE on to one descendant.
BOOL CALLBACK SysColorBroadcastProc(HWND child, LPARAM unused);

// Frees the current event's drop data, if any.
void EventDropDataFree();
