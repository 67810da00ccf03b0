// System and pool set-up order, media memory and the bind table.
#include "host/internal.h"
#include "tests/media/media_board.h"

namespace {

using SystemSetup = MediaBoard;

TEST_F(SystemSetup, InitNeedsPoolsAndAValidAlignment) {
    MPP_SYS_CONF_S conf{48};
    EXPECT_EQ(HI_MPI_SYS_SetConf(&conf), code(0xA0028003));
    conf.u32AlignWidth = 16;
    EXPECT_EQ(HI_MPI_SYS_SetConf(&conf), 0);
    EXPECT_NE(HI_MPI_SYS_Init(), 0);  // no pools yet
    EXPECT_NE(HI_MPI_VB_Init(), 0);   // no pool table yet
}

TEST_F(SystemSetup, PoolsLiveInMediaMemoryUntilExit) {
    const std::size_t before = host::mmz_bytes_in_use();
    bring_up();
    EXPECT_GE(host::mmz_bytes_in_use() - before, std::size_t{24} * 1966080 + 24 * 784);
    EXPECT_NE(HI_MPI_VB_Exit(), 0);  // the system still uses them
    EXPECT_EQ(HI_MPI_SYS_Exit(), 0);
    EXPECT_EQ(HI_MPI_VB_Exit(), 0);
    EXPECT_EQ(host::mmz_bytes_in_use(), before);
    // Exit twice, as the system's start-up does, is harmless.
    EXPECT_EQ(HI_MPI_SYS_Exit(), 0);
    EXPECT_EQ(HI_MPI_VB_Exit(), 0);
}

TEST_F(SystemSetup, MediaMemoryAllocFlushAndFree) {
    HI_U32 phys = 0;
    void* virt = nullptr;
    EXPECT_EQ(HI_MPI_SYS_MmzAlloc(&phys, &virt, nullptr, nullptr, 0), code(0xA002800C));
    EXPECT_EQ(HI_MPI_SYS_MmzAlloc(nullptr, &virt, nullptr, nullptr, 16), code(0xA0028006));
    ASSERT_EQ(HI_MPI_SYS_MmzAlloc_Cached(&phys, &virt, "canvas", nullptr, 1536000), 0);
    EXPECT_EQ(host::mmz_resolve(phys, 1536000), virt);

    EXPECT_EQ(HI_MPI_SYS_MmzFlushCache(phys, virt, 1536000), 0);
    EXPECT_EQ(HI_MPI_SYS_MmzFlushCache(phys + 1000, static_cast<char*>(virt) + 1000, 100), 0);
    EXPECT_EQ(HI_MPI_SYS_MmzFlushCache(phys, virt, 1536001), code(0xA0028003));
    EXPECT_EQ(HI_MPI_SYS_MmzFlushCache(phys - 4096, nullptr, 16), code(0xA0028003));
    EXPECT_EQ(HI_MPI_SYS_MmzFlushCache(phys + 16, virt, 16), code(0xA0028003));  // pointer elsewhere

    EXPECT_EQ(HI_MPI_SYS_MmzFree(phys + 16, nullptr), code(0xA0028003));
    EXPECT_EQ(HI_MPI_SYS_MmzFree(phys, virt), 0);
    EXPECT_EQ(host::mmz_resolve(phys, 1), nullptr);
    EXPECT_NE(HI_MPI_SYS_MmzFree(phys, virt), 0);
}

TEST_F(SystemSetup, BindTableKeepsOneSourcePerDestination) {
    bring_up();
    const MPP_CHN_S vi0{HI_ID_VIU, 0, 0}, vi4{HI_ID_VIU, 0, 4};
    const MPP_CHN_S grp2{HI_ID_VPSS, 2, 0}, venc2{HI_ID_GROUP, 2, 0}, vpss2{HI_ID_VPSS, 2, 0};
    EXPECT_EQ(HI_MPI_SYS_Bind(&vi4, &grp2), 0);
    EXPECT_EQ(HI_MPI_SYS_Bind(&vi0, &grp2), code(0xA0028004));
    EXPECT_EQ(HI_MPI_SYS_Bind(&vpss2, &venc2), 0);
    // The write-back of output 0 feeds output 2.
    const MPP_CHN_S wbc{HI_ID_VOU, 0, 0}, cvbs{HI_ID_VOU, 2, 0};
    EXPECT_EQ(HI_MPI_SYS_Bind(&wbc, &cvbs), 0);

    const MPP_CHN_S bad_dest{HI_ID_VIU, 0, 1}, bad_group{HI_ID_GROUP, 64, 0}, bad_src{HI_ID_VENC, 0, 0};
    EXPECT_EQ(HI_MPI_SYS_Bind(&vi0, &bad_dest), code(0xA0028003));
    EXPECT_EQ(HI_MPI_SYS_Bind(&vpss2, &bad_group), code(0xA0028003));
    EXPECT_EQ(HI_MPI_SYS_Bind(&bad_src, &grp2), code(0xA0028003));
    EXPECT_EQ(HI_MPI_SYS_Bind(nullptr, &grp2), code(0xA0028006));

    EXPECT_NE(HI_MPI_SYS_UnBind(&vi0, &grp2), 0);  // bound, but to another source
    EXPECT_EQ(HI_MPI_SYS_UnBind(&vi4, &grp2), 0);
    EXPECT_NE(HI_MPI_SYS_UnBind(&vi4, &grp2), 0);
    EXPECT_EQ(HI_MPI_SYS_Bind(&vi0, &grp2), 0);
}

}  // namespace
