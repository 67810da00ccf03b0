#include "sim/runner.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "host/board.h"
#include "host/clock.h"
#include "host/scene.h"
#include "sim/output_folder.h"
#include "sim/scene_settings.h"
#include "vio/settings.h"
#include "vio/app.h"

namespace sim {
namespace fs = std::filesystem;
namespace {

std::atomic<bool> g_ending{false};
fs::path g_out;

// Set once the board runs with its log in the output folder.
std::atomic<bool> g_board_up{false};

// What of the scenario the player has begun, for the run's end line.
struct Progress {
    std::mutex mutex;
    std::vector<Event> events;  // the scenario's, fixed before the player starts
    std::string file;           // the scenario as the command line names it
    std::size_t begun = 0;      // events whose first step was played: they begin in this order
    std::vector<const Event*> ramps;  // begun and not ended
};
Progress g_progress;

// What a run that ended before its scenario did leaves unplayed:
// "; 2 events not played, the first at s.scn:7; the sweep at s.scn:5 cut short".
std::string unplayed(std::string_view reason) {
    // Whoever interrupts a run knows.
    if (reason == "interrupted") return {};
    std::lock_guard lock(g_progress.mutex);
    const auto at = [](const Event& e) { return g_progress.file + ":" + std::to_string(e.line); };
    std::string text;
    // After a power off there is only a button let go, the board's own business.
    if (const std::size_t left = g_progress.events.size() - g_progress.begun; left > 0 && reason != "power off")
        text += "; " + std::to_string(left) + (left == 1 ? " event" : " events") + " not played, the first at " +
                at(g_progress.events[g_progress.begun]);
    if (const auto& ramps = g_progress.ramps; !ramps.empty()) {
        text += "; the " + ramps[0]->verb + " at " + at(*ramps[0]) + " cut short";
        if (ramps.size() > 1)
            text += ", and " + std::to_string(ramps.size() - 1) + (ramps.size() == 2 ? " more ramp" : " more ramps");
    }
    return text;
}

[[noreturn]] void finish(std::string_view why, int status = 0) {
    if (g_ending.exchange(true)) {
        // Another thread is already ending the run.
        for (;;) pause();
    }
    // The board stops at this instant: whatever the host does from here on
    // (the last screen, the way out) lets no later frame be captured or
    // recorded, nor a later event played, however fast it runs.
    if (g_board_up) host::clock::hold();
    const std::string reason = std::string(why) + unplayed(why);
    if (g_board_up) {
        const host::Picture last = host::panel_picture();
        host::write_png(g_out / "screens" / "final.png", last);
        // The closing line stays the last: the board's threads run on until
        // the process ends, and what they log from here stays in memory.
        host::board_log("sim", "run ended: " + reason);
        host::board_log_to_file({});
    }
    std::fflush(stdout);
    std::cerr << "svsim: run ended (" << reason << "); output in " << g_out.string() << std::endl;
    _exit(status);
}

// Ctrl-C and SIGTERM end the run as a power off does. They are blocked in
// every thread (all start after this) and taken by one thread, off any
// signal handler.
sigset_t block_stop_signals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    return stop;
}

void take_stop_signals(const sigset_t& stop) {
    std::thread([stop] {
        int taken = 0;
        while (sigwait(&stop, &taken) != 0) {
        }
        finish("interrupted", 128 + taken);
    }).detach();
}

// Parser-made numbers: plain decimal.
unsigned long number(const std::string& s) { return std::strtoul(s.c_str(), nullptr, 10); }

std::string hex(unsigned long v, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// How an event reads in the board log, close to the scenario's words; empty
// for the events that log themselves.
std::string describe(const Event& e) {
    const auto& a = e.args;
    if (e.verb == "state") {
        if (a[0] == "angle") return "angle " + a[1];
        if (a[0] == "turn") return "turn " + a[1];
        if (a[0] == "car_key") return "buttons " + hex(number(a[1]), "0x%02lX");
        return (a[0] == "record_forbidden" ? std::string("record_forbid") : a[0]) + (a[1] == "0" ? " off" : " on");
    }
    if (e.verb == "radar")
        return "radar front " + a[0] + " " + a[1] + " " + a[2] + " " + a[3] + " back " + a[4] + " " + a[5] + " " +
               a[6] + " " + a[7] + " mode " + a[8];
    if (e.verb == "key") return "key " + a[0];
    if (e.verb == "ir") return "ir " + a[0] + (a[1] == "0" ? "" : " repeats " + a[1]);
    if (e.verb == "serial") {
        std::string text = "serial";
        for (const auto& b : a) text += hex(number(b), " %02lX");
        return text;
    }
    if (e.verb == "board_code") return "board_code " + a[0];
    if (e.verb == "disk_insert")
        return "disk insert " + a[0] + " " + a[1] + " MB" + (a[2] == "0" ? " whole" : "") +
               (a[3] == "0" ? " unformatted" : "");
    if (e.verb == "disk_remove") return "disk remove";
    if (e.verb == "rtc_stop" || e.verb == "clear_failures") return e.verb;
    return {};
}

// The simulator's resident memory, as the kernel counts it ("VmRSS:  123456 kB").
std::string resident_memory() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("VmRSS:")) {
            const auto at = line.find_first_not_of(" \t", 6);
            return at == std::string::npos ? "unknown" : line.substr(at);
        }
    return "unknown";
}

}  // namespace

Command parse_options(const std::vector<std::string>& args, RunOptions& options, std::string& error) {
    options.out = "out";
    bool scenario = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i];
        std::optional<std::string> value;
        if (const auto eq = a.find('='); a.starts_with("--") && eq != std::string::npos) {
            value = a.substr(eq + 1);
            a.resize(eq);
        }
        const bool valued = a == "--scenario" || a == "--out" || a == "--speed";
        if (valued && !value) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return Command::wrong;
            }
            value = args[++i];
        }
        if (!valued && value && (a == "--help" || a == "--echo" || a == "--unpaced")) {
            error = a + " takes no value";
            return Command::wrong;
        }
        if (a == "--help" || a == "-h") return Command::help;
        if (a == "--scenario" || a == "--out") {
            if (value->empty()) {
                error = a + " needs a " + (a == "--out" ? "folder" : "file") + " name, not \"\"";
                return Command::wrong;
            }
            (a == "--out" ? options.out : options.scenario) = *value;
            scenario = scenario || a == "--scenario";
        } else if (a == "--echo") {
            options.echo = true;
        } else if (a == "--unpaced") {
            options.paced = false;
        } else if (a == "--speed") {
            double v = 0;
            if (!parse_decimal(*value, v) || v < kMinSpeed || v > kMaxSpeed) {
                error = "--speed " + *value + ": must be 0.01..1000 board seconds per real second";
                return Command::wrong;
            }
            options.speed = v;
        } else {
            error = "unknown option \"" + args[i] + "\"";
            return Command::wrong;
        }
    }
    if (!scenario) {
        error = "which scenario? --scenario FILE";
        return Command::wrong;
    }
    return Command::run;
}

void apply_event(const Event& e, const fs::path& out, std::string_view note, bool logged) {
    const auto& a = e.args;
    // Logged before it takes effect, so the board's answer follows it.
    if (const std::string text = describe(e); logged && !text.empty()) host::board_log("sim", text + std::string(note));
    if (e.verb == "state") {
        host::VehicleState s = host::mcu_state();
        const long v = std::strtol(a[1].c_str(), nullptr, 10);
        if (a[0] == "turn") {
            s.left = a[1] == "left" || a[1] == "both";
            s.right = a[1] == "right" || a[1] == "both";
        } else if (a[0] == "acc") s.acc = v != 0;
        else if (a[0] == "reverse") s.reverse = v != 0;
        else if (a[0] == "left") s.left = v != 0;
        else if (a[0] == "right") s.right = v != 0;
        else if (a[0] == "record_forbidden") s.record_forbidden = v != 0;
        else if (a[0] == "record_lock") s.record_lock = v != 0;
        else if (a[0] == "angle") s.angle = static_cast<std::int16_t>(v);
        else if (a[0] == "car_key") s.car_key = static_cast<std::uint8_t>(v);
        host::mcu_set_state(s);
    } else if (e.verb == "radar") {
        std::array<std::uint8_t, 4> f{}, b{};
        for (int i = 0; i < 4; ++i) {
            f[i] = static_cast<std::uint8_t>(number(a[i]));
            b[i] = static_cast<std::uint8_t>(number(a[4 + i]));
        }
        host::mcu_set_radar(f, b, static_cast<std::uint8_t>(number(a[8])));
    } else if (e.verb == "key") {
        host::mcu_send_key(static_cast<std::uint8_t>(number(a[0])));
    } else if (e.verb == "ir") {
        host::ir_press(static_cast<std::uint8_t>(number(a[0])), static_cast<int>(number(a[1])));
    } else if (e.verb == "serial") {
        std::vector<std::uint8_t> bytes;
        for (const auto& s : a) bytes.push_back(static_cast<std::uint8_t>(number(s)));
        host::mcu_send_raw(bytes);
    } else if (e.verb == "board_code") {
        host::board_set_code(static_cast<std::uint8_t>(number(a[0])));
    } else if (e.verb == "disk_insert") {
        host::disk_insert(a[0], number(a[1]), a[2] == "1", a[3] == "1");
    } else if (e.verb == "disk_remove") {
        host::disk_remove();
    } else if (e.verb == "rtc_stop") {
        host::rtc_stop_oscillator();
    } else if (e.verb == "screenshot") {
        const fs::path file = out / "screens" / (a[0] + ".png");
        if (host::write_png(file, host::panel_picture()))
            host::board_log("sim", "screenshot " + file.filename().string());
        else
            host::board_log("sim", "screenshot " + file.filename().string() + " failed");
    } else if (e.verb == "cameras") {
        // The four cameras at half size: front and back above, left and right below.
        host::Picture mosaic{1280, 720, std::vector<std::uint32_t>(1280 * 720)};
        const int channels[4] = {5, 4, 0, 1};
        for (int i = 0; i < 4; ++i) {
            const host::Picture cam = host::camera_picture(channels[i]);
            if (cam.width != 1280 || cam.height != 720) continue;
            for (int row = 0; row < 360; ++row)
                for (int col = 0; col < 640; ++col)
                    mosaic.argb[(i / 2 * 360 + row) * 1280 + i % 2 * 640 + col] = cam.argb[row * 2 * 1280 + col * 2];
        }
        const fs::path file = out / "screens" / (a[0] + ".png");
        host::board_log("sim", "cameras " + file.filename().string() + (host::write_png(file, mosaic) ? "" : " failed"));
    } else if (e.verb == "overlay") {
        const fs::path file = out / "screens" / (a[0] + ".png");
        host::board_log("sim", "overlay " + file.filename().string() +
                                   (host::write_png(file, host::overlay_picture(0)) ? "" : " failed"));
    } else if (e.verb == "fail") {
        // The times, then the operation as the board names it.
        if (logged) host::board_log("sim", "fail " + a[0] + " " + a[1]);
        host::inject_failure(a[1], static_cast<int>(std::strtol(a[0].c_str(), nullptr, 10)));
    } else if (e.verb == "clear_failures") {
        host::clear_failures();
    } else if (e.verb == "memory") {
        host::board_log("sim", "memory " + resident_memory());
    } else if (e.verb == "log") {
        std::string text;
        for (const auto& s : a) text += (text.empty() ? "" : " ") + s;
        host::board_log("sim", text);
    } else if (e.verb == "power_off") {
        finish("power off");
    }
}

int run(const RunOptions& options) {
    const sigset_t stop_signals = block_stop_signals();
    std::string error;
    auto scenario = load_scenario(options.scenario, error);
    auto refuse = [&](const std::string& what) {
        std::cerr << "svsim: " << options.scenario.string() << ": " << what << std::endl;
        return 2;
    };
    if (!scenario) return refuse(error);
    for (const auto& w : scenario->warnings)
        std::cerr << "svsim: " << options.scenario.string() << ": " << w << " (warning)" << std::endl;

    // Every input is opened before the output folder is emptied: a restart
    // may take its files from the earlier run's output in that very folder.
    KeptInputs inputs;
    if (!keep_inputs(options.out, options.scenario, *scenario, inputs, error)) return refuse(error);
    std::string kept;
    if (!prepare_output(options.out, *scenario, kept, error)) {
        std::cerr << "svsim: " << error << std::endl;
        return 2;
    }
    if (!kept.empty()) std::cerr << "svsim: " << options.out.string() << ": " << kept << " (warning)" << std::endl;
    g_out = fs::absolute(options.out);
    take_stop_signals(stop_signals);
    // The board keeps its clock in UTC.
    setenv("TZ", "UTC0", 1);
    tzset();

    // The cameras see the synthetic scene unless the scenario says otherwise;
    // its car follows the settings file the run starts with.
    host::scene::Layout layout;
    if (scenario->scene_layout) {
        layout.length = (*scenario->scene_layout)[0];
        layout.width = (*scenario->scene_layout)[1];
        layout.view_range = (*scenario->scene_layout)[2];
    } else if (scenario->settings_file) {
        Flash_param p{};
        std::memcpy(&p, scenario->settings_record.data(), sizeof p);
        layout.length = p.car_num.length;
        layout.width = p.car_num.car_lev;
        layout.view_range = p.im_param.view_range;
    }
    host::scene::configure(layout);
    const Flash_param calibrated = scene_settings(layout);
    // Before power-on, so rendering takes no board time.
    host::scene::prerender();
    host::BoardOptions board;
    board.root = g_out / "board";
    board.paced = options.paced.value_or(scenario->paced);
    board.clock_speed = options.speed.value_or(scenario->speed);
    board.echo_log = options.echo;
    board.start_mcu = !scenario->external_mcu;
    // Setting the board up takes no board time: the system powers on at 0
    // however fast the host is, so a run is the same at every speed.
    host::clock::hold();
    host::board_init(board);
    // From here on the board's threads run: a set-up error must stop them
    // before returning, or the process aborts on its way out.
    auto abandon = [](const std::string& message) {
        host::board_shutdown();
        std::cerr << "svsim: " << message << std::endl;
        return 2;
    };
    host::board_log_to_file(g_out / "board.log");
    host::board_set_code(static_cast<std::uint8_t>(scenario->board_code));
    if (scenario->rtc) {
        const auto& r = *scenario->rtc;
        host::rtc_set(r[0], r[1], r[2], r[3], r[4], r[5], r[6]);
    }
    host::capture_use_scene();
    for (std::size_t i = 0; i < scenario->captures.size(); ++i) {
        const CaptureSetting& c = scenario->captures[i];
        if (c.kind == "scene") {
            host::capture_use_scene();
        } else if (c.kind == "pattern") {
            host::capture_use_pattern();
        } else if (c.kind == "nosignal") {
            host::capture_set_signal(c.channel, false);
        } else if (!host::capture_use_yuv_file(c.channel, inputs.yuv_sources[i])) {
            return abandon("cannot use " + c.file.string() + " as raw 1280x720 YUV 4:2:2 frames");
        }
    }
    for (const auto& f : scenario->failures) apply_event(Event{0, 0, "fail", f}, g_out);
    for (const auto& d : scenario->disks) host::disk_insert(d.label, d.capacity_mb, d.partitioned, d.formatted);
    for (int line : scenario->mcu_reject_lines) host::mcu_reject_line(line);
    host::mcu_ignore_load(scenario->mcu_ignore_loads);
    host::mcu_reply_delay(scenario->mcu_reply_delay);
    for (std::size_t i = 0; i < scenario->disk_files.size(); ++i) {
        const DiskFile& f = scenario->disk_files[i];
        std::error_code ec;
        const fs::path to = host::disk_files(f.label) / f.name;
        fs::create_directories(to.parent_path(), ec);
        fs::copy_file(inputs.disk_sources[i], to, fs::copy_options::overwrite_existing, ec);
        if (ec) return abandon("line " + std::to_string(f.line) + ": cannot put " + f.source.string() + " on disk " +
                               f.label + ": " + ec.message());
    }
    if (scenario->scene_settings) {
        std::ofstream out(board.root / "home/config/ImageParam.dat", std::ios::binary);
        out.write(reinterpret_cast<const char*>(&calibrated), sizeof calibrated);
    } else if (scenario->settings_file) {
        std::ofstream out(board.root / "home/config/ImageParam.dat", std::ios::binary);
        if (!out.write(scenario->settings_record.data(), static_cast<std::streamsize>(scenario->settings_record.size())) ||
            !out.flush())
            return abandon("cannot write the settings file into " + board.root.string());
    }
    host::set_halt_handler([](std::string_view why) { finish(why); });
    inputs.close();

    std::cerr << "svsim: board root " << board.root.string() << "\n"
              << "svsim: serial line /dev/ttyAMA1 is " << host::mcu_tty_path()
              << (scenario->external_mcu ? " (open it to play the microcontroller)" : "") << "\n"
              << "svsim: system output in " << (g_out / "console.log").string() << std::endl;
    host::board_log("sim", "serial line " + host::mcu_tty_path());

    // The system's standard output goes to the console log.
    std::fflush(stdout);
    const int console = ::open((g_out / "console.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (console < 0 || ::dup2(console, STDOUT_FILENO) < 0) return abandon("cannot open the console log");
    ::close(console);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    // Board time for whoever watches the run (the tests tell a hung run from
    // a slow one by it): SVSIM_BOARD_TIME names a file that holds it.
    const char* time_file = std::getenv("SVSIM_BOARD_TIME");
    const int time_fd = time_file ? ::open(time_file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    g_board_up = true;
    g_progress.events = std::move(scenario->events);
    g_progress.file = options.scenario.string();
    std::thread player([out = g_out, time_fd] {
        auto report = [time_fd] {
            if (time_fd < 0) return;
            char text[32];
            const int n = std::snprintf(text, sizeof text, "%14.3f\n", host::board_uptime());
            if (::pwrite(time_fd, text, static_cast<std::size_t>(n), 0) < 0) {
                // Only a watcher's aid.
            }
        };
        Timeline timeline(g_progress.events);
        while (const auto step = timeline.next()) {
            const Event& e = step->event;
            for (double left; (left = e.time - host::board_uptime()) > 0;) {
                host::board_sleep(left < 0.05 ? left : 0.05, true);
                report();
            }
            if (step->index == 0) {
                std::lock_guard lock(g_progress.mutex);
                ++g_progress.begun;
                if (step->ramp) g_progress.ramps.push_back(step->ramp);
            }
            if (!step->ramp) {
                apply_event(e, out);
                continue;
            }
            // A ramp logs its first step with where it goes, and its last;
            // the steps between follow from those.
            const Event& r = *step->ramp;
            std::string note;
            if (step->index == 0) {
                std::ostringstream text;
                if (r.verb == "sweep") text << " (sweep to " << r.args[1];
                else text << " (approach " << r.args[0] << " to " << r.args[2] << " cm";
                text << " in " << r.duration << " s, " << r.steps + 1 << " steps)";
                note = text.str();
            } else if (step->index == r.steps) {
                note = " (end of " + r.verb + ")";
            }
            apply_event(e, out, note, !note.empty());
            if (step->index == r.steps) {
                std::lock_guard lock(g_progress.mutex);
                std::erase(g_progress.ramps, &r);
            }
        }
        finish("end of scenario");
    });
    player.detach();

    char name[] = "svsim";
    char* argv[] = {name, nullptr};
    host::clock::release();
    app_main(1, argv);
    finish("the system's main returned");
}

}  // namespace sim
