#pragma once

// Waiting for a window to show what its items hold now, instead of a fixed time.

#include <QQuickWindow>
#include <QSignalSpy>

namespace tessaravolt::test {

// Asks for a frame and waits until it is on screen: polished (layouts and positioners settled),
// synchronised and drawn. Before a click at a laid-out position, or a picture for a person.
inline bool waitForFrame(QQuickWindow* window, int timeoutMs = 2000)
{
    QSignalSpy swapped(window, &QQuickWindow::frameSwapped);
    window->update();
    return swapped.wait(timeoutMs);
}

} // namespace tessaravolt::test
