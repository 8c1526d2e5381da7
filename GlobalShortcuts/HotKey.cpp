#include "GlobalShortcuts/HotKey.h"

#include "GlobalShortcuts/HotKeyCenter.h"

namespace tessary {

HotKey::HotKey(HotKeyCenter& center, std::int64_t keyCode, std::int64_t modifiers, std::function<void()> down,
               std::function<void()> up)
    : carbonKeyCode(keyCode),
      carbonModifiers(modifiers),
      onKeyDown(std::move(down)),
      onKeyUp(std::move(up)),
      id(center.nextHotKeyID()),
      center_(center) {}

HotKey::~HotKey() {
    center_.forget(*this);
}

}  // namespace tessary
