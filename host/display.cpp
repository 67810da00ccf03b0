// The display part of the board: the framebuffer layers "/dev/fb0" (over the
// HD output) and "/dev/fb2" (CVBS), and the picture a person sees on the panel.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "host/internal.h"
#include "platform/hifb.h"

namespace host {
namespace {

constexpr int kMaxWidth = 1920;
constexpr int kMaxHeight = 1200;
constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

bool bitfield_is(const fb_bitfield& f, HI_U32 offset, HI_U32 length) {
    return f.offset == offset && f.length == length && f.msb_right == 0;
}

void set_bitfield(fb_bitfield& f, HI_U32 offset, HI_U32 length) { f = fb_bitfield{offset, length, 0}; }

// The layer as it comes out of reset: PAL size, 16 bits, so the system has to
// set it up before anything can be shown.
fb_var_screeninfo reset_var() {
    fb_var_screeninfo v{};
    v.xres = v.xres_virtual = 720;
    v.yres = v.yres_virtual = 576;
    v.bits_per_pixel = 16;
    set_bitfield(v.transp, 15, 1);
    set_bitfield(v.red, 10, 5);
    set_bitfield(v.green, 5, 5);
    set_bitfield(v.blue, 0, 5);
    return v;
}

bool argb8888(const fb_var_screeninfo& v) {
    return v.bits_per_pixel == 32 && bitfield_is(v.transp, 24, 8) && bitfield_is(v.red, 16, 8) &&
           bitfield_is(v.green, 8, 8) && bitfield_is(v.blue, 0, 8);
}

bool argb1555(const fb_var_screeninfo& v) {
    return v.bits_per_pixel == 16 && bitfield_is(v.transp, 15, 1) && bitfield_is(v.red, 10, 5) &&
           bitfield_is(v.green, 5, 5) && bitfield_is(v.blue, 0, 5);
}

std::uint32_t from1555(std::uint32_t p) {
    const std::uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
    const std::uint32_t a = (p & 0x8000u) ? 0xFFu : 0u;
    return a << 24 | ((r << 3) | (r >> 2)) << 16 | ((g << 3) | (g >> 2)) << 8 | ((b << 3) | (b >> 2));
}

std::uint32_t to1555(std::uint32_t p) {
    return ((p >> 31) & 1u) << 15 | ((p >> 19) & 31u) << 10 | ((p >> 11) & 31u) << 5 | ((p >> 3) & 31u);
}

bool double_buffered(HIFB_LAYER_BUF_E mode) {
    return mode == HIFB_LAYER_BUF_DOUBLE || mode == HIFB_LAYER_BUF_DOUBLE_IMMEDIATE;
}

// Settings of the layer that live only in the layer information; position
// and display size are the origin and the visible size.
struct LayerSettings {
    HIFB_LAYER_BUF_E buf_mode = HIFB_LAYER_BUF_NONE;
    HIFB_LAYER_ANTIFLICKER_LEVEL_E antiflicker = HIFB_LAYER_ANTIFLICKER_NONE;
    int canvas_width = 720, canvas_height = 576;
    int screen_width = 720, screen_height = 576;
    bool premultiplied = false;
};

struct Layer {
    int opens = 0;
    fb_var_screeninfo var = reset_var();
    bool var_put = false;  // screen information put since the open
    LayerSettings settings;
    FbLayer geometry{false, 0, 0, 720, 576};
    std::vector<std::uint32_t> pixels;  // what the layer shows, xres x yres ARGB8888
    std::string refused;                // last refusal reason logged this set-up

    Layer() : pixels(static_cast<std::size_t>(720 * 576), 0u) {}

    bool ready() const { return opens > 0 && var_put && double_buffered(settings.buf_mode) && geometry.shown; }

    void resize(int xres, int yres) {
        if (xres == geometry.xres && yres == geometry.yres) return;
        geometry.xres = xres;
        geometry.yres = yres;
        pixels.assign(static_cast<std::size_t>(xres) * static_cast<std::size_t>(yres), 0u);
    }
};

struct Display {
    std::mutex mutex;
    Layer fb0;
    Picture canvas;  // the last canvas handed over
    std::uint64_t refreshes = 0;
};
Display g;

// Logs after the display lock is released, so the log's lock never nests in it.
class Note {
public:
    void set(std::string text) { text_ = std::move(text); }
    ~Note() {
        if (!text_.empty()) board_log("fb", text_);
    }

private:
    std::string text_;
};

int refuse(Layer& layer, int error, const std::string& why, Note& note) {
    if (layer.refused != why) {
        layer.refused = why;
        note.set("refresh refused: " + why);
    }
    return error;
}

int put_var(Layer& layer, const fb_var_screeninfo& v, Note& note) {
    if (!argb8888(v) && !argb1555(v)) return -EINVAL;
    if (v.xres == 0 || v.yres == 0 || v.xres > v.xres_virtual || v.yres > v.yres_virtual) return -EINVAL;
    if (v.xres_virtual > kMaxWidth || v.yres_virtual > kMaxHeight) return -EINVAL;
    if (std::uint64_t{v.xoffset} + v.xres > v.xres_virtual || std::uint64_t{v.yoffset} + v.yres > v.yres_virtual)
        return -EINVAL;
    layer.var = v;
    layer.var_put = true;
    layer.resize(static_cast<int>(v.xres), static_cast<int>(v.yres));
    note.set("/dev/fb0 " + std::to_string(v.xres) + "x" + std::to_string(v.yres) + " virtual " +
             std::to_string(v.xres_virtual) + "x" + std::to_string(v.yres_virtual) + " " +
             std::to_string(v.bits_per_pixel) + " bpp");
    return 0;
}

HIFB_LAYER_INFO_S get_layer_info(const Layer& layer) {
    HIFB_LAYER_INFO_S info{};
    info.BufMode = layer.settings.buf_mode;
    info.eAntiflickerLevel = layer.settings.antiflicker;
    info.s32XPos = layer.geometry.origin_x;
    info.s32YPos = layer.geometry.origin_y;
    info.s32CanvasWidth = layer.settings.canvas_width;
    info.s32CanvasHeight = layer.settings.canvas_height;
    info.u32DisplayWidth = static_cast<HI_U32>(layer.geometry.xres);
    info.u32DisplayHeight = static_cast<HI_U32>(layer.geometry.yres);
    info.u32ScreenWidth = static_cast<HI_U32>(layer.settings.screen_width);
    info.u32ScreenHeight = static_cast<HI_U32>(layer.settings.screen_height);
    info.bPreMul = layer.settings.premultiplied ? HI_TRUE : HI_FALSE;
    info.bUnchanged = HI_FALSE;
    info.u32Mask = 0;
    return info;
}

// Checks every named field first so a bad put changes nothing.
int put_layer_info(Layer& layer, const HIFB_LAYER_INFO_S& in, Note& note) {
    const HI_U32 m = in.u32Mask;
    auto within = [](std::int64_t v, std::int64_t lo, std::int64_t hi) { return v >= lo && v <= hi; };
    if ((m & HIFB_LAYERMASK_BUFMODE) && !within(in.BufMode, 0, 3)) return -EINVAL;
    if ((m & HIFB_LAYERMASK_ANTIFLICKER_MODE) && !within(in.eAntiflickerLevel, 0, 4)) return -EINVAL;
    if ((m & HIFB_LAYERMASK_POS) && (in.s32XPos < 0 || in.s32YPos < 0)) return -EINVAL;
    if ((m & HIFB_LAYERMASK_CANVASSIZE) &&
        (!within(in.s32CanvasWidth, 1, kMaxWidth) || !within(in.s32CanvasHeight, 1, kMaxHeight)))
        return -EINVAL;
    if ((m & HIFB_LAYERMASK_DISPSIZE) && (!within(in.u32DisplayWidth, 1, layer.var.xres_virtual) ||
                                          !within(in.u32DisplayHeight, 1, layer.var.yres_virtual)))
        return -EINVAL;
    if ((m & HIFB_LAYERMASK_SCREENSIZE) &&
        (!within(in.u32ScreenWidth, 1, kMaxWidth) || !within(in.u32ScreenHeight, 1, kMaxHeight)))
        return -EINVAL;
    if ((m & HIFB_LAYERMASK_BMUL) && !within(in.bPreMul, 0, 1)) return -EINVAL;

    if (m & HIFB_LAYERMASK_BUFMODE) layer.settings.buf_mode = in.BufMode;
    if (m & HIFB_LAYERMASK_ANTIFLICKER_MODE) layer.settings.antiflicker = in.eAntiflickerLevel;
    if (m & HIFB_LAYERMASK_POS) {
        layer.geometry.origin_x = in.s32XPos;
        layer.geometry.origin_y = in.s32YPos;
    }
    if (m & HIFB_LAYERMASK_CANVASSIZE) {
        layer.settings.canvas_width = in.s32CanvasWidth;
        layer.settings.canvas_height = in.s32CanvasHeight;
    }
    if (m & HIFB_LAYERMASK_DISPSIZE) {
        layer.var.xres = in.u32DisplayWidth;
        layer.var.yres = in.u32DisplayHeight;
        layer.var.xoffset = std::min(layer.var.xoffset, layer.var.xres_virtual - layer.var.xres);
        layer.var.yoffset = std::min(layer.var.yoffset, layer.var.yres_virtual - layer.var.yres);
        layer.resize(static_cast<int>(in.u32DisplayWidth), static_cast<int>(in.u32DisplayHeight));
    }
    if (m & HIFB_LAYERMASK_SCREENSIZE) {
        layer.settings.screen_width = static_cast<int>(in.u32ScreenWidth);
        layer.settings.screen_height = static_cast<int>(in.u32ScreenHeight);
    }
    if (m & HIFB_LAYERMASK_BMUL) layer.settings.premultiplied = in.bPreMul == HI_TRUE;
    note.set("layer info buffer mode " + std::to_string(layer.settings.buf_mode) + " anti-flicker " +
             std::to_string(layer.settings.antiflicker));
    return 0;
}

// Copies the canvas as handed over, then scales the update rectangle onto the
// layer's visible area (nearest neighbour; a plain row copy when sizes match).
int refresh(Display& d, const HIFB_BUFFER_S& buf, Note& note) {
    Layer& layer = d.fb0;
    if (!layer.var_put) return refuse(layer, -EINVAL, "screen information not set since open", note);
    if (!double_buffered(layer.settings.buf_mode))
        return refuse(layer, -EINVAL, "buffer mode " + std::to_string(layer.settings.buf_mode) + " is not double",
                      note);
    if (!layer.geometry.shown) return refuse(layer, -EINVAL, "layer not shown", note);

    const HIFB_SURFACE_S& c = buf.stCanvas;
    std::size_t bpp = 0;
    if (c.enFmt == HIFB_FMT_ARGB8888)
        bpp = 4;
    else if (c.enFmt == HIFB_FMT_ARGB1555)
        bpp = 2;
    else
        return refuse(layer, -EINVAL, "canvas format " + std::to_string(c.enFmt) + " not supported", note);
    if (c.u32Width == 0 || c.u32Height == 0 || std::uint64_t{c.u32Pitch} < std::uint64_t{c.u32Width} * bpp)
        return refuse(layer, -EINVAL, "bad canvas size or pitch", note);
    const auto* src = static_cast<const std::uint8_t*>(
        mmz_resolve(c.u32PhyAddr, std::size_t{c.u32Pitch} * std::size_t{c.u32Height}));
    if (!src) return refuse(layer, -EFAULT, "canvas not in media memory", note);
    const HIFB_RECT& r = buf.UpdateRect;
    if (r.x < 0 || r.y < 0 || r.w <= 0 || r.h <= 0 || std::int64_t{r.x} + r.w > std::int64_t{c.u32Width} ||
        std::int64_t{r.y} + r.h > std::int64_t{c.u32Height})
        return refuse(layer, -EINVAL, "update rectangle outside the canvas", note);
    layer.refused.clear();

    const int cw = static_cast<int>(c.u32Width), ch = static_cast<int>(c.u32Height);
    Picture& canvas = d.canvas;
    canvas.width = cw;
    canvas.height = ch;
    canvas.argb.resize(static_cast<std::size_t>(cw) * static_cast<std::size_t>(ch));
    for (int y = 0; y < ch; ++y) {
        const std::uint8_t* row = src + std::size_t{c.u32Pitch} * static_cast<std::size_t>(y);
        std::uint32_t* out = canvas.argb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(cw);
        if (bpp == 4) {
            std::memcpy(out, row, static_cast<std::size_t>(cw) * 4);
        } else {
            for (int x = 0; x < cw; ++x)
                out[x] = from1555(std::uint32_t{row[2 * x]} | std::uint32_t{row[2 * x + 1]} << 8);
        }
    }

    const int xres = layer.geometry.xres, yres = layer.geometry.yres;
    // Layer pixels whose nearest canvas pixel lies in the update rectangle.
    auto first = [](std::int64_t v, std::int64_t dst, std::int64_t srcn) {
        return static_cast<int>((v * dst + srcn - 1) / srcn);
    };
    const int dx0 = first(r.x, xres, cw), dx1 = first(std::int64_t{r.x} + r.w, xres, cw);
    const int dy0 = first(r.y, yres, ch), dy1 = first(std::int64_t{r.y} + r.h, yres, ch);
    const bool quantize = layer.var.bits_per_pixel == 16;
    for (int dy = dy0; dy < dy1; ++dy) {
        const int sy = static_cast<int>(std::int64_t{dy} * ch / yres);
        const std::uint32_t* in = canvas.argb.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(cw);
        std::uint32_t* out = layer.pixels.data() + static_cast<std::size_t>(dy) * static_cast<std::size_t>(xres);
        if (xres == cw) {
            std::memcpy(out + dx0, in + dx0, static_cast<std::size_t>(dx1 - dx0) * 4);
        } else {
            for (int dx = dx0; dx < dx1; ++dx) out[dx] = in[std::int64_t{dx} * cw / xres];
        }
        // A 16-bit layer keeps only five bits per colour and one of alpha.
        if (quantize)
            for (int dx = dx0; dx < dx1; ++dx) out[dx] = from1555(to1555(out[dx]));
    }
    ++d.refreshes;
    return 0;
}

class Fb0 final : public Device {
public:
    int open(int) override {
        Note note;
        std::lock_guard lock(g.mutex);
        if (g.fb0.opens++ == 0) note.set("/dev/fb0 open");
        return 0;
    }

    void close() override {
        Note note;
        std::lock_guard lock(g.mutex);
        if (g.fb0.opens > 0 && --g.fb0.opens == 0) {
            // The last close hides the layer and forgets its set-up.
            g.fb0 = Layer{};
            note.set("/dev/fb0 closed, layer hidden");
        }
    }

    int ioctl(unsigned long request, void* arg) override {
        switch (request) {
        case FBIOPUT_SCREEN_ORIGIN_HIFB:
        case FBIOGET_VSCREENINFO:
        case FBIOPUT_VSCREENINFO:
        case FBIOGET_LAYER_INFO:
        case FBIOPUT_LAYER_INFO:
        case FBIOPUT_SHOW_HIFB:
        case FBIO_REFRESH:
            break;
        default:
            return -ENOTTY;
        }
        if (!arg) return -EFAULT;
        Note note;
        std::lock_guard lock(g.mutex);
        Layer& layer = g.fb0;
        switch (request) {
        case FBIOPUT_SCREEN_ORIGIN_HIFB: {
            const auto* p = static_cast<const HIFB_POINT_S*>(arg);
            if (p->s32XPos < 0 || p->s32YPos < 0) return -EINVAL;
            layer.geometry.origin_x = p->s32XPos;
            layer.geometry.origin_y = p->s32YPos;
            note.set("origin " + std::to_string(p->s32XPos) + "," + std::to_string(p->s32YPos));
            return 0;
        }
        case FBIOGET_VSCREENINFO:
            *static_cast<fb_var_screeninfo*>(arg) = layer.var;
            return 0;
        case FBIOPUT_VSCREENINFO:
            return put_var(layer, *static_cast<const fb_var_screeninfo*>(arg), note);
        case FBIOGET_LAYER_INFO:
            *static_cast<HIFB_LAYER_INFO_S*>(arg) = get_layer_info(layer);
            return 0;
        case FBIOPUT_LAYER_INFO:
            return put_layer_info(layer, *static_cast<const HIFB_LAYER_INFO_S*>(arg), note);
        case FBIOPUT_SHOW_HIFB: {
            const HI_BOOL show = *static_cast<const HI_BOOL*>(arg);
            if (show != HI_TRUE && show != HI_FALSE) return -EINVAL;
            layer.geometry.shown = show == HI_TRUE;
            note.set(std::string("show ") + (layer.geometry.shown ? "1" : "0"));
            return 0;
        }
        default:
            return refresh(g, *static_cast<const HIFB_BUFFER_S*>(arg), note);
        }
    }
};

// The CVBS output's layer: the system only opens and closes it.
class Fb2 final : public Device {
public:
    int open(int) override {
        board_log("fb", "/dev/fb2 open");
        return 0;
    }
    void close() override { board_log("fb", "/dev/fb2 close"); }
};

Picture filled(int width, int height, std::uint32_t argb) {
    Picture p;
    p.width = width;
    p.height = height;
    p.argb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), argb);
    return p;
}

std::uint32_t blend(std::uint32_t src, std::uint32_t dst, bool premultiplied) {
    const std::uint32_t a = src >> 24;
    if (a == 255 && !premultiplied) return src | kOpaqueBlack;
    std::uint32_t out = kOpaqueBlack;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t s = (src >> shift) & 0xFF, t = (dst >> shift) & 0xFF;
        std::uint32_t c = premultiplied ? s + (t * (255 - a) + 127) / 255 : (s * a + t * (255 - a) + 127) / 255;
        out |= std::min(c, 255u) << shift;
    }
    return out;
}

}  // namespace

void display_power_on() {
    {
        std::lock_guard lock(g.mutex);
        g.fb0 = Layer{};
        g.canvas = Picture{};
        g.refreshes = 0;
    }
    register_device("/dev/fb0", std::make_shared<Fb0>());
    register_device("/dev/fb2", std::make_shared<Fb2>());
}

void display_power_off() {
    std::lock_guard lock(g.mutex);
    g.fb0 = Layer{};
    g.canvas = Picture{};
    g.refreshes = 0;
}

bool fb_shown() {
    std::lock_guard lock(g.mutex);
    return g.fb0.ready();
}

std::uint64_t fb_refresh_count() {
    std::lock_guard lock(g.mutex);
    return g.refreshes;
}

Picture canvas_picture() {
    std::lock_guard lock(g.mutex);
    return g.canvas;
}

Picture panel_picture() {
    // The other parts are asked before taking the display lock.
    const HdOutput hd = hd_output();
    if (!hd.enabled || hd.width <= 0 || hd.height <= 0) return filled(800, 480, kOpaqueBlack);
    if (!av_power()) return filled(hd.width, hd.height, kOpaqueBlack);
    Picture panel = filled(hd.width, hd.height, hd.background | kOpaqueBlack);
    const std::size_t pw = static_cast<std::size_t>(hd.width);
    // The video layer lies under the framebuffer: it shows where the canvas is transparent.
    hd_draw_video(panel);

    std::lock_guard lock(g.mutex);
    const Layer& layer = g.fb0;
    if (!layer.geometry.shown || layer.pixels.empty()) return panel;
    const std::int64_t ox = layer.geometry.origin_x, oy = layer.geometry.origin_y;
    const std::int64_t lw = layer.geometry.xres, lh = layer.geometry.yres;
    const std::int64_t x0 = std::max<std::int64_t>(ox, 0), x1 = std::min<std::int64_t>(ox + lw, hd.width);
    const std::int64_t y0 = std::max<std::int64_t>(oy, 0), y1 = std::min<std::int64_t>(oy + lh, hd.height);
    const bool premultiplied = layer.settings.premultiplied;
    for (std::int64_t y = y0; y < y1; ++y) {
        const std::uint32_t* in = layer.pixels.data() + static_cast<std::size_t>((y - oy) * lw);
        std::uint32_t* out = panel.argb.data() + static_cast<std::size_t>(y) * pw;
        for (std::int64_t x = x0; x < x1; ++x) out[x] = blend(in[x - ox], out[x], premultiplied);
    }
    return panel;
}

}  // namespace host
