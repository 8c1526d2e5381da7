#pragma once

// An accessibility-style view of other applications' windows: elements with named attributes,
// actions, hit testing, and window-created notices per process. The window engine is written over
// this interface; a back end maps it onto the desktop (on X11: client windows, EWMH/ICCCM
// properties and requests) and Sim/ keeps a made-up world in memory for tests.
//
// Every call is synchronous, made on the main thread, and never throws: failures are result codes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "Platform/ProcessID.h"
#include "TessaryCore/Expected.h"
#include "TessaryCore/Geometry.h"

namespace tessary {

// Result codes, with the numbers accessibility interfaces have always used, so that log lines
// carry the familiar values.
enum class AXError : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,       // the element is gone (a window that closed)
    invalidUIElementObserver = -25203,
    cannotComplete = -25204,         // the application did not answer in time, or is not ready
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notificationUnsupported = -25207,
    notImplemented = -25208,
    notificationAlreadyRegistered = -25209,
    notificationNotRegistered = -25210,
    apiDisabled = -25211,            // accessibility (window control) is not available
    noValue = -25212,                // the attribute exists but has no value
    parameterizedAttributeUnsupported = -25213,
    notEnoughPrecision = -25214,
};

// The code as a plain number, for log lines.
constexpr std::int32_t axErrorCode(AXError error) { return static_cast<std::int32_t>(error); }

enum class AXElementKind : std::uint8_t {
    invalid = 0,
    systemWide,   // the whole desktop: hit testing and the default messaging time-out
    application,  // one process
    window,       // a top-level window
    child,        // something inside a window (a button, a text field)
};

// One accessibility element. A plain value: cheap to copy, compared and hashed over all fields, so
// a back end must produce the same value for the same object every time it hands it out.
// - application elements: {application, pid, 0, 0}
// - window elements: {window, owner pid or 0, the back end's window id (the X window), 0}
// - child elements: {child, owner pid or 0, the window id, a back-end token}
struct AXElement {
    AXElementKind kind = AXElementKind::invalid;
    ProcessID pid = 0;
    std::uint64_t window = 0;
    std::uint64_t token = 0;

    static AXElement systemWide() { return {AXElementKind::systemWide, 0, 0, 0}; }
    static AXElement application(ProcessID pid) { return {AXElementKind::application, pid, 0, 0}; }

    bool isValid() const { return kind != AXElementKind::invalid; }
    std::size_t hash() const;

    friend bool operator==(const AXElement&, const AXElement&) = default;
};

// An attribute value: a string, a Boolean, an element, an array of elements, a point or a size.
using AXValue = std::variant<std::string, bool, AXElement, std::vector<AXElement>, Point, Size>;

// The names the window engine and the observer use.
namespace ax {
inline constexpr std::string_view focusedWindowAttribute = "AXFocusedWindow";
inline constexpr std::string_view windowsAttribute = "AXWindows";
inline constexpr std::string_view roleAttribute = "AXRole";
inline constexpr std::string_view subroleAttribute = "AXSubrole";
inline constexpr std::string_view titleAttribute = "AXTitle";
inline constexpr std::string_view minimizedAttribute = "AXMinimized";
inline constexpr std::string_view positionAttribute = "AXPosition";  // Point, top-left of the outer frame
inline constexpr std::string_view sizeAttribute = "AXSize";          // Size of the outer frame
inline constexpr std::string_view windowAttribute = "AXWindow";      // a child's top-level window
// Size, the step in which a window's size changes (a terminal's character cell); noValue for a
// window that takes any size.
inline constexpr std::string_view sizeIncrementAttribute = "AXSizeIncrement";
// Size, the smallest outer frame the window takes (what its client declares as its least size,
// with the decorations around it); noValue for a window that declares none.
inline constexpr std::string_view minimumSizeAttribute = "AXMinimumSize";
// Bool, whether the desktop held the window's last move or resize short of where it was asked, to
// keep the invisible margin the window draws around its visible frame (its shadow) on the screen.
inline constexpr std::string_view shadowKeptOnScreenAttribute = "AXShadowKeptOnScreen";

inline constexpr std::string_view windowRole = "AXWindow";
// The bar the desktop drags a window by, a child of the window: a press there and a drag move it.
inline constexpr std::string_view titleBarRole = "AXTitleBar";
inline constexpr std::string_view standardWindowSubrole = "AXStandardWindow";
inline constexpr std::string_view dialogSubrole = "AXDialog";
inline constexpr std::string_view floatingWindowSubrole = "AXFloatingWindow";
inline constexpr std::string_view unknownSubrole = "AXUnknown";

inline constexpr std::string_view raiseAction = "AXRaise";
inline constexpr std::string_view windowCreatedNotification = "AXWindowCreated";
// Posted with the window's element when a window of the process closes, to observers that
// registered it on the application element. A back end that cannot tell refuses the registration.
inline constexpr std::string_view uiElementDestroyedNotification = "AXUIElementDestroyed";
}  // namespace ax

// Identifies one observer made by createObserver; 0 is never used.
using AXObserverID = std::uint64_t;

// Called on the main thread with the element the notice is about (for "AXWindowCreated", the new
// window) and the notification name.
using AXObserverCallback = std::function<void(const AXElement& element, std::string_view notification)>;

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Reads one attribute. A missing value is AXError::noValue; an unknown attribute
    // attributeUnsupported; a vanished element invalidUIElement; no answer within the time-out
    // cannotComplete.
    virtual Expected<AXValue, AXError> copyAttributeValue(const AXElement& element, std::string_view attribute) = 0;
    // Writes one attribute ("AXPosition" takes a Point, "AXSize" a Size). Success means the request
    // was accepted, not that the window now has the value: read it back to know.
    virtual AXError setAttributeValue(const AXElement& element, std::string_view attribute, const AXValue& value) = 0;
    virtual AXError performAction(const AXElement& element, std::string_view action) = 0;

    // The deepest element at a point of the desktop space, asked through the system-wide element
    // (or an application element, to limit the search to that application). Single precision, as
    // the coordinates of a hit test have always been passed.
    virtual Expected<AXElement, AXError> copyElementAtPosition(const AXElement& root, float x, float y) = 0;

    // The process that owns the element.
    virtual Expected<ProcessID, AXError> pid(const AXElement& element) = 0;

    // How long requests on this element wait for the application; set on the system-wide element it
    // is the default for every element without a time-out of its own. 0 restores the default.
    virtual AXError setMessagingTimeout(const AXElement& element, float seconds) = 0;

    // Window-created registration, one observer per process:
    // createObserver makes an observer for the process (nothing is delivered yet);
    // addNotification registers a notification on an element of that process, usually its
    // application element, and answers whether the process accepts it (apiDisabled,
    // notificationUnsupported and cannotComplete mean "not now": the process may accept later);
    // startObserver begins delivery (the callback runs on the main loop from then on);
    // removeObserver stops delivery and forgets the observer; unknown identifiers are ignored.
    virtual Expected<AXObserverID, AXError> createObserver(ProcessID pid, AXObserverCallback callback) = 0;
    virtual AXError addNotification(AXObserverID observer, const AXElement& element, std::string_view notification) = 0;
    virtual void startObserver(AXObserverID observer) = 0;
    virtual void removeObserver(AXObserverID observer) = 0;

    // Whether this process may read and move other applications' windows. Never prompts.
    virtual bool isProcessTrusted() = 0;
    // The same answer; when not trusted, the back end may show its own way to grant it.
    virtual bool isProcessTrustedWithPrompt() = 0;
};

}  // namespace tessary

template <>
struct std::hash<tessary::AXElement> {
    std::size_t operator()(const tessary::AXElement& element) const noexcept { return element.hash(); }
};
