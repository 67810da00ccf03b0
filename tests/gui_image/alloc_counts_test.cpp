// The heap's statistics in the documented numbers: the anchor block's bytes are part of the
// free count, so the counts are the plain heap size less what was handed out.
#include <gtest/gtest.h>

#include "gui/GUI.h"

namespace {

TEST(GuiAllocCounts, FirstAllocationAndTheWholeHeap) {
    GUI_ALLOC_Init();
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), 25600);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBlocks(), 801);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBytes(), 0);
    EXPECT_EQ(GUI_ALLOC_GetMaxSize(), 25596);

    // One byte: handle 1, a 4-byte block right after the anchor.
    const GUI_HMEM h = GUI_ALLOC_AllocNoInit(1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(GUI_ALLOC_GetSize(h), 4);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), 25596);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBytes(), 4);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBlocks(), 800);
    GUI_ALLOC_Free(h);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), 25600);

    // On an empty heap all 25600 bytes pass the count but cannot be placed; 25596 can.
    EXPECT_EQ(GUI_ALLOC_AllocNoInit(25600), 0);
    const GUI_HMEM all = GUI_ALLOC_AllocNoInit(25596);
    EXPECT_NE(all, 0);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), 4);
    EXPECT_EQ(GUI_ALLOC_GetMaxSize(), 0);
    EXPECT_EQ(GUI_ALLOC_AllocNoInit(1), 0);  // 4 counted, no room
    GUI_ALLOC_Free(all);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), 25600);
}

}  // namespace
