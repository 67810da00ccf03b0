// The sender's cutting of an H.264 file into pictures, on streams laid out
// by hand, and a mutation loop over a stream the encoder made.
#include <gtest/gtest.h>

#include "tests/fuzz_checks.h"
#include "tests/mutate.h"

namespace {

using Bytes = std::vector<HI_U8>;

Bytes nal(std::initializer_list<HI_U8> body, bool four = true) {
    // The start code, then the body, a byte at a time: GCC 12's -O3 misreads
    // an insert into a short vector as a copy out of bounds.
    Bytes b(four ? 4 : 3, 0);
    b.back() = 1;
    b.reserve(b.size() + body.size());
    for (HI_U8 x : body) b.push_back(x);
    return b;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

HI_S32 cut(const Bytes& b, bool at_end, bool& found) {
    return cut_picture(b.data(), static_cast<HI_S32>(b.size()), at_end, found);
}

TEST(Cut, APictureRunsFromTheBufferStartToTheNextPicturesFirstSlice) {
    const Bytes sps = nal({0x67, 0x42, 0x00, 0x1F}), pps = nal({0x68, 0xCE, 0x38, 0x80});
    // Slices: type 5 (IDR) or 1, first_mb_in_slice 0 sets the top bit of the next byte.
    const Bytes idr = nal({0x65, 0x88, 0x84, 0x00, 0x10}), idr2 = nal({0x65, 0x00, 0x9A, 0x11, 0x22}, false);
    const Bytes p = nal({0x41, 0x9A, 0x02, 0x03, 0x04}), p2 = nal({0x41, 0x9B, 0x05, 0x06, 0x07});
    bool found = false;
    // The parameter sets go with the picture they come before; a second
    // slice of a picture (top bit clear) does not start a new one.
    const Bytes one = join({sps, pps, idr, idr2, p, p2});
    const std::size_t next = sps.size() + pps.size() + idr.size() + idr2.size() + 1;  // its 00 00 01
    EXPECT_EQ(cut(one, false, found), static_cast<HI_S32>(next));
    EXPECT_TRUE(found);
    // The last picture of what was read goes whole.
    const Bytes last = join({p, p2});
    EXPECT_EQ(cut(last, false, found), static_cast<HI_S32>(p.size() + 1));
    EXPECT_EQ(cut(p2, false, found), static_cast<HI_S32>(p2.size()));
}

TEST(Cut, BytesWithoutAPictureGoAsScannedAndTheFilesTailWhole) {
    const Bytes junk{1, 2, 3, 4, 5, 6, 7, 8, 9};
    bool found = true;
    EXPECT_EQ(cut(junk, false, found), 4);  // all but the five bytes a start could still begin in
    EXPECT_FALSE(found);
    EXPECT_EQ(cut(junk, true, found), 9);
    const Bytes tail{0, 0, 1};
    EXPECT_EQ(cut(tail, false, found), 0);
    EXPECT_EQ(cut(tail, true, found), 3);  // never sent for ever
}

TEST(Cut, MutatedStreamsAlwaysWalkToTheEnd) {
    const Bytes seed = join({nal({0x67, 0x42}), nal({0x68, 0xCE}), nal({0x65, 0x88, 1, 2, 3}), nal({0x41, 0x9A, 4}),
                             nal({0x41, 0x9A, 5, 6}), nal({0x01, 0x80, 7})});
    Bytes with_room{40};
    with_room.insert(with_room.end(), seed.begin(), seed.end());
    mutate_and_run(fuzz_checks::fuzz_cut, {with_room}, 20000, 3);
}

}  // namespace
