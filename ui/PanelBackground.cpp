#include "ui/PanelBackground.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>
#include <cairo-xlib-xrender.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <png.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <wx/bitmap.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/utils.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {
// Bytes put into the window system at a time through cairo (where the X
// pixmap cannot be written directly): under the size from which cairo hands
// an image over through a shared-memory block (a pool of half a megabyte or
// more, kept), so each strip goes out in an ordinary request.
constexpr int kStripBytes = 4000;
// Bytes put into an X pixmap with one request, where that is done directly.
constexpr int kRequestBytes = 64 * 1024;

// libpng reports errors by jumping back to the last setjmp; each step that
// can fail is a small function of its own, with nothing to destroy on the way.
bool ReadInfo(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    return true;
}

// 8 bits a channel whatever the file holds: a file without transparency as
// cairo's and the window system's 32-bit pixel (red, green, blue in the low
// three bytes of a native word), so that rows go out as read; otherwise RGBA
// bytes, premultiplied afterwards. The number of passes.
bool ChooseFormat(png_structp png, png_infop info, bool opaque, int* passes) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    if (!opaque) png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    else if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    } else
        png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
    *passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRow(png_structp png, png_bytep row) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_row(png, row, nullptr);
    return true;
}

bool ReadImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

// Rows of pixels in cairo's 32-bit form, in memory of their own that goes
// back to the system as soon as they have been sent on.
struct PixelStrip {
    PixelStrip(int width, int maxRows, bool opaque) : width(width), stride(width * 4), opaque(opaque) {
        bytes = static_cast<size_t>(stride) * maxRows;
        void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block != MAP_FAILED) data = static_cast<unsigned char*>(block);
    }
    ~PixelStrip() {
        if (data) munmap(data, bytes);
    }
    PixelStrip(const PixelStrip&) = delete;
    PixelStrip& operator=(const PixelStrip&) = delete;

    unsigned char* data = nullptr;
    size_t bytes = 0;
    int width, stride;
    bool opaque;
    int first = 0, rows = 0;  // where the rows held now belong
};

// libpng's memory and the file's bytes, taken from one block of the
// reader's own that goes back to the system whole when the file is closed,
// so that reading leaves nothing behind in the heap (on the early upload's
// thread, a heap of its own). What does not fit comes from the heap.
class ReaderMemory {
public:
    static constexpr size_t kBlockBytes = 1 << 20;  // address space; only what is touched is memory
    ReaderMemory() {
        void* mapped = mmap(nullptr, kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapped != MAP_FAILED) block = static_cast<unsigned char*>(mapped);
    }
    ~ReaderMemory() {
        if (block) munmap(block, kBlockBytes);
    }
    ReaderMemory(const ReaderMemory&) = delete;
    ReaderMemory& operator=(const ReaderMemory&) = delete;

    void* Take(size_t bytes) {
        bytes = (bytes + 15) & ~size_t{15};
        if (block && bytes <= kBlockBytes - used) {
            used += bytes;
            return block + used - bytes;
        }
        return std::malloc(bytes);
    }
    void Give(void* p) {
        auto* bytes = static_cast<unsigned char*>(p);
        if (!block || bytes < block || bytes >= block + kBlockBytes) std::free(p);
    }
    static png_voidp TakeFor(png_structp png, png_alloc_size_t bytes) {
        return static_cast<ReaderMemory*>(png_get_mem_ptr(png))->Take(bytes);
    }
    static void GiveFor(png_structp png, png_voidp p) { static_cast<ReaderMemory*>(png_get_mem_ptr(png))->Give(p); }

private:
    unsigned char* block = nullptr;
    size_t used = 0;
};

// One PNG file being read.
class PngFile {
public:
    explicit PngFile(const wxString& path) : PngFile(std::string(path.fn_str())) {}
    explicit PngFile(const std::string& path) : fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd < 0) return;
        buffer = static_cast<unsigned char*>(memory.Take(kBufferBytes));
        png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, &memory, ReaderMemory::TakeFor,
                                       ReaderMemory::GiveFor);
        if (png) info = png_create_info_struct(png);
        if (!info || !buffer) return;
#ifdef PNG_IGNORE_ADLER32
        // The checksum of the inflated data costs as much again as reading a
        // row; each chunk's own checksum still covers the compressed bytes.
        png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
        png_set_read_fn(png, this, ReadBytes);
        ok = ReadInfo(png, info);
    }
    ~PngFile() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (buffer) memory.Give(buffer);
        if (fd >= 0) close(fd);
    }
    bool Ok() const { return ok; }
    int Width() const { return static_cast<int>(png_get_image_width(png, info)); }
    int Height() const { return static_cast<int>(png_get_image_height(png, info)); }
    bool Interlaced() const { return png_get_interlace_type(png, info) != PNG_INTERLACE_NONE; }
    bool Opaque() const {
        return !(png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS);
    }

    // Calls sink(strip) for each strip of up to `stripRows` rows, in cairo's
    // pixel format (premultiplied). False on a damaged file.
    template <class Sink>
    bool ReadStrips(int stripRows, Sink sink) {
        int passes = 1;
        const bool opaque = ok && Opaque();
        if (!ok || !ChooseFormat(png, info, opaque, &passes)) return false;
        const int width = Width(), height = Height();
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        // An interlaced file is only whole after its last pass.
        if (passes > 1) stripRows = height;
        stripRows = std::min(stripRows, height);
        // Rows of RGBA, or the whole interlaced file, before they take cairo's form.
        std::vector<png_byte> read(!opaque || passes > 1 ? rowBytes * (passes > 1 ? height : 1) : 0);
        PixelStrip strip(width, stripRows, opaque);
        bool good = strip.data != nullptr;
        if (good && passes > 1) {
            std::vector<png_bytep> rows(height);
            for (int y = 0; y < height; ++y) rows[y] = read.data() + y * rowBytes;
            good = ReadImage(png, rows.data());
        }
        for (strip.first = 0; good && strip.first < height; strip.first += stripRows) {
            strip.rows = std::min(stripRows, height - strip.first);
            for (int r = 0; good && r < strip.rows; ++r) {
                auto* out = strip.data + static_cast<size_t>(r) * strip.stride;
                const png_byte* in = read.data();
                if (passes > 1) in += (strip.first + r) * rowBytes;
                else good = ReadRow(png, opaque ? out : read.data());
                if (opaque) {
                    if (passes > 1) std::memcpy(out, in, rowBytes);
                    continue;
                }
                auto* pixels = reinterpret_cast<uint32_t*>(out);
                for (int x = 0; x < width; ++x, in += 4) {
                    const uint32_t a = in[3];
                    auto mul = [a](uint32_t c) { return a == 255 ? c : (c * a + 127) / 255; };
                    pixels[x] = a << 24 | mul(in[0]) << 16 | mul(in[1]) << 8 | mul(in[2]);
                }
            }
            if (good) sink(strip);
        }
        return good;
    }

private:
    // libpng asks for a few bytes at a time: read a buffer's worth at once.
    static void ReadBytes(png_structp png, png_bytep out, size_t length) {
        auto* self = static_cast<PngFile*>(png_get_io_ptr(png));
        while (length > 0) {
            if (self->next == self->end) {
                ssize_t got;
                do got = read(self->fd, self->buffer, kBufferBytes);
                while (got < 0 && errno == EINTR);
                if (got <= 0) png_error(png, "the file ends early");
                self->next = 0;
                self->end = static_cast<size_t>(got);
            }
            const size_t n = std::min(length, self->end - self->next);
            std::memcpy(out, self->buffer + self->next, n);
            self->next += n;
            out += n;
            length -= n;
        }
    }

    static constexpr size_t kBufferBytes = 16 * 1024;
    ReaderMemory memory;  // first: outlives what is taken from it
    int fd = -1;
    unsigned char* buffer = nullptr;
    size_t next = 0, end = 0;
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool ok = false;
};

// Copies `rows` rows of `strip` to `target` at row `first`, replacing what was there.
void PutStrip(cairo_t* target, cairo_surface_t* strip, int first, int rows) {
    cairo_set_operator(target, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(target, strip, 0, first);
    cairo_rectangle(target, 0, first, cairo_image_surface_get_width(strip), rows);
    cairo_fill(target);
}

void PutStrip(cairo_t* target, const PixelStrip& strip) {
    cairo_surface_t* rows = cairo_image_surface_create_for_data(
        strip.data, strip.opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, strip.width, strip.rows, strip.stride);
    PutStrip(target, rows, strip.first, strip.rows);
    cairo_surface_finish(rows);  // cairo lets go of the rows before they change
    cairo_surface_destroy(rows);
}

// Puts strips straight into an X pixmap with one request each, past cairo,
// which would send each through a shared-memory block above a few kilobytes.
class PixmapWriter {
public:
    explicit PixmapWriter(cairo_surface_t* pixmap) : pixmap(pixmap) {
        if (cairo_surface_get_type(pixmap) != CAIRO_SURFACE_TYPE_XLIB) return;
        const int depth = cairo_xlib_surface_get_depth(pixmap);
        if (depth != 24 && depth != 32) return;
        display = cairo_xlib_surface_get_display(pixmap);
        drawable = cairo_xlib_surface_get_drawable(pixmap);
        // 32 bits a pixel, as cairo's strips hold them.
        int formats = 0;
        XPixmapFormatValues* list = XListPixmapFormats(display, &formats);
        for (int i = 0; i < formats; ++i)
            if (list[i].depth == depth) usable = list[i].bits_per_pixel == 32;
        if (list) XFree(list);
        if (!usable) return;
        this->depth = depth;
        gc = XCreateGC(display, drawable, 0, nullptr);
        cairo_surface_flush(pixmap);
    }
    ~PixmapWriter() {
        if (gc) XFreeGC(display, gc);
        if (usable) cairo_surface_mark_dirty(pixmap);
    }
    bool Usable() const { return usable; }
    void Put(const PixelStrip& strip) {
        XImage image{};
        image.width = strip.width;
        image.height = strip.rows;
        image.format = ZPixmap;
        image.data = reinterpret_cast<char*>(strip.data);
        image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = image.byte_order;
        image.bitmap_pad = 32;
        image.depth = depth;
        image.bytes_per_line = strip.stride;
        image.bits_per_pixel = 32;
        if (!XInitImage(&image)) return;
        XPutImage(display, drawable, gc, &image, 0, 0, 0, strip.first, strip.width, strip.rows);
    }

private:
    cairo_surface_t* pixmap;
    Display* display = nullptr;
    Drawable drawable = 0;
    GC gc = nullptr;
    int depth = 0;
    bool usable = false;
};

// The window system's byte order for a 32-bit pixel, as XCB names it.
constexpr int kNativeImageOrder =
    std::endian::native == std::endian::little ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
}  // namespace

// A picture without transparency put into an X pixmap by a thread of its own
// over a connection of its own (Xlib's connection belongs to the GUI thread;
// XCB's may be used from any one thread). The server frees the pixmap when
// this connection closes.
class CPanelBackground::EarlyUpload {
public:
    EarlyUpload(const wxString& pngPath, const std::string& displayName)
        : path(pngPath), display(displayName), file(pngPath.fn_str()) {
        thread = std::thread([this] { Run(); });
    }
    ~EarlyUpload() {
        Finish();
        if (connection) xcb_disconnect(connection);
    }
    EarlyUpload(const EarlyUpload&) = delete;
    EarlyUpload& operator=(const EarlyUpload&) = delete;

    // Waits for the thread; afterwards the results below may be read.
    void Finish() {
        if (thread.joinable()) thread.join();
    }
    const wxString& Path() const { return path; }
    const std::string& Display() const { return display; }
    // The pixmap holding the whole picture (depth 24), or 0.
    uint32_t Pixmap() const { return pixmap; }
    wxSize Size() const { return size; }

private:
    void Run() {
        int screenNumber = 0;
        connection = xcb_connect(display.c_str(), &screenNumber);
        if (xcb_connection_has_error(connection)) return;
        const xcb_setup_t* setup = xcb_get_setup(connection);
        if (setup->image_byte_order != kNativeImageOrder) return;
        bool pixels32 = false;
        for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
            if (f.data->depth == 24) pixels32 = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
        auto screens = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
        if (!pixels32 || !screens.rem) return;

        // An interlaced file would be held whole before it could be sent.
        PngFile png(file);
        if (!png.Ok() || !png.Opaque() || png.Interlaced()) return;
        const int width = png.Width(), height = png.Height();
        if (width > 0xffff || height > 0xffff) return;
        const xcb_pixmap_t id = xcb_generate_id(connection);
        const xcb_void_cookie_t made = xcb_create_pixmap_checked(connection, 24, id, screens.data->root, width, height);
        const xcb_gcontext_t gc = xcb_generate_id(connection);
        xcb_create_gc(connection, gc, id, 0, nullptr);
        const bool read = png.ReadStrips(std::max(1, kRequestBytes / (width * 4)), [&](const PixelStrip& strip) {
            xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, id, gc, width, strip.rows, 0, strip.first, 0, 24,
                          static_cast<uint32_t>(strip.stride) * strip.rows, strip.data);
        });
        xcb_free_gc(connection, gc);
        // A round trip: answered once the server has done everything sent so far.
        xcb_generic_error_t* error = xcb_request_check(connection, made);
        free(error);
        if (error || !read || xcb_connection_has_error(connection)) return;
        pixmap = id;
        size = wxSize(width, height);
    }

    const wxString path;
    const std::string display;
    const std::string file;
    xcb_connection_t* connection = nullptr;
    uint32_t pixmap = 0;
    wxSize size;
    std::thread thread;
};

namespace {
// An early upload no picture has taken yet.
std::unique_ptr<CPanelBackground::EarlyUpload>& pendingUpload() {
    static std::unique_ptr<CPanelBackground::EarlyUpload> upload;
    return upload;
}
}  // namespace

CPanelBackground::CPanelBackground(const wxString& pngPath) : path(pngPath) {
    PngFile file(path);
    if (file.Ok()) size = wxSize(file.Width(), file.Height());
    if (pendingUpload() && pendingUpload()->Path() == path) early = std::move(pendingUpload());
}

void CPanelBackground::StartEarlyUpload(const wxString& pngPath) {
    pendingUpload().reset();
    const wxDisplayInfo display = wxGetDisplayInfo();
    if (display.type != wxDisplayX11 || !display.dpy) return;
    pendingUpload() = std::make_unique<EarlyUpload>(pngPath, XDisplayString(static_cast<Display*>(display.dpy)));
}

void CPanelBackground::EndEarlyUpload() { pendingUpload().reset(); }

cairo_surface_t* CPanelBackground::TakeEarlyUpload(cairo_surface_t* target) {
    early->Finish();
    Display* display = cairo_surface_get_type(target) == CAIRO_SURFACE_TYPE_XLIB ? cairo_xlib_surface_get_display(target) : nullptr;
    XRenderPictFormat* format = display ? XRenderFindStandardFormat(display, PictStandardRGB24) : nullptr;
    cairo_surface_t* pixmap = nullptr;
    if (format && early->Pixmap() && early->Size() == size && early->Display() == XDisplayString(display))
        pixmap = cairo_xlib_surface_create_with_xrender_format(display, early->Pixmap(), cairo_xlib_surface_get_screen(target),
                                                               format, size.x, size.y);
    if (pixmap && cairo_surface_status(pixmap) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(pixmap);
        pixmap = nullptr;
    }
    if (pixmap) earlyUser = display;
    else early.reset();
    return pixmap;
}

CPanelBackground::~CPanelBackground() {
    if (image) cairo_surface_destroy(image);
    if (held) cairo_surface_destroy(held);
    // Requests on the pixmap still on their way from this connection go
    // before the other one lets the pixmap go.
    if (earlyUser) XSync(earlyUser, False);
}

cairo_surface_t* CPanelBackground::DecodedCopy() {
    if (image || !IsOk() || damaged) return image;
    PngFile file(path);
    cairo_surface_t* copy =
        cairo_image_surface_create(file.Ok() && file.Opaque() ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, size.x, size.y);
    cairo_t* cr = cairo_create(copy);
    bool good = false;
    if (held) {
        // The file is not read again: the window system's copy is the picture.
        cairo_set_source_surface(cr, held, 0, 0);
        cairo_paint(cr);
        good = true;
    } else if (file.Ok()) {
        good = file.ReadStrips(size.y, [cr](const PixelStrip& strip) { PutStrip(cr, strip); });
    }
    cairo_destroy(cr);
    if (!good || cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(copy);
        damaged = !good;
        return nullptr;
    }
    image = copy;
    return image;
}

void CPanelBackground::Draw(wxDC& dc) {
    if (!IsOk() || damaged) return;
    wxGraphicsContext* gc = dc.GetGraphicsContext();
    cairo_t* cr = gc ? static_cast<cairo_t*>(gc->GetNativeContext()) : nullptr;
    if (!cr) {
        // A device context that does not draw through cairo gets a bitmap.
        cairo_surface_t* copy = DecodedCopy();
        if (!copy) return;
        cairo_surface_flush(copy);
        wxImage picture(size.x, size.y, false);
        const unsigned char* data = cairo_image_surface_get_data(copy);
        const int stride = cairo_image_surface_get_stride(copy);
        for (int y = 0; y < size.y; ++y)
            for (int x = 0; x < size.x; ++x) {
                const uint32_t p = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride)[x];
                picture.SetRGB(x, y, p >> 16 & 0xff, p >> 8 & 0xff, p & 0xff);
            }
        dc.DrawBitmap(wxBitmap(picture), 0, 0, false);
        return;
    }
    cairo_surface_t* target = cairo_get_target(cr);
    double scaleX = 1, scaleY = 1;
    cairo_surface_get_device_scale(target, &scaleX, &scaleY);
    const bool windowSystem = cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE && scaleX == 1 && scaleY == 1;
    // The early upload serves a window, or is let go.
    if (early && !held) {
        if (windowSystem) held = TakeEarlyUpload(target);
        else early.reset();
    }
    if (windowSystem && !held) {
        PngFile file(path);
        const bool opaque = image ? cairo_image_surface_get_format(image) == CAIRO_FORMAT_RGB24 : file.Opaque();
        cairo_surface_t* copy =
            cairo_surface_create_similar(target, opaque ? CAIRO_CONTENT_COLOR : CAIRO_CONTENT_COLOR_ALPHA, size.x, size.y);
        bool good = true;
        if (image) {
            cairo_t* fill = cairo_create(copy);
            PutStrip(fill, image, 0, size.y);
            cairo_destroy(fill);
        } else if (PixmapWriter writer(copy); writer.Usable()) {
            good = file.ReadStrips(std::max(1, kRequestBytes / (size.x * 4)),
                                   [&writer](const PixelStrip& strip) { writer.Put(strip); });
        } else {
            cairo_t* fill = cairo_create(copy);
            good = file.ReadStrips(std::max(1, kStripBytes / (size.x * 4)),
                                   [fill](const PixelStrip& strip) { PutStrip(fill, strip); });
            cairo_destroy(fill);
        }
        if (good && cairo_surface_status(copy) == CAIRO_STATUS_SUCCESS) held = copy;
        else cairo_surface_destroy(copy);
        if (!good) {
            damaged = true;
            return;
        }
    }
    cairo_surface_t* source = windowSystem && held ? held : DecodedCopy();
    if (!source) return;
    cairo_save(cr);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}
