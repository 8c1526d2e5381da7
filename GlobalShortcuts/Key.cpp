#include "GlobalShortcuts/Key.h"

namespace tessary {

const std::set<Key>& Key::functionModifierKeys() {
    static const std::set<Key> keys = [] {
        std::set<Key> set{Key::f1,  Key::f2,  Key::f3,  Key::f4,  Key::f5,  Key::f6,  Key::f7,
                          Key::f8,  Key::f9,  Key::f10, Key::f11, Key::f12, Key::f13, Key::f14,
                          Key::f15, Key::f16, Key::f17, Key::f18, Key::f19, Key::f20};
        set.insert({Key::help, Key::deleteForward, Key::keypadClear, Key::home, Key::end, Key::pageUp,
                    Key::pageDown, Key::upArrow, Key::rightArrow, Key::downArrow, Key::leftArrow});
        return set;
    }();
    return keys;
}

const std::vector<std::pair<std::string_view, Key>>& Key::all() {
#define TESSARY_LIST_KEY(name, code) {#name, Key{code}},
    static const std::vector<std::pair<std::string_view, Key>> keys{TESSARY_KEYS(TESSARY_LIST_KEY)};
#undef TESSARY_LIST_KEY
    return keys;
}

}  // namespace tessary
