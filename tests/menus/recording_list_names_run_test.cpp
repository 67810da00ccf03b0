// Delete, Lock and Unlock in the recording list act on exactly the file
// shown, whatever its name holds: a disk of names a shell would take as
// patterns, quotes or options, driven through the list with key frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tests/menus/menu_run.h"

namespace {
using namespace menu_run;

// The list as the system sorts it: greatest name first, byte by byte.
struct ListModel {
    std::vector<std::string> names;
    int highlight = 1, action = 0;
    void sort() { std::sort(names.begin(), names.end(), std::greater<>()); }
    int row(const std::string& n) const {
        return static_cast<int>(std::find(names.begin(), names.end(), n) - names.begin()) + 1;
    }
    // The keys that highlight `name` with `act` (1 delete, 2 lock or unlock) and choose it.
    void choose(Script& s, const std::string& name, int act) {
        const int to = row(name);
        ASSERT_LE(to, static_cast<int>(names.size())) << name;
        for (; highlight < to; ++highlight) s.key(DOWN);
        for (; highlight > to; --highlight) s.key(UP);
        for (; action < act; ++action) s.key(RIGHT);
        for (; action > act; --action) s.key(LEFT);
        s.key(OK);
    }
    void deleted(const std::string& name) {
        names.erase(names.begin() + row(name) - 1);
        highlight = std::min<int>(highlight, static_cast<int>(names.size()));
    }
    // The highlight stays on the file, under its new name.
    void renamed(const std::string& from, const std::string& to) {
        names[static_cast<std::size_t>(row(from) - 1)] = to;
        sort();
        highlight = row(to);
    }
};

std::map<std::string, std::string> files_on(const fs::path& dir) {
    std::map<std::string, std::string> found;
    for (const auto& e : fs::directory_iterator(dir)) found[e.path().filename().string()] = read_file(e.path());
    return found;
}

TEST(RecordingListNames, EachActionTouchesExactlyTheFileShown) {
    const std::string quotes = "9'\"\\[a]{b}~!%$IFS.h264";
    const std::string long_name = "20200101-000000_B-kept-lon.h264";  // 31 characters
    ASSERT_EQ(long_name.size(), 31u);
    const std::vector<std::string> start = {
        "@20200101-000000_R.h264", "20200101-000000_L.h264", "*.h264", "9*.h264", "9a.h264", "9b.h264", "@9b.h264",
        quotes, "[9]a.h264", "?.h264", "x.h264", "-rf.h264", "\\*.h264", long_name};
    TempDir tmp;
    write_settings(tmp.path / "settings.dat", settings(1));
    Script s;
    s.text << "speed 1000\nsettings settings.dat\ndisk usb 2000\n";
    // Each file holds its own first name, so a renamed file is known by its content.
    for (std::size_t i = 0; i < start.size(); ++i) {
        const std::string local = "f" + std::to_string(i);
        std::ofstream(tmp.path / local) << start[i];
        s.text << "disk_file usb " << local << " " << start[i] << "\n";
    }
    s.key(OK);
    s.ir("ok");
    s.keys({DOWN, DOWN, DOWN, OK, OK});  // the record settings, then the recording list

    ListModel list{start};
    list.sort();
    std::map<std::string, std::string> want;  // name on the disk -> content
    for (const auto& n : start) want[n] = n;
    auto remove = [&](const std::string& n) {
        list.choose(s, n, 1);
        list.deleted(n);
        want.erase(n);
    };
    auto toggle = [&](const std::string& from, const std::string& to) {
        list.choose(s, from, 2);
        list.renamed(from, to);
        want[to] = want[from];
        want.erase(from);
    };
    remove("*.h264");
    remove("9*.h264");
    toggle("?.h264", "@?.h264");
    toggle("[9]a.h264", "@[9]a.h264");
    remove(quotes);
    toggle("-rf.h264", "@-rf.h264");
    toggle("@[9]a.h264", "[9]a.h264");
    remove("\\*.h264");
    // Refused: "@9b.h264" is another file, and the long name's lock would not fit a slot.
    list.choose(s, "9b.h264", 2);
    list.choose(s, long_name, 2);
    remove(long_name);  // the highlight stayed on it
    s.wait(0.5);
    ASSERT_TRUE(run(tmp.path, s.end()));
    const fs::path out = tmp.path / "out";

    EXPECT_EQ(files_on(out / "board/usb/usb/files"), want);
    const std::string log = read_file(out / "board.log");
    std::vector<std::string> commands;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("shell: ");
        if (at == std::string::npos) continue;
        const std::string c = line.substr(at + 7);
        if (c.starts_with("rm ") || c.starts_with("mv ")) commands.push_back(c);
    }
    // The first is the mount check clearing the flash's own /opt folder.
    const std::vector<std::string> expected = {
        "rm -rf /opt/*",
        "rm -rf '/opt/*.h264'",
        "rm -rf '/opt/9*.h264'",
        "mv '/opt/?.h264' '/opt/@?.h264'",
        "mv '/opt/[9]a.h264' '/opt/@[9]a.h264'",
        "rm -rf '/opt/9'\\''\"\\[a]{b}~!%$IFS.h264'",
        "mv /opt/-rf.h264 /opt/@-rf.h264",
        "mv '/opt/@[9]a.h264' '/opt/[9]a.h264'",
        "rm -rf '/opt/\\*.h264'",
        "rm -rf /opt/" + long_name,
    };
    EXPECT_EQ(commands, expected);
    const std::string console = read_file(out / "console.log");
    EXPECT_NE(console.find("change file: 9b.h264 not renamed, @9b.h264 is on the disk already"), std::string::npos);
    EXPECT_NE(console.find("change file: " + long_name +
                           " cannot be locked, its locked name would be longer than 31 characters"),
              std::string::npos);
}

}  // namespace
