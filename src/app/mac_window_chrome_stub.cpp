#include "app/mac_window_chrome_stub.h"

void configureMacWindowChrome(QWindow*) { }
