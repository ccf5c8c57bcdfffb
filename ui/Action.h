#pragma once
// A window's handler as a control's signal runs it: one action of the user (RunAction), so that a
// database that cannot be reached ends it and is said once, and no exception reaches Qt.
#include "data/Failure.h"

namespace ui {

template <typename Window>
auto Guarded(Window *window, void (Window::*handler)())
{
    return [window, handler] { RunAction([&] { (window->*handler)(); }); };
}

}  // namespace ui
