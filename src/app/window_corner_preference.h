#pragma once

#include <QWindow>

namespace tessaravolt::app {

// Asks the desktop window manager for rounded window corners. Only the Windows window manager
// takes such a preference (attribute 33, value 2: round); other platforms draw their own corners,
// so there the call does nothing and reports nothing, like a window manager without the attribute.
void applyWindowCornerPreference(WId handle);

} // namespace tessaravolt::app
