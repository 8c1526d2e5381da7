#include "Tessary/keyboard/ShortcutNames.h"

#include "Platform/CarbonModifiers.h"

#include <string>

namespace tessary::ShortcutNames {

namespace {

constexpr std::int64_t kControlAlt = carbon::controlKey | carbon::optionKey;
constexpr std::int64_t kControlAltSuper = kControlAlt | carbon::cmdKey;

Name make(const char* raw, Key key, std::int64_t modifiers) {
    return Name(raw, Shortcut(key, modifiers));
}

}  // namespace

const std::vector<Name>& snapToZoneNames() {
    static const std::vector<Name> names = [] {
        const Key digits[] = {Key::one, Key::two, Key::three, Key::four, Key::five,
                              Key::six, Key::seven, Key::eight, Key::nine};
        std::vector<Name> list;
        for (int i = 0; i < 9; ++i) list.push_back(Name("snapToZone" + std::to_string(i + 1), Shortcut(digits[i], kControlAlt)));
        return list;
    }();
    return names;
}

const Name& snapToZone(int index) {
    return snapToZoneNames().at(static_cast<std::size_t>(index));
}

#define TESSARY_SHORTCUT_NAME(function, key, modifiers)    \
    const Name& function() {                              \
        static const Name name = make(#function, key, modifiers); \
        return name;                                      \
    }
TESSARY_SHORTCUT_NAME(nextZone, Key::rightArrow, kControlAlt)
TESSARY_SHORTCUT_NAME(previousZone, Key::leftArrow, kControlAlt)
TESSARY_SHORTCUT_NAME(nextDisplay, Key::rightArrow, kControlAltSuper)
TESSARY_SHORTCUT_NAME(previousDisplay, Key::leftArrow, kControlAltSuper)
TESSARY_SHORTCUT_NAME(nextLayout, Key::downArrow, kControlAltSuper)
TESSARY_SHORTCUT_NAME(previousLayout, Key::upArrow, kControlAltSuper)
TESSARY_SHORTCUT_NAME(showZones, Key::z, kControlAlt)
TESSARY_SHORTCUT_NAME(restoreAllWindows, Key::r, kControlAlt)
TESSARY_SHORTCUT_NAME(openEditor, Key::backtick, kControlAlt)
#undef TESSARY_SHORTCUT_NAME

const std::vector<Name>& paneShortcutNames() {
    static const std::vector<Name> names = [] {
        std::vector<Name> list = snapToZoneNames();
        for (const Name* name : {&nextZone(), &previousZone(), &nextDisplay(), &previousDisplay(), &nextLayout(),
                                 &previousLayout(), &showZones(), &openEditor(), &restoreAllWindows()}) {
            list.push_back(*name);
        }
        return list;
    }();
    return names;
}

Name named(const std::string& rawValue) {
    for (const Name& known : paneShortcutNames()) {
        if (known.rawValue == rawValue) return known;
    }
    return Name(rawValue);
}

}  // namespace tessary::ShortcutNames
