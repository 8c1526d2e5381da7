#include "GlobalShortcuts/Shortcut.h"

#include "GlobalShortcuts/Utilities.h"
#include "Platform/CarbonModifiers.h"
#include "Platform/KeyboardLayout.h"
#include "Platform/LocalEvents.h"
#include "TessaryCore/JSONCoding.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <functional>
#include <unordered_map>

namespace tessary {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kKeycap = "\xE2\x83\xA3";                 // U+20E3, combining enclosing keycap

// The special keys and their names as Linux desktops (and Qt's native text) write them; keypad
// keys in the keycap form.
const std::unordered_map<std::int64_t, std::string>& specialKeyNames() {
    static const std::unordered_map<std::int64_t, std::string> names = [] {
        std::unordered_map<std::int64_t, std::string> map{
            {Key::return_.rawValue, "Return"},      {Key::delete_.rawValue, "Backspace"},
            {Key::deleteForward.rawValue, "Del"},   {Key::end.rawValue, "End"},
            {Key::escape.rawValue, "Esc"},          {Key::help.rawValue, "Ins"},
            {Key::home.rawValue, "Home"},           {Key::space.rawValue, "Space"},
            {Key::tab.rawValue, "Tab"},             {Key::pageUp.rawValue, "PgUp"},
            {Key::pageDown.rawValue, "PgDown"},     {Key::upArrow.rawValue, "Up"},
            {Key::rightArrow.rawValue, "Right"},    {Key::downArrow.rawValue, "Down"},
            {Key::leftArrow.rawValue, "Left"},
        };
        const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                    Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                    Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        for (int n = 0; n < 20; ++n) map[functionKeys[n].rawValue] = "F" + std::to_string(n + 1);
        const Key keypadDigits[] = {Key::keypad0, Key::keypad1, Key::keypad2, Key::keypad3, Key::keypad4,
                                    Key::keypad5, Key::keypad6, Key::keypad7, Key::keypad8, Key::keypad9};
        for (int n = 0; n < 10; ++n) map[keypadDigits[n].rawValue] = std::to_string(n) + std::string(kKeycap);
        map[Key::keypadClear.rawValue] = "\xE2\x98\x92" + std::string(kKeycap);  // ☒
        map[Key::keypadDecimal.rawValue] = "." + std::string(kKeycap);
        map[Key::keypadDivide.rawValue] = "/" + std::string(kKeycap);
        map[Key::keypadEquals.rawValue] = "=" + std::string(kKeycap);
        map[Key::keypadMinus.rawValue] = "-" + std::string(kKeycap);
        map[Key::keypadMultiply.rawValue] = "*" + std::string(kKeycap);
        map[Key::keypadPlus.rawValue] = "+" + std::string(kKeycap);
        map[Key::keypadEnter.rawValue] = "\xE2\x86\xA9" + std::string(kKeycap);  // ↩
        return map;
    }();
    return names;
}

// Upper case of a one-character text; the text unchanged when it is more than one code point.
std::string upperCased(const std::string& text) {
    UChar32 c = 0;
    int32_t offset = 0;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), offset, int32_t(text.size()), c);
    if (c < 0 || offset != int32_t(text.size())) return text;
    // ASCII needs no case data of ICU's, which would stay mapped once read.
    if (c < 0x80) return std::string(1, c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : char(c));
    return scalarToText(u_toupper(c)).value_or(text);
}

}  // namespace

Shortcut::Shortcut(std::int64_t keyCode, std::int64_t modifiers)
    : carbonKeyCode(keyCode), carbonModifiers(carbon::reduced(modifiers)) {}

std::optional<Shortcut> Shortcut::fromEvent(const LocalEvent& event) {
    if (event.type != LocalEventType::keyDown && event.type != LocalEventType::keyUp) return std::nullopt;
    if (!event.carbonKeyCode) return std::nullopt;
    return Shortcut(*event.carbonKeyCode, event.carbonModifiers & ~carbon::functionKey);
}

std::string Shortcut::storedText() const {
    json::Json object = json::Json::object();
    object["carbonKeyCode"] = carbonKeyCode;
    object["carbonModifiers"] = carbonModifiers;
    return json::dumpCompact(object);
}

std::optional<Shortcut> Shortcut::fromStoredText(std::string_view text) {
    try {
        const json::Json value = json::parse(text);
        json::asObject(value, "shortcut");
        Shortcut shortcut;
        shortcut.carbonKeyCode = json::requireInt64(value, "carbonKeyCode");
        shortcut.carbonModifiers = json::requireInt64(value, "carbonModifiers");
        return shortcut;
    } catch (const std::exception&) {
        // Hand-edited text: nothing stored, never a crash.
        return std::nullopt;
    }
}

bool Shortcut::hasSpecialKey() const {
    return specialKeyNames().count(carbonKeyCode) != 0;
}

std::optional<std::string> Shortcut::keyToCharacter(const KeyboardLayout& layout) const {
    if (hasSpecialKey() || carbonKeyCode < 0 || carbonKeyCode > 0xffff) return std::nullopt;
    return layout.character(carbonKeyCode);
}

std::string Shortcut::description(const KeyboardLayout& layout) const {
    std::string text = modifierText(carbonModifiers);
    if (auto it = specialKeyNames().find(carbonKeyCode); it != specialKeyNames().end()) return text + it->second;
    if (auto character = keyToCharacter(layout)) return text + upperCased(*character);
    return text + std::string(kReplacementCharacter);
}

std::size_t ShortcutHash::operator()(const Shortcut& shortcut) const {
    const std::size_t code = std::hash<std::int64_t>{}(shortcut.carbonKeyCode);
    return code * 31 + std::hash<std::int64_t>{}(shortcut.carbonModifiers);
}

}  // namespace tessary
