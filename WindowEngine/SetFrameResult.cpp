#include "WindowEngine/SetFrameResult.h"

#include "WindowEngine/CoordinateSpace.h"

namespace tessary {

bool SetFrameResult::succeeded() const {
    return achieved.has_value() && CoordinateSpace::approximatelyEqual(requested, *achieved, 2.0);
}

}  // namespace tessary
