#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Platform/InstanceMessage.h"

namespace tessary {

class LayoutEditorWindowController;

// Where the layout editor's controls are on screen, for the end-to-end tests that click them
// through XTest instead of guessing pixels. Installed as the "editor-test" command-line verb only
// when TESSARY_E2E=1; a normal run answers no such verb.
//
//   editor-test rect NAME   ->  "X Y WIDTH HEIGHT" in screen pixels, status 1 when nothing visible
//                               is called NAME
//
// NAME is "zone N" (the Nth zone on the editing surface), a button's, toolbar action's or label's
// text, a control's accessible name, or an item's text in a visible list or open pop-up (the
// "Sizes for" choices).
namespace EditorTestQuery {

bool enabled();
InstanceReply answer(const LayoutEditorWindowController* editor, const std::vector<std::string>& arguments);

}  // namespace EditorTestQuery

}  // namespace tessary
