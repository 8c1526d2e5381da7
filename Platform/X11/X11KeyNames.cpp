#include "Platform/X11/X11KeyNames.h"

#include <array>
#include <utility>

namespace tessary {

namespace {

constexpr std::array<std::pair<std::int64_t, std::string_view>, 115> kNames{{
    // Letters and the punctuation among them, row by row.
    {12, "AD01"}, {13, "AD02"}, {14, "AD03"}, {15, "AD04"}, {17, "AD05"}, {16, "AD06"}, {32, "AD07"},
    {34, "AD08"}, {31, "AD09"}, {35, "AD10"}, {33, "AD11"}, {30, "AD12"},
    {0, "AC01"},  {1, "AC02"},  {2, "AC03"},  {3, "AC04"},  {5, "AC05"},  {4, "AC06"},  {38, "AC07"},
    {40, "AC08"}, {37, "AC09"}, {41, "AC10"}, {39, "AC11"}, {42, "BKSL"},
    {6, "AB01"},  {7, "AB02"},  {8, "AB03"},  {9, "AB04"},  {11, "AB05"}, {45, "AB06"}, {46, "AB07"},
    {43, "AB08"}, {47, "AB09"}, {44, "AB10"},
    // The digit row.
    {50, "TLDE"}, {18, "AE01"}, {19, "AE02"}, {20, "AE03"}, {21, "AE04"}, {23, "AE05"}, {22, "AE06"},
    {26, "AE07"}, {28, "AE08"}, {25, "AE09"}, {29, "AE10"}, {27, "AE11"}, {24, "AE12"},
    // Editing and navigation.
    {36, "RTRN"}, {48, "TAB"},  {49, "SPCE"}, {51, "BKSP"}, {53, "ESC"},  {117, "DELE"}, {114, "INS"},
    {115, "HOME"}, {119, "END"}, {116, "PGUP"}, {121, "PGDN"}, {126, "UP"}, {125, "DOWN"}, {123, "LEFT"},
    {124, "RGHT"},
    // Modifier keys and media keys.
    {57, "CAPS"}, {56, "LFSH"}, {60, "RTSH"}, {59, "LCTL"}, {62, "RCTL"}, {58, "LALT"}, {61, "RALT"},
    {55, "LWIN"}, {54, "RWIN"}, {74, "MUTE"}, {72, "VOL+"}, {73, "VOL-"},
    // Function keys.
    {122, "FK01"}, {120, "FK02"}, {99, "FK03"},  {118, "FK04"}, {96, "FK05"},  {97, "FK06"},  {98, "FK07"},
    {100, "FK08"}, {101, "FK09"}, {109, "FK10"}, {103, "FK11"}, {111, "FK12"}, {105, "FK13"}, {107, "FK14"},
    {113, "FK15"}, {106, "FK16"}, {64, "FK17"},  {79, "FK18"},  {80, "FK19"},  {90, "FK20"},
    // The keypad.
    {82, "KP0"}, {83, "KP1"}, {84, "KP2"}, {85, "KP3"}, {86, "KP4"}, {87, "KP5"}, {88, "KP6"}, {89, "KP7"},
    {91, "KP8"}, {92, "KP9"}, {65, "KPDL"}, {75, "KPDV"}, {76, "KPEN"}, {81, "KPEQ"}, {78, "KPSU"},
    {67, "KPMU"}, {69, "KPAD"},
    // The keys of PC keyboards beside the function keys, and Menu.
    {128, "PRSC"}, {129, "SCLK"}, {130, "PAUS"}, {110, "COMP"},
}};

}  // namespace

std::optional<std::string_view> xkbKeyName(std::int64_t carbonKeyCode) {
    for (const auto& [code, name] : kNames) {
        if (code == carbonKeyCode) return name;
    }
    return std::nullopt;
}

std::optional<std::int64_t> carbonKeyCodeWhere(const std::function<bool(std::string_view name)>& isTheKey) {
    for (const auto& [code, name] : kNames) {
        if (isTheKey(name)) return code;
    }
    return std::nullopt;
}

std::optional<std::int64_t> carbonKeyCodeOfXkbName(std::string_view name) {
    for (const auto& [code, keyName] : kNames) {
        if (keyName == name) return code;
    }
    return std::nullopt;
}

}  // namespace tessary
