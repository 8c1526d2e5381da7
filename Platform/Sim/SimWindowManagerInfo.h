#pragma once

#include <string>
#include <utility>

#include "Platform/WindowManagerInfo.h"

namespace tessary {

// A window manager of the test's naming; none by default.
class SimWindowManagerInfo final : public WindowManagerInfo {
public:
    explicit SimWindowManagerInfo(std::string name = {}) : name_(std::move(name)) {}

    std::string name() override { return name_; }
    void setName(std::string name) { name_ = std::move(name); }

private:
    std::string name_;
};

}  // namespace tessary
