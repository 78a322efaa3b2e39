// Pictures into host files: SVG as it is, PNG rendered from the same SVG by
// librsvg onto a cairo surface, so both show the same thing.
#include "platform/win32/picture.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>

namespace platform::win32 {
namespace {

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".png";
}

bool WritePng(const std::string& path, const std::string& svg) {
    GError* error = nullptr;
    RsvgHandle* handle =
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()), svg.size(), &error);
    if (handle == nullptr) {
        g_clear_error(&error);
        return false;
    }
    // Our documents give their size in pixels, at one pixel per unit.
    rsvg_handle_set_dpi(handle, 96.0);
    gdouble width = 0, height = 0;
    bool ok = rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height) && width >= 1 &&
              height >= 1;
    if (ok) {
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::lround(width)),
                                       static_cast<int>(std::lround(height)));
        cairo_t* cr = cairo_create(surface);
        RsvgRectangle viewport{0, 0, width, height};
        ok = rsvg_handle_render_document(handle, cr, &viewport, &error) &&
             cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        ok = ok && cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(surface);
    }
    g_clear_error(&error);
    g_object_unref(handle);
    return ok;
}

} // namespace

bool SavePicture(const std::string& path, const std::string& svg) {
    if (EndsWithPng(path))
        return WritePng(path, svg);
    std::ofstream file(path, std::ios::binary);
    file << svg;
    return static_cast<bool>(file);
}

} // namespace platform::win32
