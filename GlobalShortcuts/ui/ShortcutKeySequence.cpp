#include "GlobalShortcuts/ui/ShortcutKeySequence.h"

#include "Platform/CarbonModifiers.h"
#include "Platform/Qt/QtModifiers.h"

#include <QList>
#include <QString>

#include <unordered_map>

namespace tessary {

namespace {

const std::unordered_map<std::int64_t, Qt::Key>& specialKeys() {
    static const std::unordered_map<std::int64_t, Qt::Key> keys = [] {
        std::unordered_map<std::int64_t, Qt::Key> map{
            {Key::return_.rawValue, Qt::Key_Return},  {Key::delete_.rawValue, Qt::Key_Backspace},
            {Key::deleteForward.rawValue, Qt::Key_Delete}, {Key::end.rawValue, Qt::Key_End},
            {Key::escape.rawValue, Qt::Key_Escape},   {Key::help.rawValue, Qt::Key_Insert},
            {Key::home.rawValue, Qt::Key_Home},       {Key::space.rawValue, Qt::Key_Space},
            {Key::tab.rawValue, Qt::Key_Tab},         {Key::pageUp.rawValue, Qt::Key_PageUp},
            {Key::pageDown.rawValue, Qt::Key_PageDown}, {Key::upArrow.rawValue, Qt::Key_Up},
            {Key::rightArrow.rawValue, Qt::Key_Right}, {Key::downArrow.rawValue, Qt::Key_Down},
            {Key::leftArrow.rawValue, Qt::Key_Left},  {Key::printScreen.rawValue, Qt::Key_Print},
            {Key::scrollLock.rawValue, Qt::Key_ScrollLock}, {Key::pause.rawValue, Qt::Key_Pause},
            {Key::contextualMenu.rawValue, Qt::Key_Menu}, {Key::mute.rawValue, Qt::Key_VolumeMute},
            {Key::volumeUp.rawValue, Qt::Key_VolumeUp}, {Key::volumeDown.rawValue, Qt::Key_VolumeDown},
        };
        const Key functionKeys[] = {Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                                    Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                                    Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        for (int n = 0; n < 20; ++n) map[functionKeys[n].rawValue] = Qt::Key(Qt::Key_F1 + n);
        return map;
    }();
    return keys;
}

}  // namespace

std::optional<QKeySequence> keySequence(const Shortcut& shortcut, const KeyboardLayout& layout) {
    if (shortcut.carbonModifiers & carbon::functionKey) return std::nullopt;
    const Qt::KeyboardModifiers modifiers = qtModifiersFromCarbon(shortcut.carbonModifiers);
    if (auto it = specialKeys().find(shortcut.carbonKeyCode); it != specialKeys().end()) {
        return QKeySequence(QKeyCombination(modifiers, it->second));
    }
    if (shortcut.hasSpecialKey()) return std::nullopt;  // the keypad
    const auto character = shortcut.keyToCharacter(layout);
    if (!character) return std::nullopt;
    const QString text = QString::fromStdString(*character).toUpper();
    const auto scalars = text.toUcs4();
    if (scalars.size() != 1) return std::nullopt;
    // Qt names a printable key by the upper-case character it types.
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(scalars[0])));
}

}  // namespace tessary
