#include "gadget/brush_cache.h"

#include "gadget/string_gadget.h"
#include "runtime/memory.h"
#include "runtime/registry.h"
#include "runtime/strings.h"
#include "tests/gadget/gadget_fixture.h"

#include <set>
#include <tuple>

namespace {

using Entry = std::tuple<int32_t, HBRUSH, int32_t>;  // colour, brush, references

std::vector<Entry> Entries() {
  std::vector<Entry> entries;
  for (ListNode* node = BrushCacheList; node; node = node->next) {
    auto* entry = static_cast<BrushCacheEntry*>(ListNodePayload(node));
    entries.emplace_back(entry->colour, entry->brush, entry->refCount);
  }
  return entries;
}

TEST_F(GadgetTest, FieldsOfOneColourShareOneBrush) {
  StringGadgetCreate(1, 10, 10, 100, 24, "", 0);
  StringGadgetCreate(2, 10, 40, 100, 24, "", 0);
  GadgetSetColor(1, GadgetColorBack, 0x00FF00);
  GadgetSetColor(2, GadgetColorBack, 0x00FF00);
  HBRUSH green = GadgetFind(1)->brush;
  EXPECT_EQ(Entries(), std::vector<Entry>{Entry(0x00FF00, green, 2)});
  GadgetSetColor(1, GadgetColorBack, 0x0000FF);
  HBRUSH red = GadgetFind(1)->brush;
  EXPECT_EQ(Entries(), (std::vector<Entry>{Entry(0x0000FF, red, 1), Entry(0x00FF00, green, 1)}));
  GadgetSetColor(2, GadgetColorBack, -1);
  EXPECT_EQ(GetObjectType(green), 0u) << "the last holder gave it back";
  BrushCacheRelease(static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(Entries(), std::vector<Entry>{Entry(0x0000FF, red, 1)});
}

// Out of GDI handles, no brush can be made; the failed colour must not leave an entry that no
// holder could ever give back.
TEST(BrushCacheTest, FailedBrushLeavesNoEntry) {
  std::vector<HBRUSH> filler;
  while (HBRUSH brush = CreateSolidBrush(0)) filler.push_back(brush);
  HBRUSH failed = BrushCacheAcquire(0x123456);
  for (HBRUSH brush : filler) DeleteObject(brush);
  EXPECT_EQ(failed, nullptr);
  EXPECT_EQ(BrushCacheList, nullptr);
}

// Wine reports no GDI object counts (GetGuiResources answers 0), so the brushes are counted where
// they are made and given back: every brush handed out must be deleted at the end.
TEST_F(GadgetTest, TenThousandColouredFieldsLeaveNothingBehind) {
  const int32_t colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFFFFFF};
  std::set<HBRUSH> brushes;
  CyclesGiveBack({MainHeap, StringHeap, ListHeap}, 1000, 4500, [&](int i) {
    // Seven numbers taken again and again (the table frees each predecessor); every third field
    // is dynamic and freed by number.
    bool dynamic = i % 3 == 0;
    intptr_t created = StringGadgetCreate(dynamic ? -1 : i % 7, 10, 10, 100, 24, "", 0);
    intptr_t number = dynamic ? created : i % 7;
    GadgetSetColor(number, GadgetColorBack, colours[i % 5]);
    ASSERT_NE(GadgetFind(number), nullptr) << i;
    brushes.insert(GadgetFind(number)->brush);
    if (dynamic) GadgetFree(number);
  });
  for (intptr_t number = 0; number < 7; ++number) GadgetFree(number);
  EXPECT_EQ(BrushCacheList, nullptr);
  EXPECT_EQ(GadgetTable->dynamicList, nullptr);
  size_t bytes = static_cast<size_t>(GadgetTable->capacity) * GadgetTable->entrySize;
  EXPECT_EQ(std::vector<unsigned char>(GadgetTable->entries, GadgetTable->entries + bytes),
            std::vector<unsigned char>(bytes, 0));
  for (HBRUSH brush : brushes) EXPECT_EQ(GetObjectType(brush), 0u) << brush;
}

}  // namespace
