// The shared picture cache the tests run with: a picture read back is the
// rendered one, a damaged file is rendered again, and another layout gets a
// file of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/scene.h"

namespace {

namespace fs = std::filesystem;
using namespace host::scene;

constexpr std::size_t kBytes = 2 * 1280 * 720;

std::vector<std::uint8_t> front(const Layout& layout) {
    configure(layout);  // drops the pictures this process has
    std::vector<std::uint8_t> p(kBytes);
    renderer()(camera(kFront).channel, 0, p.data(), p.data() + kBytes / 2);
    return p;
}

std::vector<fs::path> files_in(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path());
    return out;
}

TEST(ScenePictureCache, AReadPictureIsTheRenderedOneAndADamagedOneIsRenderedAgain) {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/scene-cache-XXXXXX";
    const fs::path dir = mkdtemp(tmpl.data());
    const fs::path cache = dir / "cache";

    unsetenv("SVSIM_SCENE_CACHE");
    const std::vector<std::uint8_t> rendered = front(Layout{});

    setenv("SVSIM_SCENE_CACHE", cache.c_str(), 1);
    EXPECT_EQ(front(Layout{}), rendered);  // rendered and kept
    std::vector<fs::path> files = files_in(cache);
    ASSERT_EQ(files.size(), 1u);  // nothing half written left beside it
    const fs::path file = files[0];
    EXPECT_EQ(file.extension(), ".yuv");
    EXPECT_EQ(fs::file_size(file), kBytes);

    // Read back, not rendered: a file changed behind its back shows.
    std::vector<std::uint8_t> grey(kBytes, 77);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(grey.data()), kBytes);
    EXPECT_EQ(front(Layout{}), grey);

    // Short or long: rendered again, and the file made whole.
    for (const std::size_t size : {kBytes / 2, kBytes + 1}) {
        fs::resize_file(file, size);
        EXPECT_EQ(front(Layout{}), rendered) << size;
        EXPECT_EQ(fs::file_size(file), kBytes) << size;
    }

    // Another car: another picture, in a file of its own.
    const std::vector<std::uint8_t> other = front(Layout{3000, 1600, 0});
    EXPECT_NE(other, rendered);
    EXPECT_EQ(files_in(cache).size(), 2u);

    unsetenv("SVSIM_SCENE_CACHE");
    configure(Layout{});
    fs::remove_all(dir);
}

}  // namespace
