#pragma once

class QWindow;

// Would style the native title bar on macOS; elsewhere it does nothing.
void configureMacWindowChrome(QWindow* window);
