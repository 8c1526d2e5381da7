#pragma once

#include <cstddef>
#include <iosfwd>

namespace tessary {

// Points in the desktop's coordinate space: origin at the top left of the primary display, y down.
struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

// An axis-aligned rectangle with the usual platform rules: a negative size is valid and means the
// origin is the opposite corner; the null rectangle (infinite origin) is "no rectangle at all" and
// is what an empty intersection gives.
struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    static Rect null();

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }

    double minX() const;
    double minY() const;
    double maxX() const;
    double maxY() const;
    double midX() const;
    double midY() const;

    bool isNull() const;
    // Null, or zero width or height.
    bool isEmpty() const;
    bool isFinite() const;

    // The same rectangle with a non-negative width and height.
    Rect standardized() const;
    // Shrinks by dx on the left and right and dy on the top and bottom (negative values grow);
    // gives the null rectangle when the result would have a negative size.
    Rect insetBy(double dx, double dy) const;
    // The smallest rectangle containing both; a null operand is ignored.
    Rect unionWith(const Rect& other) const;
    // The common part; null when the two are apart. Rectangles that only touch give a zero-size result.
    Rect intersection(const Rect& other) const;
    bool intersects(const Rect& other) const;
    // Minimum edges inside, maximum edges outside.
    bool contains(Point p) const;

    // Exact field-by-field comparison (not standardised).
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Equal as rectangles: both standardised first. Null rectangles equal each other.
bool rectsEqual(const Rect& a, const Rect& b);

std::ostream& operator<<(std::ostream& os, const Point& p);
std::ostream& operator<<(std::ostream& os, const Size& s);
std::ostream& operator<<(std::ostream& os, const Rect& r);

}  // namespace tessary
