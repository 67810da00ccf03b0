// What the application checks in an upgrade package before anything of it
// reaches /home (upgrade() itself is declared with the firmware upload).
#pragma once

#include <cstdint>
#include <string>

// Far beyond a real package (the application, its start script, the
// firmware and a few pictures), low enough that a crafted one is refused
// before it can fill the flash or wear out the walk.
constexpr int kMaxPackageMembers = 1000;   // members of the archive, folders included
constexpr int kMaxPackageDepth = 16;       // names of a path below /home
constexpr std::size_t kMaxPackageName = 255;  // bytes of one name, as the flash allows
constexpr std::uint64_t kKeepFreeBytes = 1 << 20;  // left free on the flash by the unpacked package
// The package is unpacked here first, checked, then moved into /home.
constexpr const char* kStaging = "/home/upgrade.new";
// The package's own copy on the flash: the listing and the unpacking both
// read it, so what was checked is what is unpacked.
constexpr const char* kPackageCopy = "/home/upgrade.pkg";

// The bytes an unpacked package may take on the flash: its free space less
// what is kept free (0 when it cannot be read), and the block size a file is
// counted in. The start script lands again in /etc/init.d: on this flash it
// counts twice, on another file system it must fit what that one can spare.
struct PackageRoom {
    std::uint64_t bytes = 0;
    std::uint64_t block = 4096;
    bool script_here = true;
    std::uint64_t script_bytes = 0;
    std::uint64_t script_block = 4096;
};
PackageRoom package_room();

// Walks a staged tree without following links: true when it holds only
// folders and regular files of one link each, named without control bytes,
// within the member, depth and size bounds; else false with the reason,
// naming the entry.
bool staged_tree_ok(const char* system_dir, const PackageRoom& room, std::string& why);
