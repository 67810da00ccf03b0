// The library heap against a plain model: handles, contents, statistics, compaction and locks.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "gui/GUI.h"

namespace {

TEST(GuiAlloc, CompactionExample) {
    GUI_ALLOC_Init();
    // step: what is done; then where the 200-byte block lands and whether the third moved.
    const GUI_HMEM a = GUI_ALLOC_AllocNoInit(100), b = GUI_ALLOC_AllocNoInit(100), c = GUI_ALLOC_AllocNoInit(100);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(static_cast<U8*>(GUI_ALLOC_h2p(a)) + 100, GUI_ALLOC_h2p(b));
    std::memset(GUI_ALLOC_h2p(c), 0x5A, 100);
    GUI_ALLOC_Free(b);
    const GUI_HMEM d = GUI_ALLOC_AllocNoInit(200);  // the end still has room: after the third
    EXPECT_EQ(static_cast<U8*>(GUI_ALLOC_h2p(c)) + 100, GUI_ALLOC_h2p(d));
    GUI_ALLOC_Free(d);
    const int rest = GUI_ALLOC_GetMaxSize();  // fill the end
    const GUI_HMEM filler = GUI_ALLOC_AllocNoInit(rest);
    ASSERT_NE(filler, 0);
    EXPECT_EQ(GUI_ALLOC_GetMaxSize(), 100);
    GUI_ALLOC_Free(filler);
    const GUI_HMEM f2 = GUI_ALLOC_AllocNoInit(rest - 100);  // 100 free at the end, 100 in the middle
    ASSERT_NE(f2, 0);
    void* c_before = GUI_ALLOC_h2p(c);
    GUI_ALLOC_Lock();
    EXPECT_EQ(GUI_ALLOC_AllocNoInit(200), 0);  // would need compaction
    GUI_ALLOC_Unlock();
    GUI_ALLOC_Unlock();  // never below zero: the next lock still holds
    const GUI_HMEM e = GUI_ALLOC_AllocNoInit(200);
    ASSERT_NE(e, 0);
    EXPECT_NE(GUI_ALLOC_h2p(c), c_before);
    EXPECT_EQ(static_cast<U8*>(GUI_ALLOC_h2p(a)) + 100, GUI_ALLOC_h2p(c));  // moved onto the second's place
    EXPECT_EQ(static_cast<U8*>(GUI_ALLOC_h2p(c))[99], 0x5A);
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), 4);  // the anchor's bytes count as free
    GUI_ALLOC_Lock();
    GUI_ALLOC_Free(e);
    EXPECT_EQ(GUI_ALLOC_AllocNoInit(4), e);  // a hole, no compaction needed
    GUI_ALLOC_Unlock();
}

TEST(GuiAlloc, RefusesWhatCannotBeMet) {
    GUI_ALLOC_Init();
    const int free_bytes = GUI_ALLOC_GetNumFreeBytes();
    EXPECT_EQ(free_bytes, GUI_ALLOC_SIZE);  // the anchor's bytes count as free
    for (int size : {0, -4, GUI_ALLOC_SIZE, free_bytes + 1, 1 << 20}) EXPECT_EQ(GUI_ALLOC_AllocNoInit(size), 0) << size;
    const GUI_HMEM all = GUI_ALLOC_AllocNoInit(GUI_ALLOC_SIZE - 4);
    EXPECT_NE(all, 0);
    GUI_ALLOC_Free(all);
    for (GUI_HMEM h : {GUI_HMEM(0), GUI_HMEM(-3), GUI_HMEM(802), GUI_HMEM(500), all}) {
        GUI_ALLOC_Free(h);  // harmless
        EXPECT_EQ(GUI_ALLOC_h2p(h), nullptr);
        EXPECT_EQ(GUI_ALLOC_GetSize(h), 0);
    }
    EXPECT_EQ(GUI_ALLOC_GetNumFreeBytes(), free_bytes);
    std::vector<GUI_HMEM> hs;
    for (int i = 0; i < 801; ++i) hs.push_back(GUI_ALLOC_AllocNoInit(4));
    EXPECT_EQ(hs.back(), 801);
    EXPECT_EQ(GUI_ALLOC_AllocNoInit(4), 0);  // no handle left
    GUI_ALLOC_FreePtrArray(hs.data(), static_cast<int>(hs.size()));
    EXPECT_EQ(hs[7], 0);
    EXPECT_EQ(GUI_ALLOC_GetNumUsedBlocks(), 0);
    const GUI_HMEM r = GUI_ALLOC_Realloc(0, 10);
    EXPECT_EQ(GUI_ALLOC_GetSize(r), 12);
    EXPECT_EQ(GUI_ALLOC_Realloc(r, 0), 0);
    EXPECT_EQ(GUI_ALLOC_GetSize(r), 12);
}

// Random operations against a model of sizes and contents; every block keeps its bytes
// through compactions, and a request within the free bytes succeeds unless locked.
TEST(GuiAlloc, StressAgainstAModel) {
    GUI_ALLOC_Init();
    std::mt19937 rng(12345);
    std::map<GUI_HMEM, std::vector<U8>> model;
    int locks = 0, model_free = GUI_ALLOC_SIZE;  // the anchor's 4 bytes are counted but never usable
    auto fill = [&](GUI_HMEM h, int n) {
        std::vector<U8> v(static_cast<size_t>(n));
        for (auto& b : v) b = static_cast<U8>(rng());
        std::memcpy(GUI_ALLOC_h2p(h), v.data(), v.size());
        return v;
    };
    for (int step = 0; step < 20000; ++step) {
        const int op = static_cast<int>(rng() % 10);
        const int size = 1 + static_cast<int>(rng() % (rng() % 8 ? 300 : 6000));
        const int rounded = (size + 3) & ~3;
        if (op < 4) {
            const bool must =
                rounded + 4 <= model_free && model.size() < 801 && (!locks || rounded <= GUI_ALLOC_GetMaxSize());
            const GUI_HMEM h = GUI_ALLOC_AllocNoInit(size);
            EXPECT_EQ(h != 0, must) << step;
            if (h) {
                model[h] = fill(h, size);
                model_free -= rounded;
            }
        } else if (op < 6 && !model.empty()) {
            auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
            model_free += (static_cast<int>(it->second.size()) + 3) & ~3;
            GUI_ALLOC_Free(it->first);
            model.erase(it);
        } else if (op < 8 && !model.empty()) {
            auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
            const GUI_HMEM h = GUI_ALLOC_Realloc(it->first, size);
            if (h) {
                std::vector<U8> v = it->second;
                v.resize(std::min(v.size(), static_cast<size_t>(size)));
                EXPECT_EQ(std::memcmp(GUI_ALLOC_h2p(h), v.data(), v.size()), 0) << step;
                model_free += ((static_cast<int>(it->second.size()) + 3) & ~3) - rounded;
                model.erase(it);
                model[h] = fill(h, size);
            }
        } else if (op == 8) {
            GUI_ALLOC_Lock();
            ++locks;
        } else if (locks) {
            GUI_ALLOC_Unlock();
            --locks;
        }
        ASSERT_EQ(GUI_ALLOC_GetNumFreeBytes(), model_free);
        if (step % 97 == 0) {
            for (auto& [h, v] : model) ASSERT_EQ(std::memcmp(GUI_ALLOC_h2p(h), v.data(), v.size()), 0) << step;
        }
    }
    while (locks--) GUI_ALLOC_Unlock();
}

}  // namespace
