// The library's own heap: blocks addressed by handles, so that the heap can be
// compacted by moving blocks. Record 0 is a permanent 4-byte anchor at offset 0.
#include <cstring>

#include "gui/GUI.h"

GUI_ALLOC_STATS GUI_ALLOC;

namespace {
struct tBlock {
    I16 Off;
    I16 Size;  // a multiple of 4; 0 marks a free handle
    U16 Next;  // next block in address order, 0 ends the chain
    U16 Prev;
};

alignas(8) U8 GUI_Heap[GUI_ALLOC_SIZE];
tBlock aBlock[GUI_MAXBLOCKS];
char IsInitialized;
int _FirstFreeHandle = 1;
int _LockCnt;

constexpr int kAnchor = 4;

void ensure_init() {
    if (!IsInitialized) GUI_ALLOC_Init();
}

bool valid(GUI_HMEM h) { return h > 0 && h < GUI_MAXBLOCKS && aBlock[h].Size > 0; }

int end_of(int h) { return aBlock[h].Off + aBlock[h].Size; }
int gap_after(int h) { return (aBlock[h].Next ? aBlock[aBlock[h].Next].Off : GUI_ALLOC_SIZE) - end_of(h); }

// The first block after which a gap of `size` bytes lies, or -1.
int find_hole(int size) {
    for (int h = 0;; h = aBlock[h].Next) {
        if (gap_after(h) >= size) return h;
        if (!aBlock[h].Next) return -1;
    }
}

// Moves every block down onto the end of the one before it: all free space ends up after the last block.
int compact() {
    int h = 0;
    while (aBlock[h].Next) {
        const int n = aBlock[h].Next;
        const int to = end_of(h);
        if (aBlock[n].Off != to) {
            std::memmove(GUI_Heap + to, GUI_Heap + aBlock[n].Off, static_cast<size_t>(aBlock[n].Size));
            aBlock[n].Off = static_cast<I16>(to);
        }
        h = n;
    }
    return h;
}

GUI_HMEM alloc(int size) {
    if (size <= 0 || size > GUI_ALLOC_SIZE) return 0;
    ensure_init();
    size = (size + 3) & ~3;
    const int avail = _LockCnt ? GUI_ALLOC_GetMaxSize() : GUI_ALLOC.NumFreeBytes;
    if (size > avail) return 0;
    int h = _FirstFreeHandle;
    while (h < GUI_MAXBLOCKS && aBlock[h].Size) ++h;
    if (h >= GUI_MAXBLOCKS) return 0;
    _FirstFreeHandle = h;
    int b = find_hole(size);
    if (b < 0) {
        if (_LockCnt) return 0;  // pointers held under the lock must not move
        b = compact();
        if (gap_after(b) < size) return 0;
    }
    tBlock& n = aBlock[h];
    n.Off = static_cast<I16>(end_of(b));
    n.Size = static_cast<I16>(size);
    n.Prev = static_cast<U16>(b);
    n.Next = aBlock[b].Next;
    if (n.Next) aBlock[n.Next].Prev = static_cast<U16>(h);
    aBlock[b].Next = static_cast<U16>(h);
    GUI_ALLOC.NumUsedBlocks++;
    if (--GUI_ALLOC.NumFreeBlocks < GUI_ALLOC.NumFreeBlocksMin) GUI_ALLOC.NumFreeBlocksMin = GUI_ALLOC.NumFreeBlocks;
    GUI_ALLOC.NumUsedBytes = static_cast<I16>(GUI_ALLOC.NumUsedBytes + size);
    GUI_ALLOC.NumFreeBytes = static_cast<I16>(GUI_ALLOC.NumFreeBytes - size);
    if (GUI_ALLOC.NumFreeBytes < GUI_ALLOC.NumFreeBytesMin) GUI_ALLOC.NumFreeBytesMin = GUI_ALLOC.NumFreeBytes;
    return static_cast<GUI_HMEM>(h);
}
}  // namespace

void GUI_ALLOC_Init() {
    std::memset(aBlock, 0, sizeof aBlock);
    aBlock[0] = {0, kAnchor, 0, 0};
    _FirstFreeHandle = 1;
    GUI_ALLOC.NumUsedBlocks = 0;
    GUI_ALLOC.NumFreeBlocks = GUI_ALLOC.NumFreeBlocksMin = GUI_MAXBLOCKS - 1;
    GUI_ALLOC.NumUsedBytes = 0;
    // The whole heap counts as free, the anchor's 4 bytes too: a request of all of it passes the
    // count and then finds no room.
    GUI_ALLOC.NumFreeBytes = GUI_ALLOC.NumFreeBytesMin = GUI_ALLOC_SIZE;
    IsInitialized = 1;
}

GUI_HMEM GUI_ALLOC_AllocNoInit(int Size) { return alloc(Size); }

GUI_HMEM GUI_ALLOC_AllocZero(int Size) {
    const GUI_HMEM h = alloc(Size);
    if (h) std::memset(GUI_ALLOC_h2p(h), 0, static_cast<size_t>(aBlock[h].Size));
    return h;
}

GUI_HMEM GUI_ALLOC_AllocInit(const void* pInitData, int Size) {
    if (!pInitData) return GUI_ALLOC_AllocZero(Size);
    const GUI_HMEM h = alloc(Size);
    if (h) std::memcpy(GUI_ALLOC_h2p(h), pInitData, static_cast<size_t>(Size));
    return h;
}

GUI_HMEM GUI_ALLOC_Realloc(GUI_HMEM hOld, int NewSize) {
    const GUI_HMEM h = alloc(NewSize);
    if (!h || !valid(hOld)) return h;
    // The old block may have moved while the new one was made; copy what fits in both.
    const int n = aBlock[hOld].Size < NewSize ? aBlock[hOld].Size : NewSize;
    std::memcpy(GUI_ALLOC_h2p(h), GUI_ALLOC_h2p(hOld), static_cast<size_t>(n));
    GUI_ALLOC_Free(hOld);
    return h;
}

void* GUI_ALLOC_h2p(GUI_HMEM hMem) { return valid(hMem) ? GUI_Heap + aBlock[hMem].Off : nullptr; }

int GUI_ALLOC_GetSize(GUI_HMEM hMem) { return valid(hMem) ? aBlock[hMem].Size : 0; }

void GUI_ALLOC_Free(GUI_HMEM hMem) {
    if (!valid(hMem)) return;
    tBlock& b = aBlock[hMem];
    GUI_ALLOC.NumFreeBytes = static_cast<I16>(GUI_ALLOC.NumFreeBytes + b.Size);
    GUI_ALLOC.NumUsedBytes = static_cast<I16>(GUI_ALLOC.NumUsedBytes - b.Size);
    b.Size = 0;
    aBlock[b.Prev].Next = b.Next;
    if (b.Next) aBlock[b.Next].Prev = b.Prev;
    b.Next = b.Prev = 0;
    if (hMem < _FirstFreeHandle) _FirstFreeHandle = hMem;
    GUI_ALLOC.NumUsedBlocks--;
    GUI_ALLOC.NumFreeBlocks++;
}

void GUI_ALLOC_FreePtr(GUI_HMEM* ph) {
    if (!ph) return;
    GUI_ALLOC_Free(*ph);
    *ph = 0;
}

void GUI_ALLOC_FreePtrArray(GUI_HMEM* pArray, int NumElems) {
    for (int i = 0; pArray && i < NumElems; ++i) GUI_ALLOC_FreePtr(pArray + i);
}

void GUI_ALLOC_Lock() { ++_LockCnt; }
void GUI_ALLOC_Unlock() {
    if (_LockCnt > 0) --_LockCnt;
}

int GUI_ALLOC_GetNumFreeBytes() {
    ensure_init();
    return GUI_ALLOC.NumFreeBytes;
}
int GUI_ALLOC_GetNumFreeBlocks() {
    ensure_init();
    return GUI_ALLOC.NumFreeBlocks;
}
int GUI_ALLOC_GetNumUsedBytes() {
    ensure_init();
    return GUI_ALLOC.NumUsedBytes;
}
int GUI_ALLOC_GetNumUsedBlocks() {
    ensure_init();
    return GUI_ALLOC.NumUsedBlocks;
}

int GUI_ALLOC_GetMaxSize() {
    ensure_init();
    int best = 0;
    for (int h = 0;; h = aBlock[h].Next) {
        if (gap_after(h) > best) best = gap_after(h);
        if (!aBlock[h].Next) return best;
    }
}
