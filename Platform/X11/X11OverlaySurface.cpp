#include "Platform/X11/X11OverlaySurface.h"

#include <xcb/shape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace tessary {

namespace {

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};

// The server's ARGB32 picture format (8 bits each, alpha on top), asked once per connection.
xcb_render_pictformat_t argb32Format(xcb_connection_t* connection) {
    static std::map<xcb_connection_t*, xcb_render_pictformat_t> known;
    if (const auto found = known.find(connection); found != known.end()) return found->second;
    xcb_render_pictformat_t format = 0;
    const xcb_query_extension_reply_t* render = xcb_get_extension_data(connection, &xcb_render_id);
    if (render && render->present) {
        std::unique_ptr<xcb_render_query_pict_formats_reply_t, FreeReply> reply(
            xcb_render_query_pict_formats_reply(connection, xcb_render_query_pict_formats(connection), nullptr));
        if (reply) {
            const xcb_render_pictforminfo_t* formats = xcb_render_query_pict_formats_formats(reply.get());
            for (int i = 0; i < xcb_render_query_pict_formats_formats_length(reply.get()); ++i) {
                const xcb_render_pictforminfo_t& f = formats[i];
                const xcb_render_directformat_t& d = f.direct;
                if (f.type == XCB_RENDER_PICT_TYPE_DIRECT && f.depth == 32 && d.alpha_shift == 24 &&
                    d.alpha_mask == 0xff && d.red_shift == 16 && d.red_mask == 0xff && d.green_shift == 8 &&
                    d.green_mask == 0xff && d.blue_shift == 0 && d.blue_mask == 0xff) {
                    format = f.id;
                    break;
                }
            }
        }
    }
    known[connection] = format;
    return format;
}

bool littleEndianHost() {
    const std::uint32_t one = 1;
    std::uint8_t first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

}  // namespace

X11OverlaySurface::Image::~Image() {
    if (picture_) xcb_render_free_picture(connection_, picture_);
    if (pixmap_) xcb_free_pixmap(connection_, pixmap_);
}

X11OverlaySurface::X11OverlaySurface(xcb_connection_t* connection, xcb_window_t window)
    : connection_(connection), window_(window) {
    if (!connection_ || xcb_connection_has_error(connection_) || !window_) return;
    // Pixels go over in the host's order; a server that wants the other one gets none.
    const bool serverLittleEndian = xcb_get_setup(connection_)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (serverLittleEndian != littleEndianHost()) return;
    const xcb_query_extension_reply_t* shape = xcb_get_extension_data(connection_, &xcb_shape_id);
    if (!shape || !shape->present) return;
    const auto geometryCookie = xcb_get_geometry(connection_, window_);
    const auto attributesCookie = xcb_get_window_attributes(connection_, window_);
    std::unique_ptr<xcb_get_geometry_reply_t, FreeReply> geometry(xcb_get_geometry_reply(connection_, geometryCookie, nullptr));
    std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply> attributes(
        xcb_get_window_attributes_reply(connection_, attributesCookie, nullptr));
    if (!geometry || !attributes || geometry->depth != 32) return;
    eventMask_ = attributes->your_event_mask;
    const xcb_render_pictformat_t format = argb32Format(connection_);
    if (!format) return;
    gc_ = xcb_generate_id(connection_);
    const std::uint32_t noExposures = 0;
    xcb_create_gc(connection_, gc_, window_, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    maximumRequestBytes_ = std::size_t(xcb_get_maximum_request_length(connection_)) * 4;
    format_ = format;
}

X11OverlaySurface::~X11OverlaySurface() {
    if (gc_) xcb_free_gc(connection_, gc_);
}

std::unique_ptr<X11OverlaySurface::Image> X11OverlaySurface::create(int width, int height) {
    if (!valid()) return nullptr;
    std::unique_ptr<Image> image(new Image(connection_, std::max(1, width), std::max(1, height)));
    image->pixmap_ = xcb_generate_id(connection_);
    xcb_create_pixmap(connection_, 32, image->pixmap_, window_, std::uint16_t(image->width_),
                      std::uint16_t(image->height_));
    image->picture_ = xcb_generate_id(connection_);
    xcb_render_create_picture(connection_, image->picture_, image->pixmap_, format_, 0, nullptr);
    // A new pixmap's contents are undefined.
    const xcb_render_color_t clear{0, 0, 0, 0};
    const xcb_rectangle_t all{0, 0, std::uint16_t(image->width_), std::uint16_t(image->height_)};
    xcb_render_fill_rectangles(connection_, XCB_RENDER_PICT_OP_SRC, image->picture_, clear, 1, &all);
    return image;
}

std::unique_ptr<X11OverlaySurface::Image> X11OverlaySurface::upload(const Pixels& pixels) {
    auto image = create(pixels.width, pixels.height);
    if (!image || !pixels.data || pixels.width <= 0 || pixels.height <= 0) return image;
    const std::size_t line = std::size_t(pixels.width) * 4;
    // Several requests of whole lines, each well inside the server's limit.
    const std::size_t budget = std::min<std::size_t>(maximumRequestBytes_ - 64, 4u << 20);
    const int linesPerRequest = std::max(1, int(budget / line));
    std::vector<std::uint8_t> packed;
    for (int y = 0; y < pixels.height; y += linesPerRequest) {
        const int lines = std::min(linesPerRequest, pixels.height - y);
        const std::uint8_t* data = pixels.data + std::size_t(y) * std::size_t(pixels.bytesPerLine);
        if (std::size_t(pixels.bytesPerLine) != line) {
            packed.resize(line * std::size_t(lines));
            for (int row = 0; row < lines; ++row) {
                std::memcpy(packed.data() + line * std::size_t(row), data + std::size_t(row) * std::size_t(pixels.bytesPerLine), line);
            }
            data = packed.data();
        }
        xcb_put_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, image->pixmap_, gc_, std::uint16_t(pixels.width),
                      std::uint16_t(lines), 0, std::int16_t(y), 0, 32, std::uint32_t(line * std::size_t(lines)), data);
    }
    return image;
}

void X11OverlaySurface::compose(const Image& target, int x, int y, const Rectangle& area, std::span<const Layer> layers) {
    if (area.width <= 0 || area.height <= 0) return;
    const xcb_render_color_t clear{0, 0, 0, 0};
    const xcb_rectangle_t cleared{std::int16_t(x), std::int16_t(y), std::uint16_t(area.width), std::uint16_t(area.height)};
    xcb_render_fill_rectangles(connection_, XCB_RENDER_PICT_OP_SRC, target.picture_, clear, 1, &cleared);
    for (const Layer& layer : layers) {
        if (!layer.image) continue;
        const int left = std::max(area.x, layer.x);
        const int top = std::max(area.y, layer.y);
        const int right = std::min(area.x + area.width, layer.x + layer.image->width_);
        const int bottom = std::min(area.y + area.height, layer.y + layer.image->height_);
        if (right <= left || bottom <= top) continue;
        xcb_render_composite(connection_, XCB_RENDER_PICT_OP_OVER, layer.image->picture_, XCB_NONE, target.picture_,
                             std::int16_t(left - layer.x), std::int16_t(top - layer.y), 0, 0,
                             std::int16_t(x + left - area.x), std::int16_t(y + top - area.y), std::uint16_t(right - left),
                             std::uint16_t(bottom - top));
    }
}

void X11OverlaySurface::copyToWindow(const Image& image, int fromX, int fromY, const Rectangle& area) {
    if (area.width <= 0 || area.height <= 0) return;
    xcb_copy_area(connection_, image.pixmap_, window_, gc_, std::int16_t(fromX), std::int16_t(fromY),
                  std::int16_t(area.x), std::int16_t(area.y), std::uint16_t(area.width), std::uint16_t(area.height));
}

void X11OverlaySurface::setBackground(const Image& image, bool repaint) {
    xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXMAP, &image.pixmap_);
    if (repaint) xcb_clear_area(connection_, 0, window_, 0, 0, 0, 0);
}

void X11OverlaySurface::removeBackground() {
    const std::uint32_t none = XCB_BACK_PIXMAP_NONE;
    xcb_change_window_attributes(connection_, window_, XCB_CW_BACK_PIXMAP, &none);
}

void X11OverlaySurface::shape(ShapeOperation operation, std::span<const xcb_rectangle_t> rectangles) {
    // Requests of one client are carried out in order: no exposure of what this shape adds reaches
    // the owner, and nothing of another client's comes in between.
    const bool quiet = operation != ShapeOperation::subtract && (eventMask_ & XCB_EVENT_MASK_EXPOSURE);
    if (quiet) {
        const std::uint32_t withoutExposures = eventMask_ & ~std::uint32_t(XCB_EVENT_MASK_EXPOSURE);
        xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &withoutExposures);
    }
    // Split so that no request passes the server's limit.
    const std::size_t perRequest = std::max<std::size_t>(1, (maximumRequestBytes_ - 64) / sizeof(xcb_rectangle_t));
    std::size_t offset = 0;
    do {
        const std::size_t count = std::min(perRequest, rectangles.size() - offset);
        xcb_shape_rectangles(connection_, std::uint8_t(operation), XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED,
                             window_, 0, 0, std::uint32_t(count), rectangles.data() + offset);
        offset += count;
        // A set of nothing still sets (an empty shape): one request even for no rectangles.
        operation = operation == ShapeOperation::set ? ShapeOperation::add : operation;
    } while (offset < rectangles.size());
    if (quiet) xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &eventMask_);
}

void X11OverlaySurface::removeShape() {
    xcb_shape_mask(connection_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0, XCB_NONE);
}

void X11OverlaySurface::raise(int width, int height) {
    const std::uint32_t values[] = {std::uint32_t(std::max(1, width)), std::uint32_t(std::max(1, height)),
                                    XCB_STACK_MODE_ABOVE};
    configureQuietly(XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE, values);
}

void X11OverlaySurface::resize(int width, int height) {
    const std::uint32_t values[] = {std::uint32_t(std::max(1, width)), std::uint32_t(std::max(1, height))};
    configureQuietly(XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
}

void X11OverlaySurface::configureQuietly(std::uint16_t mask, const std::uint32_t* values) {
    // The owner is not told (requests of one client are carried out in order): Qt would ask the
    // server where the window is, a round trip, and repaint it whole for a size it only has while
    // it is hidden.
    const bool quiet = eventMask_ & XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    if (quiet) {
        const std::uint32_t withoutNotices = eventMask_ & ~std::uint32_t(XCB_EVENT_MASK_STRUCTURE_NOTIFY);
        xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &withoutNotices);
    }
    xcb_configure_window(connection_, window_, mask, values);
    if (quiet) xcb_change_window_attributes(connection_, window_, XCB_CW_EVENT_MASK, &eventMask_);
}

void X11OverlaySurface::map() { xcb_map_window(connection_, window_); }

void X11OverlaySurface::unmap() { xcb_unmap_window(connection_, window_); }

void X11OverlaySurface::flush() { xcb_flush(connection_); }

}  // namespace tessary
