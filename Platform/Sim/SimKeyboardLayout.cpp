#include "Platform/Sim/SimKeyboardLayout.h"

namespace tessary {

SimKeyboardLayout::SimKeyboardLayout()
    : characters_{{0, "a"},  {11, "b"}, {8, "c"},  {2, "d"},  {14, "e"}, {3, "f"},  {5, "g"},  {4, "h"},
                  {34, "i"}, {38, "j"}, {40, "k"}, {37, "l"}, {46, "m"}, {45, "n"}, {31, "o"}, {35, "p"},
                  {12, "q"}, {15, "r"}, {1, "s"},  {17, "t"}, {32, "u"}, {9, "v"},  {13, "w"}, {7, "x"},
                  {16, "y"}, {6, "z"},  {29, "0"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {23, "5"},
                  {22, "6"}, {26, "7"}, {28, "8"}, {25, "9"}, {42, "\\"}, {50, "`"}, {43, ","}, {24, "="},
                  {27, "-"}, {47, "."}, {39, "'"}, {41, ";"}, {44, "/"}, {33, "["}, {30, "]"}} {}

std::optional<std::string> SimKeyboardLayout::character(std::int64_t carbonKeyCode) const {
    auto it = characters_.find(carbonKeyCode);
    if (it == characters_.end() || it->second.empty()) return std::nullopt;
    return it->second;
}

std::optional<std::int64_t> SimKeyboardLayout::carbonKeyCode(std::uint32_t nativeKeyCode) const {
    if (nativeKeyCode < 8 || nativeKeyCode > 255) return std::nullopt;
    return std::int64_t(nativeKeyCode) - 8;
}

void SimKeyboardLayout::setCharacters(std::map<std::int64_t, std::string> characters) {
    for (auto& [code, text] : characters) characters_[code] = std::move(text);
    changed_.emit();
}

}  // namespace tessary
