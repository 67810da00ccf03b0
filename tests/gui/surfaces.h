// The application's three drawing surfaces, owned by a test, with a fresh
// graphics context drawing into the canvas.
#pragma once

#include <utility>
#include <vector>

#include "gui/GUI.h"
#include "vio/vio.h"

inline void select_surface(int v) { table_or_image = static_cast<std::uint8_t>(v); }

struct Surfaces {
    std::vector<Image_table> tab = std::vector<Image_table>(TABLE_W * TABLE_H);
    std::vector<std::uint32_t> canvas = std::vector<std::uint32_t>(TABLE_W * TABLE_H);
    std::vector<std::uint16_t> stamp = std::vector<std::uint16_t>(288 * 26);
    Surfaces() {
        table = tab.data();
        pBuf1 = canvas.data();
        stBittime.pData = stamp.data();
        GUI_Context = GUI_CONTEXT{};  // a fresh context, as at start-up
        GUI_Init();
        select_surface(1);
    }
    ~Surfaces() {
        select_surface(0);
        table = nullptr;
        pBuf1 = nullptr;
        stBittime.pData = nullptr;
    }
    std::uint32_t px(int x, int y) const { return canvas[y * TABLE_W + x]; }
    // Written columns of one canvas row: first and last, or -1, -1.
    std::pair<int, int> extent(int y) const {
        int a = -1, b = -1;
        for (int x = 0; x < TABLE_W; ++x)
            if (px(x, y)) {
                if (a < 0) a = x;
                b = x;
            }
        return {a, b};
    }
    int count(std::uint32_t v) const {
        int n = 0;
        for (auto w : canvas) n += w == v;
        return n;
    }
};
