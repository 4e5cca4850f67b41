#pragma once

#include <QSize>

namespace tessaravolt::app {

// Window size in physical pixels for a screen of w by h physical pixels.
QSize recommendedWindowSize(int w, int h);
// Window size in device-independent pixels for a screen of w by h device-independent pixels.
QSize recommendedLogicalWindowSize(int w, int h, double ratio);

} // namespace tessaravolt::app
