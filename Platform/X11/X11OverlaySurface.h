#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <span>

namespace tessary {

// Pixels kept in the X server for one window of depth 32 (ARGB, as an overlay's), drawn by the
// client once and from then on composed, copied and painted by the server: showing the window
// (its background is painted by the server as it is mapped) or changing a part of it costs the
// client a few small requests and no pixels. Uses RENDER for blending and SHAPE for the window's
// bounding region; valid() is false when the window is not of depth 32 or the server lacks them.
class X11OverlaySurface {
public:
    struct Rectangle {
        int x = 0, y = 0, width = 0, height = 0;
    };
    // Premultiplied ARGB, 32 bits per pixel in the host's byte order (QImage's
    // Format_ARGB32_Premultiplied).
    struct Pixels {
        const std::uint8_t* data = nullptr;
        int width = 0, height = 0, bytesPerLine = 0;
    };

    // A pixmap of the window's depth and its RENDER picture; freed with this object.
    class Image {
    public:
        ~Image();
        Image(const Image&) = delete;
        Image& operator=(const Image&) = delete;
        int width() const { return width_; }
        int height() const { return height_; }

    private:
        friend class X11OverlaySurface;
        Image(xcb_connection_t* connection, int width, int height) : connection_(connection), width_(width), height_(height) {}
        xcb_connection_t* connection_;
        xcb_pixmap_t pixmap_ = 0;
        xcb_render_picture_t picture_ = 0;
        int width_, height_;
    };

    // A picture placed in the scene: its top left corner at (x, y).
    struct Layer {
        const Image* image = nullptr;
        int x = 0, y = 0;
    };

    X11OverlaySurface(xcb_connection_t* connection, xcb_window_t window);
    ~X11OverlaySurface();
    X11OverlaySurface(const X11OverlaySurface&) = delete;
    X11OverlaySurface& operator=(const X11OverlaySurface&) = delete;

    bool valid() const { return format_ != 0; }

    std::unique_ptr<Image> upload(const Pixels& pixels);
    // Transparent, at least 1x1.
    std::unique_ptr<Image> create(int width, int height);

    // Draws the scene's `area` into `target` with `area`'s top left corner at the target's (x, y):
    // cleared, then each layer reaching into it blended over, in order.
    void compose(const Image& target, int x, int y, const Rectangle& area, std::span<const Layer> layers);
    // Copies the image's pixels from (fromX, fromY) on into the window's `area`.
    void copyToWindow(const Image& image, int fromX, int fromY, const Rectangle& area);
    // The server paints every exposed part of the window from this image from now on, and what it
    // is mapped with. The image must not be drawn into afterwards (the protocol leaves that undefined):
    // a new picture takes a new image. Repaints the whole window from it when `repaint`. Only for an
    // unshaped window: the server fills a background rectangle by rectangle of the exposed region,
    // each against every rectangle of the window's clip, which for a shape of thousands of
    // rectangles takes tens of milliseconds.
    void setBackground(const Image& image, bool repaint);
    // No background: the server leaves exposed parts as they are, for the client to paint.
    void removeBackground();

    enum class ShapeOperation : std::uint8_t { set = 0, add = 1, subtract = 3 };
    // Combines the window's bounding shape with the rectangles; removeShape() makes it whole again.
    // What a shape adds is not reported as exposed: the client paints it right after, and the
    // hundreds of exposure events of a shape's rectangles would cost it more than the painting.
    void shape(ShapeOperation operation, std::span<const xcb_rectangle_t> rectangles);
    void removeShape();

    // Raises, sizes, maps or unmaps the window, without waiting for the server: the owner's
    // toolkit may still take it as shown (its show waits for the server to map it). Raised or
    // sized, the window's owner is not told (no ConfigureNotify of this connection's).
    void raise(int width, int height);
    void resize(int width, int height);
    void map();
    void unmap();

    void flush();

private:
    void configureQuietly(std::uint16_t mask, const std::uint32_t* values);

    xcb_connection_t* connection_;
    xcb_window_t window_;
    xcb_gcontext_t gc_ = 0;
    xcb_render_pictformat_t format_ = 0;
    std::size_t maximumRequestBytes_ = 0;
    // The events the window's owner asked for.
    std::uint32_t eventMask_ = 0;
};

}  // namespace tessary
