// "tar -xzvf <archive> -C <dir>" done natively: gzip through zlib, ustar, pax
// and GNU headers. Member names are data from a disk: every path is walked one
// component at a time below the target folder without following any link,
// and names that are absolute or climb with ".." are never written. A name
// from a pax record or a GNU long name holding a NUL byte fails the archive.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "host/internal.h"
#include "host/storage_parts.h"
#include "platform/shell.h"

namespace {

using namespace host::storage;

constexpr std::size_t kBlock = 512;
// Long names and extended headers, of all members together: what a listing
// does not show is bounded too.
constexpr std::uint64_t kMaxMeta = 1 << 20;
// What may follow the first zero block: the second, the rest of their record
// (tar writes whole records of 20 blocks) and at most this much padding.
constexpr std::uint64_t kRecord = 20 * kBlock;
constexpr std::uint64_t kMaxPadding = 1 << 20;

void say(const std::string& text) { host::board_log("shell", "tar: " + text); }

// Numeric header field: octal text, or GNU base-256 when the top bit is set.
std::optional<std::uint64_t> number(const unsigned char* f, std::size_t len) {
    if (f[0] & 0x80) {
        if (f[0] & 0x40) return std::nullopt;  // negative
        std::uint64_t v = f[0] & 0x3f;
        for (std::size_t i = 1; i < len; ++i) {
            if (v >> 55) return std::nullopt;
            v = v << 8 | f[i];
        }
        return v;
    }
    std::size_t i = 0;
    while (i < len && f[i] == ' ') ++i;
    std::uint64_t v = 0;
    for (; i < len && f[i] >= '0' && f[i] <= '7'; ++i) {
        if (v >> 60) return std::nullopt;
        v = v * 8 + (f[i] - '0');
    }
    if (i < len && f[i] != '\0' && f[i] != ' ') return std::nullopt;
    return v;
}

std::string field(const unsigned char* f, std::size_t len) {
    const auto* end = static_cast<const unsigned char*>(std::memchr(f, 0, len));
    return std::string(reinterpret_cast<const char*>(f), end ? static_cast<std::size_t>(end - f) : len);
}

bool checksum_ok(const unsigned char* h) {
    const auto stored = number(h + 148, 8);
    if (!stored) return false;
    std::uint64_t sum_unsigned = 0;
    std::int64_t sum_signed = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        const bool in_field = i >= 148 && i < 156;
        sum_unsigned += in_field ? ' ' : h[i];
        sum_signed += in_field ? ' ' : static_cast<signed char>(h[i]);
    }
    return *stored == sum_unsigned || static_cast<std::int64_t>(*stored) == sum_signed;
}

// A name as the log shows it: control bytes and backslashes escaped, so that
// a name can never start a line of its own.
std::string printable(const std::string& name) {
    std::string out;
    for (const unsigned char c : name) {
        if (c >= 0x20 && c != 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

// A name in a message about it: its start only when it is long.
std::string start_of(const std::string& name) {
    return name.size() > 100 ? printable(name.substr(0, 100)) + "..." : printable(name);
}

// The path a pax extended header gives the next member ("" for none). Its
// records are "<length> <key>=<value>\n", the decimal length counting the
// whole record; they are read as bytes, so a value is taken whole, and a path
// or link path holding a NUL byte is an error: a system call would see it end
// there.
std::optional<std::string> pax_path(const std::string& data, std::string& why) {
    std::string path;
    for (std::size_t pos = 0; pos < data.size();) {
        std::size_t i = pos, len = 0;
        for (; i < data.size() && data[i] >= '0' && data[i] <= '9'; ++i) {
            len = len * 10 + static_cast<std::size_t>(data[i] - '0');
            if (len > data.size() - pos) {
                why = "malformed extended header: a record runs past the header's end";
                return std::nullopt;
            }
        }
        if (i == pos || i == data.size() || data[i] != ' ') {
            why = "malformed extended header: missing length";
            return std::nullopt;
        }
        const std::size_t end = pos + len;  // within data: checked digit by digit
        if (end <= i + 1 || data[end - 1] != '\n') {
            why = "malformed extended header: a record does not end with a newline where its length says";
            return std::nullopt;
        }
        const std::size_t eq = data.find('=', i + 1);
        if (eq == std::string::npos || eq >= end - 1 || eq == i + 1) {
            why = "malformed extended header: missing equal sign";
            return std::nullopt;
        }
        const std::string key = data.substr(i + 1, eq - i - 1);
        std::string value = data.substr(eq + 1, end - 1 - (eq + 1));
        if (key == "path" || key == "linkpath") {
            if (value.find('\0') != std::string::npos) {
                why = "extended header " + key + " holds a NUL byte: " + start_of(value);
                return std::nullopt;
            }
            if (key == "path") path = std::move(value);
        }
        pos = end;
    }
    return path;
}

// A GNU long name: the name, then NUL bytes only. A NUL with other bytes
// after it would cut the name short.
std::optional<std::string> long_name_of(const std::string& data, char type, std::string& why) {
    const std::size_t nul = data.find('\0');
    if (nul != std::string::npos && data.find_first_not_of('\0', nul) != std::string::npos) {
        why = std::string(type == 'K' ? "long link name" : "long name") + " holds a NUL byte: " + start_of(data);
        return std::nullopt;
    }
    return data.substr(0, nul);
}

using Lister = std::function<bool(const TarEntry&)>;

// Unpacks into the folder `top`, or, with a lister, only lists the members.
class Extractor {
public:
    Extractor(gzFile gz, int top, const Lister* list = nullptr) : gz_(gz), top_(top), list_(list) {}

    bool run() {
        bool ok = true;
        std::string long_name, extended_path;
        bool first = true;
        for (;;) {
            std::array<unsigned char, kBlock> h;
            const int got = read_exact(h.data(), kBlock);
            if (first && (got <= 0 || gzdirect(gz_))) {
                say(got < 0 && !gzdirect(gz_) ? stream_error() : "this does not look like a gzip-compressed tar archive");
                return false;
            }
            first = false;
            if (got == 0) break;  // end of data without the closing zero blocks
            if (got < 0) {
                say(stream_error());
                return false;
            }
            if (std::all_of(h.begin(), h.end(), [](unsigned char c) { return c == 0; }))
                return finish(ok, (pos_ + kBlock + kRecord - 1) / kRecord * kRecord + kMaxPadding);
            if (!checksum_ok(h.data())) {
                say("archive header checksum error");
                return false;
            }
            const auto size = number(h.data() + 124, 12);
            const auto mode = number(h.data() + 100, 8);
            const auto mtime = number(h.data() + 136, 12);
            if (!size || !mode || !mtime) {
                say("archive header has a malformed number");
                return false;
            }
            const char type = static_cast<char>(h[156]);
            if (type == 'L' || type == 'K' || type == 'x' || type == 'g') {
                std::string data, why;
                if (*size > kMaxMeta - meta_ || !read_data(*size, -1, type == 'g' ? nullptr : &data)) {
                    say(*size > kMaxMeta - meta_ ? "extended headers too long" : stream_error());
                    return false;
                }
                meta_ += *size;
                if (type == 'g') continue;
                // A name the system calls would read otherwise than it is written fails the archive.
                const std::optional<std::string> name = type == 'x' ? pax_path(data, why) : long_name_of(data, type, why);
                if (!name) {
                    say(why);
                    return false;
                }
                if (type == 'L') long_name = *name;
                if (type == 'x') extended_path = *name;
                continue;
            }
            std::string name;
            if (!long_name.empty()) {
                name = long_name;
            } else if (!extended_path.empty()) {
                name = extended_path;
            } else {
                name = field(h.data(), 100);
                const bool posix = std::memcmp(h.data() + 257, "ustar\0", 6) == 0;
                const std::string prefix = posix ? field(h.data() + 345, 155) : std::string();
                if (!prefix.empty()) name = prefix + "/" + name;
            }
            long_name.clear();
            extended_path.clear();
            const Member m{name, type, *size, static_cast<mode_t>(*mode & 0777), static_cast<time_t>(*mtime)};
            if (list_) {
                if (!(*list_)(TarEntry{listed_type(type), *size, name})) return false;  // the caller has seen enough
                if (!read_data(*size, -1)) return fail_stream();
                continue;
            }
            const int r = member(m);
            if (r < 0) return fail_stream();
            if (r == 0) ok = false;
        }
        return finish(ok, UINT64_MAX);
    }

private:
    struct Member {
        std::string name;
        char type;
        std::uint64_t size;
        mode_t mode;
        time_t mtime;
    };
    struct DirAttrs {
        std::vector<std::string> comps;
        mode_t mode;
        time_t mtime;
    };

    // 1 done, 0 this member failed (go on), -1 the stream failed.
    int member(const Member& m) {
        const std::vector<std::string> comps = name_parts(m.name);
        // Only plain names are written; a NUL byte never gets this far.
        const bool climbs = !std::all_of(comps.begin(), comps.end(), [](const std::string& c) { return plain_name(c); });
        const bool regular = m.type == '0' || m.type == '\0' || m.type == '7';
        if (!m.name.empty() && m.name[0] == '/') {
            say("skipping member with an absolute name: " + printable(m.name));
            return read_data(m.size, -1) ? 0 : -1;  // refused: the status says so
        }
        if (climbs) {
            say("skipping member whose name leaves the folder: " + printable(m.name));
            return read_data(m.size, -1) ? 0 : -1;  // refused: the status says so
        }
        if (!regular && m.type != '5') {
            say("skipping " + printable(m.name) + ": " + kind(m.type) + " not extracted");
            return read_data(m.size, -1) ? 0 : -1;  // refused: the status says so
        }
        say(printable(m.name));
        if (comps.empty()) {
            // The target folder itself ("./"): it is not changed.
            return read_data(m.size, -1) ? 1 : -1;
        }
        const int parent = open_parent(comps, true);
        if (parent < 0) {
            say(printable(m.name) + ": Cannot open: " + std::strerror(errno));
            return read_data(m.size, -1) ? 0 : -1;
        }
        const char* last = comps.back().c_str();
        int result = 1;
        if (m.type == '5') {
            struct stat st;
            if (::fstatat(parent, last, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (!S_ISDIR(st.st_mode)) {
                    say(printable(m.name) + ": Cannot mkdir: File exists");
                    result = 0;
                }
            } else if (::mkdirat(parent, last, 0700) != 0) {
                say(printable(m.name) + ": Cannot mkdir: " + std::strerror(errno));
                result = 0;
            }
            if (result == 1) dirs_.push_back(DirAttrs{comps, m.mode, m.mtime});
            ::close(parent);
            if (!read_data(m.size, -1)) return -1;
            return result;
        }
        struct stat st;
        if (::fstatat(parent, last, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            // An old file or link is replaced, never written through.
            if (S_ISDIR(st.st_mode) || ::unlinkat(parent, last, 0) != 0) {
                say(printable(m.name) + ": Cannot open: " + (S_ISDIR(st.st_mode) ? "Is a directory" : std::strerror(errno)));
                ::close(parent);
                return read_data(m.size, -1) ? 0 : -1;
            }
        }
        const int fd = ::openat(parent, last, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        ::close(parent);
        if (fd < 0) {
            say(printable(m.name) + ": Cannot open: " + std::strerror(errno));
            return read_data(m.size, -1) ? 0 : -1;
        }
        bool wrote = true;
        const bool read = read_data(m.size, fd, nullptr, &wrote);
        ::fchmod(fd, m.mode);
        const timespec times[2] = {{m.mtime, 0}, {m.mtime, 0}};
        ::futimens(fd, times);
        ::close(fd);
        if (!read) return -1;  // what was written so far stays, like the real tool
        if (!wrote) {
            say(printable(m.name) + ": Cannot write: " + std::strerror(errno));
            return 0;
        }
        return 1;
    }

    static char listed_type(char type) { return type == '\0' || type == '7' ? '0' : type; }

    static std::string kind(char type) {
        const char* name = tar_type_name(type);
        return name ? name : std::string("member of type '") + type + "'";
    }

    // The folder holding the last component, reached without following links.
    int open_parent(const std::vector<std::string>& comps, bool create) {
        int fd = ::dup(top_);
        for (std::size_t i = 0; fd >= 0 && i + 1 < comps.size(); ++i) {
            const char* c = comps[i].c_str();
            int next = ::openat(fd, c, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0 && errno == ENOENT && create && ::mkdirat(fd, c, 0755) == 0)
                next = ::openat(fd, c, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int saved = errno;
            ::close(fd);
            errno = saved;
            fd = next;
        }
        return fd;
    }

    // Folders get their own mode and time last, once nothing more is written in them.
    // The stream must end by `limit`: an archive that goes on is not read on.
    bool finish(bool ok, std::uint64_t limit) {
        for (auto it = dirs_.rbegin(); it != dirs_.rend(); ++it) {
            const int parent = open_parent(it->comps, false);
            if (parent < 0) continue;
            const int fd = ::openat(parent, it->comps.back().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ::close(parent);
            if (fd < 0) continue;
            ::fchmod(fd, it->mode);
            const timespec times[2] = {{it->mtime, 0}, {it->mtime, 0}};
            ::futimens(fd, times);
            ::close(fd);
        }
        // The rest of the stream must still be sound (its end and check sum).
        std::array<char, 16384> sink;
        int n = 0;
        while (pos_ <= limit) {
            const std::uint64_t left = limit - pos_;  // one byte more shows the stream goes on
            n = gzread(gz_, sink.data(), left < sink.size() ? static_cast<unsigned>(left + 1) : sink.size());
            if (n <= 0) break;
            pos_ += static_cast<std::uint64_t>(n);
        }
        if (pos_ > limit) {
            say("the stream goes on past the archive's end and its padding");
            return false;
        }
        if (n < 0 || stream_broken()) {
            say(stream_error());
            return false;
        }
        return ok;
    }

    bool fail_stream() {
        say(stream_error());
        return false;
    }

    bool stream_broken() {
        int err = Z_OK;
        gzerror(gz_, &err);
        return err != Z_OK && err != Z_STREAM_END;
    }

    std::string stream_error() {
        int err = Z_OK;
        const char* text = gzerror(gz_, &err);
        if (err != Z_OK && err != Z_STREAM_END) return std::string("gzip: ") + (text ? text : "error");
        return "Unexpected EOF in archive";
    }

    // Reads len bytes: len, 0 at a clean end, -1 when cut short or broken.
    int read_exact(unsigned char* buf, std::size_t len) {
        std::size_t got = 0;
        while (got < len) {
            const int n = gzread(gz_, buf + got, static_cast<unsigned>(len - got));
            if (n < 0) return -1;
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
            pos_ += static_cast<std::uint64_t>(n);
        }
        if (stream_broken()) return -1;
        if (got == 0) return 0;
        return got == len ? static_cast<int>(len) : -1;
    }

    // A member's data and its padding: written to fd (when >= 0), kept in
    // `keep` (when given), or passed over.
    bool read_data(std::uint64_t size, int fd, std::string* keep = nullptr, bool* wrote = nullptr) {
        std::uint64_t left = (size + kBlock - 1) / kBlock * kBlock;
        std::uint64_t data_left = size;
        std::vector<unsigned char> buf(64 * 1024);
        while (left > 0) {
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, buf.size()));
            if (read_exact(buf.data(), chunk) != static_cast<int>(chunk)) return false;
            const std::size_t useful = static_cast<std::size_t>(std::min<std::uint64_t>(data_left, chunk));
            if (keep) keep->append(reinterpret_cast<const char*>(buf.data()), useful);
            if (fd >= 0 && wrote && *wrote) {
                for (std::size_t done = 0; done < useful;) {
                    const ssize_t w = ::write(fd, buf.data() + done, useful - done);
                    if (w < 0 && errno == EINTR) continue;
                    if (w <= 0) {
                        *wrote = false;
                        break;
                    }
                    done += static_cast<std::size_t>(w);
                }
            }
            data_left -= useful;
            left -= chunk;
        }
        return true;
    }

    gzFile gz_;
    int top_;
    const Lister* list_;
    std::vector<DirAttrs> dirs_;
    std::uint64_t pos_ = 0;   // bytes of the archive read so far
    std::uint64_t meta_ = 0;  // of them, in long names and extended headers
};

}  // namespace

namespace {

// The archive of a command opened for reading, or nullptr (said in the log).
gzFile open_archive(const std::string& a) {
    const auto comps = system_components(a);
    auto real = a.empty() || machinery(comps) ? std::nullopt : resolve_in_root(comps);
    if (!real) {
        say(printable(a) + ": Cannot open: No such file or directory");
        return nullptr;
    }
    const int fd = ::open(real->c_str(), O_RDONLY | O_CLOEXEC);
    gzFile gz = fd >= 0 ? gzdopen(fd, "rb") : nullptr;
    if (!gz) {
        const int saved = errno;
        if (fd >= 0) ::close(fd);
        say(printable(a) + ": Cannot open: " + std::strerror(saved));
    }
    return gz;
}

}  // namespace

int sh_tar_xzvf(const char* archive, const char* dir) {
    const std::string a = archive ? archive : "", d = dir ? dir : "";
    if (!command_start("tar -xzvf " + shell_word(a) + " -C " + shell_word(d), "tar")) return 1;
    const auto archive_comps = system_components(a), dir_comps = system_components(d);
    std::lock_guard lock(state_mutex());
    if (a.empty() || machinery(archive_comps) || !resolve_in_root(archive_comps)) {
        say(printable(a) + ": Cannot open: No such file or directory");
        return 1;
    }
    auto real_dir = d.empty() || machinery(dir_comps) ? std::nullopt : resolve_in_root(dir_comps);
    const int top = real_dir ? ::open(real_dir->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (top < 0) {
        say(printable(d) + ": Cannot open: No such file or directory");
        return 1;
    }
    gzFile gz = open_archive(a);
    if (!gz) {
        ::close(top);
        return 1;
    }
    const bool ok = Extractor(gz, top).run();
    gzclose(gz);
    ::close(top);
    if (!ok) say("Exiting with failure status due to previous errors");
    return ok ? 0 : 1;
}

int sh_tar_tzvf(const char* archive, const std::function<bool(const TarEntry&)>& each) {
    const std::string a = archive ? archive : "";
    if (!command_start("tar -tzvf " + shell_word(a), "tar")) return 1;
    std::lock_guard lock(state_mutex());
    gzFile gz = open_archive(a);
    if (!gz) return 1;
    const bool ok = Extractor(gz, -1, &each).run();
    gzclose(gz);
    return ok ? 0 : 1;
}
