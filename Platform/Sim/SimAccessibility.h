#pragma once

// A made-up accessibility world for tests: applications with windows (and things inside windows)
// whose moves and resizes obey minimum, maximum and stepped sizes, a confining rectangle, or are
// refused; windows that vanish part-way through an operation; scripted observer answers. Every
// request is recorded so that tests can assert the exact sequence an algorithm makes.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Platform/Accessibility.h"

namespace tessary {

struct AXRequest {
    enum class Kind {
        copyAttribute,
        setAttribute,
        performAction,
        elementAtPosition,
        pid,
        setMessagingTimeout,
        createObserver,
        addNotification,
        startObserver,
        removeObserver,
        isTrusted,
        isTrustedWithPrompt,
    };

    Kind kind = Kind::copyAttribute;
    AXElement element;
    std::string name;              // attribute, action or notification
    std::optional<AXValue> value;  // written value; hit-test point; time-out as a Size{seconds, 0}
    ProcessID pid = 0;             // for observer requests

    // "copy AXSize", "set AXPosition (10, 20)", "set AXSize (800 x 600)", "perform AXRaise", ...
    std::string description() const;
};

class SimAccessibility : public Accessibility {
public:
    struct Window {
        AXElement element;
        std::string role{ax::windowRole};
        std::optional<std::string> subrole{std::string(ax::standardWindowSubrole)};
        std::optional<std::string> title;
        bool minimized = false;
        Rect frame;

        // How writes are taken. A size write is raised to minimumSize, lowered to maximumSize,
        // stepped down to minimumSize + k × sizeIncrement (per dimension, when the increment is
        // positive) and, with confinedTo, cut at the current origin so the window stays inside.
        // A position write with confinedTo is pulled back so the window keeps its current size
        // inside. A window that is not movable or not resizable refuses with attributeUnsupported.
        Size minimumSize{0, 0};
        std::optional<Size> maximumSize;
        Size sizeIncrement{0, 0};
        std::optional<Rect> confinedTo;
        bool movable = true;
        bool resizable = true;
        // When set, position and size writes answer it and change nothing (cannotComplete: no
        // window manager carries them out).
        std::optional<AXError> writeError;

        // Answers that replace the computed ones for reads of an attribute (a value of the wrong
        // type, noValue, cannotComplete...).
        std::map<std::string, Expected<AXValue, AXError>, std::less<>> readOverrides;

        // When set, the window closes once this many more requests have been made on it: 0 means
        // it is gone before the next one.
        std::optional<int> requestsBeforeVanishing;
    };

    struct Child {
        AXElement element;
        AXElement window;
        Rect frame;
        std::string role;
    };

    // -- building the world --------------------------------------------------------------------

    // Adds an application (no windows); its element. Adding one that exists changes nothing.
    AXElement addApplication(ProcessID pid);
    // Adds a window at the end of the application's window order and at the front of the
    // stacking order (adding the application when needed), and posts "AXWindowCreated" to the
    // process's started observers.
    AXElement addWindow(ProcessID pid, Rect frame, std::optional<std::string> title = std::nullopt);
    // Something inside a window (a button; its title bar, with ax::titleBarRole), hit-tested before
    // its window and before the children added earlier.
    AXElement addChild(const AXElement& window, Rect frame, std::string role = "AXButton");
    // The window's record, to script it; it must exist.
    Window& window(const AXElement& element);
    bool hasWindow(const AXElement& element) const;
    // Closes a window: every later request on it answers invalidUIElement; posts
    // "AXUIElementDestroyed" to the process's started observers that registered it.
    void closeWindow(const AXElement& element);
    // Ends an application and its windows.
    void removeApplication(ProcessID pid);
    void setFocusedWindow(ProcessID pid, std::optional<AXElement> window);
    // Every read on the application element answers this error (an application that hangs).
    void setApplicationError(ProcessID pid, std::optional<AXError> error);
    // Hit tests answer this instead of searching (for example cannotComplete).
    void setHitTestError(std::optional<AXError> error) { hitTestError_ = error; }

    // Front first.
    const std::vector<AXElement>& stackingOrder() const { return stacking_; }

    // -- observers -----------------------------------------------------------------------------

    // The answers addNotification gives for the process, consumed one per call; success after.
    void scriptAddNotificationResults(ProcessID pid, std::vector<AXError> results);
    // createObserver for the process fails with this error.
    void setCreateObserverError(ProcessID pid, std::optional<AXError> error);
    // Delivers a notification about an element to the started observers of a process that
    // registered that notification (as the desktop would; the element need not exist).
    void postNotification(ProcessID pid, const AXElement& element, std::string_view notification);
    // Observers of a process that are started and not removed.
    std::size_t activeObserverCount(ProcessID pid) const;
    std::size_t observerCount() const { return observers_.size(); }

    // -- trust ---------------------------------------------------------------------------------

    bool trusted = true;
    int promptCount() const { return promptCount_; }

    // -- the record ----------------------------------------------------------------------------

    const std::vector<AXRequest>& requests() const { return requests_; }
    // Descriptions of the requests made on one element, in order.
    std::vector<std::string> requestLog(const AXElement& element) const;
    std::size_t requestCount(AXRequest::Kind kind) const;
    void clearRequests() { requests_.clear(); }
    std::optional<float> messagingTimeout(const AXElement& element) const;

    // -- Accessibility -------------------------------------------------------------------------

    Expected<AXValue, AXError> copyAttributeValue(const AXElement& element, std::string_view attribute) override;
    AXError setAttributeValue(const AXElement& element, std::string_view attribute, const AXValue& value) override;
    AXError performAction(const AXElement& element, std::string_view action) override;
    Expected<AXElement, AXError> copyElementAtPosition(const AXElement& root, float x, float y) override;
    Expected<ProcessID, AXError> pid(const AXElement& element) override;
    AXError setMessagingTimeout(const AXElement& element, float seconds) override;
    Expected<AXObserverID, AXError> createObserver(ProcessID pid, AXObserverCallback callback) override;
    AXError addNotification(AXObserverID observer, const AXElement& element, std::string_view notification) override;
    void startObserver(AXObserverID observer) override;
    void removeObserver(AXObserverID observer) override;
    bool isProcessTrusted() override;
    bool isProcessTrustedWithPrompt() override;

private:
    struct Application {
        ProcessID pid = 0;
        std::vector<AXElement> windows;
        std::optional<AXElement> focusedWindow;
        std::optional<AXError> error;
    };
    struct Observer {
        ProcessID pid = 0;
        AXObserverCallback callback;
        std::vector<std::string> notifications;
        bool started = false;
    };

    void record(AXRequest request);
    // Counts a request against a window that vanishes; false when the window is gone.
    bool windowAnswers(const AXElement& element);
    Window* findWindow(const AXElement& element);
    Application* findApplication(ProcessID pid);
    void applySize(Window& window, Size size);
    void applyPosition(Window& window, Point position);
    void bringToFront(const AXElement& element);

    std::map<ProcessID, Application> applications_;
    std::unordered_map<AXElement, Window> windows_;
    std::unordered_map<AXElement, Child> children_;
    std::vector<AXElement> stacking_;
    std::uint64_t nextWindowID_ = 0x100;
    std::uint64_t nextToken_ = 0;
    std::optional<AXError> hitTestError_;

    std::map<AXObserverID, Observer> observers_;
    AXObserverID nextObserverID_ = 0;
    std::map<ProcessID, std::deque<AXError>> addNotificationScripts_;
    std::map<ProcessID, AXError> createObserverErrors_;

    std::unordered_map<AXElement, float> timeouts_;
    std::vector<AXRequest> requests_;
    int promptCount_ = 0;
};

}  // namespace tessary
