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

// The keys named in words, as the desktops write them in their keyboard settings: one style, and
// only letters the interface font has (no keycaps, no arrows), so a name never shows as a box.
const std::unordered_map<std::int64_t, std::string>& specialKeyNames() {
    static const std::unordered_map<std::int64_t, std::string> names = [] {
        std::unordered_map<std::int64_t, std::string> map{
            {Key::return_.rawValue, "Enter"},          {Key::delete_.rawValue, "Backspace"},
            {Key::deleteForward.rawValue, "Delete"},   {Key::end.rawValue, "End"},
            {Key::escape.rawValue, "Esc"},             {Key::help.rawValue, "Insert"},
            {Key::home.rawValue, "Home"},              {Key::space.rawValue, "Space"},
            {Key::tab.rawValue, "Tab"},                {Key::pageUp.rawValue, "Page Up"},
            {Key::pageDown.rawValue, "Page Down"},     {Key::upArrow.rawValue, "Up"},
            {Key::rightArrow.rawValue, "Right"},       {Key::downArrow.rawValue, "Down"},
            {Key::leftArrow.rawValue, "Left"},         {Key::mute.rawValue, "Mute"},
            {Key::volumeUp.rawValue, "Volume Up"},     {Key::volumeDown.rawValue, "Volume Down"},
            {Key::printScreen.rawValue, "Print"},      {Key::scrollLock.rawValue, "Scroll Lock"},
            {Key::pause.rawValue, "Pause"},            {Key::contextualMenu.rawValue, "Menu"},
            {Key::keypadClear.rawValue, "Num Clear"},  {Key::keypadDecimal.rawValue, "Num ."},
            {Key::keypadDivide.rawValue, "Num /"},     {Key::keypadEquals.rawValue, "Num ="},
            {Key::keypadMinus.rawValue, "Num -"},      {Key::keypadMultiply.rawValue, "Num *"},
            {Key::keypadPlus.rawValue, "Num +"},       {Key::keypadEnter.rawValue, "Num Enter"},
        };
        const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                    Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                    Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        for (int n = 0; n < 20; ++n) map[functionKeys[n].rawValue] = "F" + std::to_string(n + 1);
        const Key keypadDigits[] = {Key::keypad0, Key::keypad1, Key::keypad2, Key::keypad3, Key::keypad4,
                                    Key::keypad5, Key::keypad6, Key::keypad7, Key::keypad8, Key::keypad9};
        for (int n = 0; n < 10; ++n) map[keypadDigits[n].rawValue] = "Num " + std::to_string(n);
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
