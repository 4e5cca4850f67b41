#pragma once

// Would move the application bundle into place on macOS; elsewhere it accepts the start at once.
bool relocateMacAppIfNeeded();
