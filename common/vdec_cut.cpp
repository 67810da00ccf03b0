// Cutting an H.264 file into pictures for the decoder.
#include "common/sample_comm_vdec.h"

namespace {

bool slice_start(const HI_U8* b, HI_S32 i) {
    return b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && ((b[i + 3] & 0x1F) == 1 || (b[i + 3] & 0x1F) == 5) &&
           (b[i + 4] & 0x80) != 0;
}

HI_S32 find_slice(const HI_U8* b, HI_S32 from, HI_S32 n) {
    for (HI_S32 i = from; i < n - 5; ++i)
        if (slice_start(b, i)) return i;
    return -1;
}

}  // namespace

HI_S32 cut_picture(const HI_U8* buf, HI_S32 n, bool at_end, bool& found) {
    const HI_S32 first = find_slice(buf, 0, n);
    found = first >= 0;
    if (first < 0) {
        // Without a start code the chunk is sent as scanned; the last bytes of
        // the file go whole, so a short tail is not retried for ever.
        return at_end ? n : (n > 5 ? n - 5 : 0);
    }
    const HI_S32 next = find_slice(buf, first + 4, n);
    return next < 0 ? n : next;
}
