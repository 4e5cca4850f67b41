#include "app/window_corner_preference.h"

namespace tessaravolt::app {

void applyWindowCornerPreference(WId handle)
{
    (void)handle;
}

} // namespace tessaravolt::app
