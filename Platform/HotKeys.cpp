#include "Platform/HotKeys.h"

namespace tessary {

std::string_view hotKeyRefusalText(HotKeyRefusal refusal) {
    switch (refusal) {
    case HotKeyRefusal::heldByAnotherClient:
        return "another program holds the combination";
    case HotKeyRefusal::notRepresentable:
        return "the combination cannot be typed on this keyboard";
    case HotKeyRefusal::unavailable:
        return "no display to register with";
    }
    return "refused";
}

}  // namespace tessary
