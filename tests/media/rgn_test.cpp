// Overlay regions: creation, attaching to encoder groups, and the time-stamp
// bitmap that is taller than its region.
#include <cstring>
#include <vector>

#include "host/media_parts.h"
#include "tests/media/media_board.h"

namespace {

using Overlay = MediaBoard;

RGN_ATTR_S time_stamp() { return RGN_ATTR_S{OVERLAY_RGN, OVERLAY_ATTR_S{PIXEL_FORMAT_RGB_1555, 0, SIZE_S{288, 24}}}; }

RGN_CHN_ATTR_S on_picture() {
    return RGN_CHN_ATTR_S{HI_TRUE, OVERLAY_RGN, OVERLAY_CHN_ATTR_S{POINT_S{960, 32}, 128, 0, 1}};
}

TEST_F(Overlay, TimeStampOnFourEncoderGroups) {
    bring_up();
    const RGN_ATTR_S r = time_stamp();
    ASSERT_EQ(HI_MPI_RGN_Create(0, &r), 0);
    EXPECT_EQ(HI_MPI_RGN_Create(0, &r), code(0xA0128004));
    const RGN_CHN_ATTR_S a = on_picture();
    for (HI_S32 g = 0; g < 4; ++g) {
        const MPP_CHN_S group{HI_ID_GROUP, g, 0};
        ASSERT_EQ(HI_MPI_RGN_AttachToChn(0, &group, &a), 0);
    }
    const MPP_CHN_S again{HI_ID_GROUP, 2, 0};
    EXPECT_EQ(HI_MPI_RGN_AttachToChn(0, &again, &a), code(0xA0128004));
    RGN_CHN_ATTR_S got{};
    ASSERT_TRUE(host::media::rgn_attachment(0, 3, got));
    EXPECT_EQ(got.stOverlayChn.stPoint.s32X, 960);
    EXPECT_FALSE(host::media::rgn_attachment(0, 4, got));

    // The system's bitmap is 288 x 26; only the region's 24 rows are taken.
    std::vector<std::uint16_t> pixels(288 * 26);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint16_t>(0x8000 | i);
    BITMAP_S bitmap{PIXEL_FORMAT_RGB_1555, 288, 26, pixels.data()};
    ASSERT_EQ(HI_MPI_RGN_SetBitMap(0, &bitmap), 0);
    host::media::RegionPicture picture;
    ASSERT_TRUE(host::media::rgn_picture(0, picture));
    ASSERT_EQ(picture.pixels.size(), 288u * 24 * 2);
    EXPECT_EQ(std::memcmp(picture.pixels.data(), pixels.data(), picture.pixels.size()), 0);

    bitmap.u32Height = 23;
    EXPECT_EQ(HI_MPI_RGN_SetBitMap(0, &bitmap), code(0xA0128003));
    bitmap = BITMAP_S{PIXEL_FORMAT_RGB_8888, 288, 26, pixels.data()};
    EXPECT_EQ(HI_MPI_RGN_SetBitMap(0, &bitmap), code(0xA0128003));
    bitmap = BITMAP_S{PIXEL_FORMAT_RGB_1555, 290, 26, pixels.data()};
    EXPECT_EQ(HI_MPI_RGN_SetBitMap(0, &bitmap), code(0xA0128003));
    bitmap = BITMAP_S{PIXEL_FORMAT_RGB_1555, 288, 26, nullptr};
    EXPECT_EQ(HI_MPI_RGN_SetBitMap(0, &bitmap), code(0xA0128006));
    bitmap.pData = pixels.data();
    EXPECT_EQ(HI_MPI_RGN_SetBitMap(1, &bitmap), code(0xA0128005));
}

TEST_F(Overlay, RegionsAndAttachmentsAreChecked) {
    bring_up();
    RGN_ATTR_S r = time_stamp();
    EXPECT_EQ(HI_MPI_RGN_Create(1024, &r), code(0xA0128003));
    r.stOverlay.stSize = SIZE_S{287, 24};  // odd width
    EXPECT_EQ(HI_MPI_RGN_Create(1, &r), code(0xA0128003));
    r = time_stamp();
    r.stOverlay.enPixelFmt = PIXEL_FORMAT_YUV_SEMIPLANAR_420;
    EXPECT_EQ(HI_MPI_RGN_Create(1, &r), code(0xA0128003));

    r = time_stamp();
    ASSERT_EQ(HI_MPI_RGN_Create(1, &r), 0);
    const RGN_CHN_ATTR_S a = on_picture();
    const MPP_CHN_S capture{HI_ID_VIU, 0, 0}, far_group{HI_ID_GROUP, 64, 0}, group{HI_ID_GROUP, 0, 0};
    EXPECT_NE(HI_MPI_RGN_AttachToChn(1, &capture, &a), 0);
    EXPECT_NE(HI_MPI_RGN_AttachToChn(1, &far_group, &a), 0);
    EXPECT_EQ(HI_MPI_RGN_AttachToChn(2, &group, &a), code(0xA0128005));
    EXPECT_EQ(HI_MPI_RGN_AttachToChn(1, &group, nullptr), code(0xA0128006));
}

}  // namespace
