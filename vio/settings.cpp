#include "vio/settings.h"

#include <bit>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/files.h"

// The record is stored as it lies in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr Sensor_param kSensor = {360, 640, 580, 740, 420, 1000, -1};

}  // namespace

const Flash_param flash_param_default = {
    0, {kSensor, {300, 421, 300, 922, 455, 293, 458, 1050, 287, 670, 482, 664, 438, 197, 443, 1146}},
    0, {kSensor, {338, 405, 338, 913, 473, 238, 472, 1087, 331, 661, 513, 666, 451, 156, 453, 1165}},
    0, {kSensor, {225, 167, 237, 1025, 315, 120, 361, 1068, 163, 481, 315, 423, 0, 0, 0, 0}},
    0, {kSensor, {226, 168, 226, 1029, 350, 127, 350, 1080, 147, 726, 292, 790, 0, 0, 0, 0}},
    0, {0, 0, 0, 0, 3, 1, 1, 0, 0, 1, 255, 1, 0, 0, 0, 2, 0, -1, -1, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    0, {1900, 4600, 0, 0, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
};

Flash_param flash_param;

namespace {

// Where a save writes the new content before renaming it over the file.
std::string temp_path(const std::string& path) { return path + ".new"; }

// Flushes the folder holding `path`, where a rename is recorded. A folder
// that cannot be opened or flushed is left as it is.
void sync_folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Replaces the file by writing the whole content beside it, flushing it to
// storage and renaming it over the old one, so a power cut leaves either the
// old or the new record, never a torn one.
bool replace_file(const std::string& path, const void* data, std::size_t len) {
    const std::string tmp = temp_path(path);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, len, f) == len && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    // Without this a power cut soon after could bring the old file back. The
    // new one is in place already, so the save counts as done either way.
    sync_folder(path);
    return true;
}

}  // namespace

void load_param(Flash_param* buf1) {
    const std::string path = board_path(PARAM_FILE);
    // Left by a save cut short before its rename; the file itself is intact.
    std::remove(temp_path(path).c_str());
    std::FILE* f = std::fopen(path.c_str(), "rb+");
    bool writable = f != nullptr;
    // Read-only storage: read what is there instead of replacing it.
    if (!f) f = std::fopen(path.c_str(), "rb");
    if (f) {
        Flash_param rec;
        const bool whole = std::fseek(f, 0, SEEK_SET) == 0 && std::fread(&rec, sizeof rec, 1, f) == 1;
        std::fclose(f);
        if (whole) {
            *buf1 = rec;
            return;
        }
        std::printf("read file failed!\n");
        if (writable && !replace_file(path, &flash_param_default, sizeof flash_param_default))
            std::printf("write file failed!\n");
        *buf1 = flash_param_default;
        return;
    }
    // Missing: create it with the defaults; if even that fails, run on the defaults.
    if (!replace_file(path, &flash_param_default, sizeof flash_param_default)) std::printf("create file failed!\n");
    *buf1 = flash_param_default;
}

void save_param(const Flash_param* buf) {
    const std::string path = board_path(PARAM_FILE);
    std::FILE* f = std::fopen(path.c_str(), "rb+");
    if (!f) {
        std::printf("open file to save failed!\n");
        return;
    }
    // Bytes beyond the record stay as they were.
    std::vector<unsigned char> content;
    unsigned char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) content.insert(content.end(), chunk, chunk + n);
    std::fclose(f);
    if (content.size() < sizeof *buf) content.resize(sizeof *buf);
    std::memcpy(content.data(), buf, sizeof *buf);
    if (!replace_file(path, content.data(), content.size())) std::printf("write file failed!\n");
}
