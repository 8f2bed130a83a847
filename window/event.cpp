#include "window/event.h"

#include "gadget/gadget.h"
#include "runtime/memory.h"
#include "runtime/protocol.h"
#include "window/focus.h"
#include "window/sizing.h"

EventState* Events;

namespace {

// Every input kind: key, mouse, paint, timer, hot key and posted messages.
constexpr DWORD kWakeMask = 0x1FF;

// The runtime window a window belongs to, found by the gadget layer's walk up the parents: the
// number whose KX_WindowID the window or its nearest ancestor carries, or -1 (a missing property
// reads as 0). *own tells whether the window carries it itself.
intptr_t WindowNumberOf(HWND window, bool* own) {
  HWND top = GadgetTopWindow(window);
  auto id = reinterpret_cast<intptr_t>(GetPropA(top, PropertyWindowId));
  *own = id && top == window;
  return id - 1;
}

void Queue(int32_t code, intptr_t number) {
  EventQueuePush(Events, code, number);
}

// Drop data arrives in a message that anyone can post; only a block of the MainHeap is taken, so
// that a made-up address is never freed.
DropData* DropDataAccept(LPARAM lParam) {
  auto* data = reinterpret_cast<DropData*>(lParam);
  if (!data || !HeapValidate(MainHeap, 0, data)) return nullptr;
  if (HeapSize(MainHeap, 0, data) < sizeof(DropData)) return nullptr;
  if (data->extra && !HeapValidate(MainHeap, 0, data->extra)) data->extra = nullptr;
  return data;
}

// A second drop before the next wait would otherwise lose the first one's blocks.
void DropDataTake(LPARAM lParam) {
  EventDropDataFree();
  Events->dropData = DropDataAccept(lParam);
}

LRESULT OnSize(bool own, intptr_t number, WPARAM kind) {
  if (!own) return 1;
  WindowRecord* record = WindowFind(number);
  if (!record) return UNHANDLED;
  switch (kind) {
    case SIZE_RESTORED:
      if (record->sizeState == 1) {
        record->sizeState = 0;
        Queue(EventCodeRestore, number);
      }
      Queue(EventCodeSize, number);
      break;
    case SIZE_MINIMIZED:
      record->sizeState = 1;
      Queue(EventCodeMinimise, number);
      break;
    case SIZE_MAXIMIZED:
      record->sizeState = 1;
      Queue(EventCodeMaximise, number);
      Queue(EventCodeSize, number);
      break;
    default: Queue(EventCodeSize, number); break;
  }
  return 0;
}

LRESULT OnEraseBackground(HWND window, intptr_t number, HDC context) {
  LRESULT result = UNHANDLED;
  WindowRecord* record = WindowFind(number);
  if (record && record->backgroundBrush) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(context, &client, record->backgroundBrush);
    result = 1;
  } else if (record && record->handle == window && record->eraseRoutine) {
    result = record->eraseRoutine(context, window);
  }
  Queue(EventCodeRepaint, number);
  return result;
}

LRESULT OnSysColorChange(HWND window, intptr_t number) {
  WindowRecord* record = WindowFind(number);
  if (record && !record->mdiClient) EnumChildWindows(window, SysColorBroadcastProc, 0);
  return UNHANDLED;
}

LRESULT OnGetMinMaxInfo(intptr_t number, MINMAXINFO* info) {
  WindowRecord* record = WindowFind(number);
  if (!record || !info) return UNHANDLED;
  if (record->minWidth) info->ptMinTrackSize.x = record->minWidth;
  if (record->minHeight) info->ptMinTrackSize.y = record->minHeight;
  if (record->maxWidth) info->ptMaxTrackSize.x = record->maxWidth;
  if (record->maxHeight) info->ptMaxTrackSize.y = record->maxHeight;
  return 0;
}

void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  auto control = reinterpret_cast<HWND>(lParam);
  if (GadgetMessageForward(control, window, WM_COMMAND, wParam, lParam) != UNHANDLED) return;
  WORD command = LOWORD(wParam);
  WORD notification = HIWORD(wParam);
  if (control) {
    Events->pendingCode = EventCodeGadget;
    Events->eventType = notification;
    Events->eventObject = GetWindowLongPtrA(control, GWLP_ID);
    // The menu source is known by the platform's 32-bit identifier: on x86_64 one stored
    // zero-extended (0xFFFFD8F0) reads -10000 only there. The event keeps the full width, which
    // a dynamic gadget number needs.
    if (GetWindowLongA(control, GWL_ID) == MenuSourceControlId) {
      Events->eventObject = command;
      Events->pendingCode = EventCodeMenu;
    }
  } else if (notification != 0 && command == CommandFocusNext) {
    FocusNavigate(0);
  } else if (notification != 0 && command == CommandFocusPrevious) {
    FocusNavigate(1);
  } else {
    Events->eventObject = command;
    Events->pendingCode = EventCodeMenu;
  }
}

void OnTrayEvent(WPARAM icon, LPARAM mouseMessage) {
  Events->eventObject = static_cast<intptr_t>(icon);
  Events->pendingCode = EventCodeTray;
  switch (mouseMessage) {
    case WM_LBUTTONDOWN: Events->eventType = 0; break;
    case WM_RBUTTONDOWN: Events->eventType = 1; break;
    case WM_LBUTTONDBLCLK: Events->eventType = 2; break;
    case WM_RBUTTONDBLCLK: Events->eventType = 3; break;
    default: Events->pendingCode = 0; break;
  }
}

HWND NotifySource(LPARAM lParam) {
  auto* header = reinterpret_cast<const NMHDR*>(lParam);
  return header ? header->hwndFrom : nullptr;
}

}  // namespace

int32_t EventWaitTimeout(int32_t timeout) {
  EventDropDataFree();
  Events->eventType = -1;
  if (EventQueueNode* node = Events->queueHead) {
    Events->eventWindow = node->eventWindow;
    Events->pendingCode = 0;
    Events->queueHead = node->nextEvent;
    if (!Events->queueHead) Events->queueTail = nullptr;
    int32_t code = node->eventCode;
    HeapFree(MainHeap, 0, node);
    return code;
  }

  MSG message;
  if (timeout < 0) {
    // WM_QUIT is dispatched and returned like any other message; only a failing call is not.
    if (GetMessageA(&message, nullptr, 0, 0) == -1) return EventCodeNone;
  } else if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
    if (timeout == 0) return EventCodeNone;
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout, kWakeMask) == WAIT_TIMEOUT) {
      return EventCodeNone;
    }
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) return EventCodeNone;
  }

  // Accelerators translate keys only, so other messages skip the lookup of the active window.
  bool translated = false;
  if (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) {
    HWND active = GetActiveWindow();
    HACCEL table = WindowAcceleratorFor(active);
    translated = table && TranslateAcceleratorA(active, table, &message);
  }
  if (!translated) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (int32_t code = Events->pendingCode) {
    Events->pendingCode = 0;
    return code;
  }
  Events->messageWParam = message.wParam;
  Events->messageLParam = message.lParam;
  return static_cast<int32_t>(message.message);
}

int32_t EventWait() {
  return EventWaitTimeout(-1);
}

intptr_t EventGadgetNumber() {
  return Events->eventObject;
}

intptr_t EventWindow() {
  return Events->eventWindow;
}

int32_t EventType() {
  return Events->eventType;
}

EventQueueNode* EventQueuePush(EventState* state, int32_t code, intptr_t window) {
  EventQueueNode* tail = state->queueTail;
  if (tail && tail->eventCode == code && tail->eventWindow == window) return tail;
  auto* node = static_cast<EventQueueNode*>(HeapAlloc(MainHeap, 0, sizeof(EventQueueNode)));
  if (!node) return nullptr;
  node->nextEvent = nullptr;
  node->eventCode = code;
  node->eventWindow = window;
  if (tail) {
    tail->nextEvent = node;
  } else {
    state->queueHead = node;
  }
  state->queueTail = node;
  return node;
}

LRESULT WindowMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT sized = SizingMessageHandler(window, message, wParam, lParam);
  if (sized != UNHANDLED) return sized;

  bool own;
  intptr_t number = WindowNumberOf(window, &own);
  WindowRecord* record = number == -1 ? nullptr : WindowFind(number);
  WindowCallback callback = record && record->callback ? record->callback : Events->globalCallback;
  if (callback) {
    LRESULT answer = callback(window, message, wParam, lParam);
    if (answer != PASS_ON) return answer;
  }
  Events->eventWindow = number;

  switch (message) {
    case WM_MOVE:
      if (number != -1) Queue(EventCodeMove, number);
      return 0;
    case WM_SIZE: return OnSize(own, number, wParam);
    case WM_ACTIVATE:
      if (LOWORD(wParam)) Queue(EventCodeActivate, number);
      return 1;
    case WM_CLOSE:
      if (number != -1) Queue(EventCodeClose, number);
      return 0;
    case WM_ERASEBKGND: return OnEraseBackground(window, number, reinterpret_cast<HDC>(wParam));
    case WM_SYSCOLORCHANGE: return OnSysColorChange(window, number);
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(number, reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_NOTIFY:
      return GadgetMessageForward(NotifySource(lParam), window, message, wParam, lParam);
    case WM_COMMAND: OnCommand(window, wParam, lParam); return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case MessageGadgetNotify:
      return GadgetMessageForward(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
    case MessageTrayNotify: PostMessageA(window, MessageTrayEvent, wParam, lParam); return 0;
    case MessageTrayEvent: OnTrayEvent(wParam, lParam); return 0;
    case MessageGadgetEvent:
      Events->pendingCode = EventCodeGadget;
      Events->eventObject = static_cast<intptr_t>(wParam);
      Events->eventType = static_cast<int32_t>(lParam);
      return 0;
    case MessageWindowDrop:
      Events->pendingCode = EventCodeWindowDrop;
      DropDataTake(lParam);
      return 0;
    case MessageGadgetDrop:
      Events->pendingCode = EventCodeGadgetDrop;
      Events->eventObject = static_cast<intptr_t>(wParam);
      DropDataTake(lParam);
      return 0;
  }
  return UNHANDLED;
}

LRESULT CALLBACK TopWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = WindowMessageHandler(window, message, wParam, lParam);
  auto mdiClient =
      message == WM_SIZE ? nullptr : static_cast<HWND>(GetPropA(window, PropertyMdiGadget));
  if (mdiClient) {
    // Menu and accelerator commands were already recorded or carried out; the frame procedure
    // still needs them, and the focus and menu-key messages, for its MDI children. WM_SIZE never
    // goes to it, or it would stretch the client over the whole frame.
    bool frameNeedsIt = result == UNHANDLED || message == WM_SETFOCUS || message == WM_MENUCHAR ||
                        (message == WM_COMMAND && !lParam);
    return frameNeedsIt ? DefFrameProcA(window, mdiClient, message, wParam, lParam) : result;
  }
  SetLastError(0);
  return result == UNHANDLED ? DefWindowProcA(window, message, wParam, lParam) : result;
}

BOOL CALLBACK SysColorBroadcastProc(HWND child, LPARAM) {
  SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
  return TRUE;
}

void EventDropDataFree() {
  DropData* data = Events->dropData;
  if (!data) return;
  Events->dropData = nullptr;
  if (data->extra) HeapFree(MainHeap, 0, data->extra);
  HeapFree(MainHeap, 0, data);
}
