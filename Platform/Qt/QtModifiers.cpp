#include "Platform/Qt/QtModifiers.h"

#include "Platform/CarbonModifiers.h"

namespace tessary {

std::int64_t carbonModifiersFromQt(Qt::KeyboardModifiers modifiers) {
    std::int64_t mask = 0;
    if (modifiers & Qt::ControlModifier) mask |= carbon::controlKey;
    if (modifiers & Qt::AltModifier) mask |= carbon::optionKey;
    if (modifiers & Qt::ShiftModifier) mask |= carbon::shiftKey;
    if (modifiers & Qt::MetaModifier) mask |= carbon::cmdKey;
    return mask;
}

Qt::KeyboardModifiers qtModifiersFromCarbon(std::int64_t carbonModifiers) {
    Qt::KeyboardModifiers modifiers;
    if (carbonModifiers & carbon::controlKey) modifiers |= Qt::ControlModifier;
    if (carbonModifiers & carbon::optionKey) modifiers |= Qt::AltModifier;
    if (carbonModifiers & carbon::shiftKey) modifiers |= Qt::ShiftModifier;
    if (carbonModifiers & carbon::cmdKey) modifiers |= Qt::MetaModifier;
    return modifiers;
}

}  // namespace tessary
