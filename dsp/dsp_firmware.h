// Settings export and import, upgrade packages and the microcontroller's
// firmware upload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

#include "platform/hifb.h"

// A framed message of the serial line: 0x55 0xA0 len class data... sum,
// where len counts the class and the data bytes.
struct bvs_msg {
    std::uint8_t len;
    std::uint8_t msg_class;
    std::uint8_t data[256];
};

// The most bytes one firmware line may pack into a message.
constexpr int kMaxLineBytes = 254;

// Copies the settings file to the disk as "<time stamp>.dat": 0 or -2.
int export_file();
// Replaces the settings file with a settings record from the disk: 0, or -2
// with nothing changed.
int import_file(const char* path);
// Unpacks the package from the disk into /home and installs its start
// script: 0, or -2. A package that breaks a bound of dsp_package.h, lacks
// the start script or a sound firmware file, or holds anything but regular
// files and folders changes nothing.
int upgrade(const char* name);
// Sends /home/test.hex to the microcontroller line by line, drawing the
// progress on the canvas: 0 when every line was accepted, -1 otherwise.
int upgrade_pic(int fd, std::uint32_t* canvas, int fb, HIFB_BUFFER_S* buffer, std::uint32_t size);
void send_msg(int fd, const bvs_msg* msg);
// Reads one message: 0 when it is whole and its sum is right, else -1.
int wait_msg(int fd, bvs_msg* msg);
// The value of one hexadecimal digit.
int my_atoi(char c);
// One line of a text without its line end (a carriage return before the
// line feed is left out too).
struct HexLine {
    std::size_t begin = 0, end = 0;
    std::size_t next = 0;  // where the following line starts
};
// The line starting at `from`; false at the end of the text.
bool next_hex_line(const char* text, std::size_t n, std::size_t from, HexLine& line);
// The upload's progress once a line is through: where its line feed stands
// (the end of the text for a last line without one), in hundredths of the text.
int line_progress(const char* text, std::size_t n, const HexLine& line);
// A record's bytes from its digit pairs after the colon, at most `cap`.
int pack_hex_line(const char* text, const HexLine& line, std::uint8_t* out, std::size_t cap);
// Whether a text is a whole Intel HEX file: records of a colon and an even
// number of hexadecimal digits, byte count and checksum right, ending with
// the end record; blank lines are allowed.
bool hex_file_ok(const char* text, std::size_t n);
// A regular file's whole content, links not followed; `opened`, when given,
// is told the file's size once it is open, before it is read.
bool read_whole(const char* system_path, std::string& out, const std::function<void(off_t)>& opened = {});
