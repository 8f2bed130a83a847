// Frame gadgets: a captioned group box, or an empty bordered rectangle that lets the parent show
// through.
#pragma once

#include <cstdint>

#include "gadget/gadget.h"

constexpr int32_t FrameGadgetKind = 7;

// Looks of FrameGadgetCreate; any flags other than these give a flat one-pixel border.
constexpr uint32_t FrameGadgetGroupBox = 0;    // captioned group box (the only look with text)
constexpr uint32_t FrameGadgetSunken = 1;      // sunken client edge
constexpr uint32_t FrameGadgetStaticEdge = 2;  // static edge

// A frame in the current list window. Returns as OptionGadgetCreate does.
intptr_t FrameGadgetCreate(intptr_t number, int x, int y, int width, int height, const char* text,
                           uint32_t flags = FrameGadgetGroupBox);

// GadgetResize, then the parent repaints, with erasing, what shows through the frame's new place.
void FrameGadgetResize(GadgetRecord* record, int32_t x, int32_t y, int32_t width, int32_t height);

// The subclass procedure of the bordered looks: the interior is never painted (the border is
// non-client and still drawn); every other message goes to the Static class.
LRESULT CALLBACK FrameStaticProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
