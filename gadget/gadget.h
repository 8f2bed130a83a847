// Gadgets: numbered child controls in the current gadget-list window, each kind with its own
// table of operation slots.
//
// A gadget is addressed by a number: one from 0 up chosen by the caller, or -1 at creation, for
// which the gadget gets a dynamic number (the address of its record). Every operation by number
// accepts both; a number without a live gadget (freed, never made, below -1, a stale dynamic
// number) makes it do nothing and answer its "none" value. Gadgets find their runtime window
// through window properties only, never through the window layer.
//
// Everything here runs on the thread that owns the windows; nothing is locked but the brush
// cache (gadget/brush_cache.h). Needs RuntimeStart, which runs GadgetLayerStart.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "gadget/gadget_list.h"
#include "runtime/registry.h"

struct GadgetType;

// One gadget's entry in GadgetTable. Numbered entries lie in an array that moves when the table
// grows, so a record's address is good only until the next gadget is created: operations look
// the record up by number when they start. A dynamic gadget's record never moves.
struct GadgetRecord {
  HWND control;            // the gadget's control; null while the entry is free
  const GadgetType* type;  // the kind's descriptor, static
  int32_t reserved2;       // zero
  WNDPROC oldProc;         // the control's procedure before GadgetWindowProc; gets every message
  int32_t backColor;       // string kind: background colour 0x00BBGGRR, -1 for none; else 0
  int32_t frontColor;      // string kind: text colour, -1 for none; else 0
  HBRUSH brush;            // string kind: one BrushCache reference of backColor, or null
  int32_t reserved7;       // zero
};

// A kind's descriptor: its code and its operation slots, constant for the life of the program. A
// null slot means the core's generic behaviour (see each operation); the reserved words keep every
// slot at its fixed word.
struct GadgetType {
  int32_t kind;  // kind code: 2 string, 5 option, 7 frame
  int32_t size;  // sizeof(GadgetType)
  // A notification the parent window received from the control: the answer, or UNHANDLED.
  LRESULT (*notify)(GadgetRecord* record, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void (*free)(GadgetRecord* record);  // the control is going: give back what the record holds
  int32_t (*getState)(GadgetRecord* record);
  void (*setState)(GadgetRecord* record, int32_t state);
  void* reserved6;
  void (*setText)(GadgetRecord* record, const char* text);  // null slot: the window text
  void* reserved8[4];
  void (*resize)(GadgetRecord* record, int32_t x, int32_t y, int32_t width, int32_t height);
  void* reserved13[6];
  // The kept values of GadgetResize; null slots read the control's rectangle.
  int32_t (*getX)(GadgetRecord* record);
  int32_t (*getY)(GadgetRecord* record);
  int32_t (*getWidth)(GadgetRecord* record);
  int32_t (*getHeight)(GadgetRecord* record);
  void* reserved23[7];
  void (*setColor)(GadgetRecord* record, int32_t attribute, int32_t colour);
  int32_t (*getColor)(GadgetRecord* record, int32_t attribute);
  void* reserved32[5];
};

#if !defined(_WIN64)
static_assert(sizeof(GadgetRecord) == 32, "eight words on the release target");
static_assert(sizeof(GadgetType) == 148, "37 words on the release target");
static_assert(offsetof(GadgetType, resize) == 12 * 4 && offsetof(GadgetType, getX) == 19 * 4 &&
                  offsetof(GadgetType, setColor) == 30 * 4,
              "every slot at its word");
#endif

// Colour attributes of GadgetSetColor and GadgetGetColor.
constexpr int32_t GadgetColorText = 1;
constexpr int32_t GadgetColorBack = 2;

// A coordinate or size that GadgetResize keeps as it is.
constexpr int32_t GadgetKeep = -65535;

// The gadget table: GadgetRecord entries, 50 to start with, GadgetFree as the slot callback so
// that a number taken again destroys its old gadget first. Made by GadgetLayerStart.
extern ObjectTable* GadgetTable;

// The gadget layer's start routine, run once by RuntimeStart after the ListHeap: the brush cache
// lock, the table, the list state (with the gadgets' font and the stack property's name) and the
// common-control classes.
void GadgetLayerStart();

// The live record of number (or dynamic number), or null. Valid until the next gadget is made.
GadgetRecord* GadgetFind(intptr_t number);

// Operations by number. A number without a live gadget does nothing (or answers -1).
//
// The window text, or the kind's setText slot; a null text is the empty text.
void GadgetSetText(intptr_t number, const char* text);
// Colour attribute 1 (text) or 2 (background) to 0x00BBGGRR, -1 for the default. Only kinds with
// a setColor slot (string gadgets) take colours; for the others this does nothing.
void GadgetSetColor(intptr_t number, int32_t attribute, int32_t colour);
// The colour set for an attribute; -1 when none is set, for other attributes and for kinds
// without colours.
int32_t GadgetGetColor(intptr_t number, int32_t attribute);
// The kind's state (an option: 1 checked, 0 not); -1 for kinds without a state.
int32_t GadgetGetState(intptr_t number);
// Sets the kind's state (an option: 0 unchecks it, any other value checks it and unchecks the
// rest of its group); nothing for kinds without a state.
void GadgetSetState(intptr_t number, int32_t state);
// Moves and sizes the control through its kind's resize slot, or GadgetResize when the kind has
// none. GadgetKeep keeps a value.
void GadgetResizeByNumber(intptr_t number, int32_t x, int32_t y, int32_t width, int32_t height);
// Destroys the gadget's control; its record is released as the control goes. Also the table's
// slot callback.
void GadgetFree(intptr_t number);

// Moves and sizes record's control, in its parent's client coordinates. GadgetKeep keeps a value
// (the kind's getX .. getHeight slot when set, else the control's current rectangle).
void GadgetResize(GadgetRecord* record, int32_t x, int32_t y, int32_t width, int32_t height);

// The runtime window that holds control: the first of control and its ancestors that carries
// KX_WindowID, else the topmost ancestor. Null for a null control. The one walk up to a runtime
// window: the window layer finds the window number of a message's window with it too.
HWND GadgetTopWindow(HWND control);

// Hands a message that window received from control to the control's gadget kind: the kind's
// answer, or UNHANDLED when control is null, is no live registered gadget (its KX_ID differs
// from its identifier, or the record of that number has another control) or its kind has no
// notify slot.
LRESULT GadgetMessageForward(HWND control, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A descriptor of kind with every slot null, for a kind to fill in its slots. Constant, so that a
// kind's descriptor is made when the program is loaded: no first-use guard, nothing to go wrong.
constexpr GadgetType GadgetTypeBlank(int32_t kind) {
  GadgetType type = {};
  type.kind = kind;
  type.size = sizeof(GadgetType);
  return type;
}

// For the kinds' creators, in this order:
//
// The control of a new gadget: a child of the current list window with identifier -1 and the
// given look, or null when it cannot be made (with no list window it never can).
HWND GadgetControlCreate(DWORD exStyle, const char* className, const char* text, DWORD style,
                         int32_t x, int32_t y, int32_t width, int32_t height);
// The free entry for number after whatever bore it has been destroyed (and a gadget that a
// callback made under number during that destruction), or a new dynamic entry for -1. Null, with
// control destroyed, for numbers below -1 or beyond 32 bits and when no entry can be had, so that
// a refused creation leaves no control behind.
GadgetRecord* GadgetSlotTake(intptr_t number, HWND control);
// Enters control into record and subclasses it with GadgetWindowProc, numbers it (identifier and
// KX_ID), gives it the list's font and ends the list's option run. Returns the dynamic number
// for -1, else the control's handle.
intptr_t GadgetRegister(intptr_t number, GadgetRecord* record, HWND control,
                        const GadgetType* type);

// The subclass procedure of every gadget control. Passes every message on; at WM_NCDESTROY it
// runs the kind's free slot, removes KX_ID and KX_DropAccept (revoking the drop target), sets the
// identifier to -1 and releases the entry. Messages of a control that is not (or no longer) a
// registered gadget go to DefWindowProcA.
LRESULT CALLBACK GadgetWindowProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
