#include "Platform/Accessibility.h"

#include "TessaryCore/DisplayKey.h"

namespace tessary {

std::size_t AXElement::hash() const {
    std::size_t seed = std::hash<std::uint8_t>{}(static_cast<std::uint8_t>(kind));
    hashCombine(seed, std::hash<ProcessID>{}(pid));
    hashCombine(seed, std::hash<std::uint64_t>{}(window));
    hashCombine(seed, std::hash<std::uint64_t>{}(token));
    return seed;
}

}  // namespace tessary
