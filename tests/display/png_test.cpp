// Screenshots: PNG round trip, and broken files refused.
#include <fstream>
#include <iterator>

#include "fixture.h"

namespace display_test {
namespace {

TEST(Png, RoundTripAndTruncatedFile) {
    const fs::path dir = temp_dir("display-png");
    fs::create_directories(dir);
    host::Picture p;
    p.width = 40;
    p.height = 30;
    for (std::uint32_t i = 0; i < 40 * 30; ++i) p.argb.push_back(i * 2654435761u);  // every alpha, colour
    ASSERT_TRUE(host::write_png(dir / "a.png", p));
    host::Picture back;
    ASSERT_TRUE(host::read_png(dir / "a.png", back));
    EXPECT_EQ(back.width * 1000 + back.height, 40030);
    EXPECT_EQ(back.argb, p.argb);

    std::ifstream in(dir / "a.png", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir / "cut.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(dir / "junk.png", std::ios::binary) << "not a picture";
    EXPECT_FALSE(host::read_png(dir / "cut.png", back));
    EXPECT_FALSE(host::read_png(dir / "junk.png", back));
    EXPECT_FALSE(host::read_png(dir / "missing.png", back));
    EXPECT_EQ(back.argb, p.argb) << "a failed read leaves the picture alone";
    p.argb.pop_back();
    EXPECT_FALSE(host::write_png(dir / "short.png", p));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace display_test
