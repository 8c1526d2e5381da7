#pragma once

// Whether the program starts when the user logs in, and the switch for it.

#include <string>

#include "TessaryCore/Expected.h"

namespace tessary {

// Why a login-item change failed; `description` is the sentence that is logged.
struct LoginItemError {
    std::string description;

    friend bool operator==(const LoginItemError&, const LoginItemError&) = default;
};

class LoginItems {
public:
    virtual ~LoginItems() = default;

    // Read anew on every call: something outside the program may have changed it.
    virtual bool isEnabled() const = 0;
    // Registers (true) or unregisters (false) the program; the error when that could not be done.
    virtual Expected<void, LoginItemError> setEnabled(bool enabled) = 0;
};

}  // namespace tessary
