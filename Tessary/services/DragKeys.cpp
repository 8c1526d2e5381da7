#include "Tessary/services/DragKeys.h"

#include <algorithm>
#include <cctype>

namespace tessary {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const DragKeys& keys) {
    return os << displayName(keys.activation) << ", " << displayName(keys.span);
}

bool sameKey(ActivationModifier activation, SpanModifier span) {
    switch (activation) {
    case ActivationModifier::shift: return span == SpanModifier::shift;
    case ActivationModifier::control: return span == SpanModifier::control;
    case ActivationModifier::command: return span == SpanModifier::command;
    case ActivationModifier::always: return false;
    }
    return false;
}

SpanModifier spanPartner(ActivationModifier activation, SpanModifier fallback) {
    switch (activation) {
    case ActivationModifier::control: return SpanModifier::command;
    case ActivationModifier::shift:
    case ActivationModifier::command: return SpanModifier::control;
    case ActivationModifier::always: return fallback;
    }
    return fallback;
}

ActivationModifier activationPartner(SpanModifier span, ActivationModifier fallback) {
    switch (span) {
    case SpanModifier::control: return ActivationModifier::command;
    case SpanModifier::shift:
    case SpanModifier::command: return ActivationModifier::control;
    case SpanModifier::none: return fallback;
    }
    return fallback;
}

DragKeys withActivation(DragKeys keys, ActivationModifier chosen) {
    keys.activation = chosen;
    if (sameKey(keys.activation, keys.span)) keys.span = spanPartner(chosen, keys.span);
    return keys;
}

DragKeys withSpan(DragKeys keys, SpanModifier chosen) {
    keys.span = chosen;
    if (sameKey(keys.activation, keys.span)) keys.activation = activationPartner(chosen, keys.activation);
    return keys;
}

std::optional<TakenDragKey> dragKeyTakenBy(std::string_view windowManagerName) {
    // As each names itself in _NET_WM_NAME: "KWin"; "Metacity", and "Metacity (Marco)" for marco.
    if (startsWithIgnoringCase(windowManagerName, "KWin")) {
        return TakenDragKey{"KWin", ActivationModifier::shift, "tile windows"};
    }
    if (startsWithIgnoringCase(windowManagerName, "Metacity")) {
        const bool marco = windowManagerName.find("Marco") != std::string_view::npos;
        return TakenDragKey{marco ? "Marco" : "Metacity", ActivationModifier::shift, "snap windows to edges"};
    }
    return std::nullopt;
}

DragKeys defaultDragKeys(std::string_view windowManagerName) {
    const DragKeys standard;
    const auto taken = dragKeyTakenBy(windowManagerName);
    if (!taken || taken->key != standard.activation) return standard;
    return {ActivationModifier::control, SpanModifier::command};
}

}  // namespace tessary
