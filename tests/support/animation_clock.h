#pragma once

// A clock for the animations of a Qt Quick test that the test can stop and move by hand.

#include <QAnimationDriver>
#include <QBasicTimer>
#include <QElapsedTimer>

class QQmlEngine;

namespace tessaravolt::test {

// Drives every animation of the GUI thread in place of Qt's own driver. It keeps real time, ticking
// every 16 ms as Qt's driver does, until a test holds it. Held, animation time stands still however
// slow the machine, and moves only when the test runs it on: a grab then shows the course at a known
// point, and a property read is the value that is drawn.
//
// Qt lets animation time pass on the wall clock while every running animation is a pause, so a test
// that holds the clock should not run it into such a stretch.
class AnimationClock : public QAnimationDriver
{
    Q_OBJECT
    Q_PROPERTY(bool held READ isHeld NOTIFY heldChanged)

public:
    explicit AnimationClock(QObject* parent = nullptr);

    bool isHeld() const { return m_held; }
    qint64 elapsed() const override;

    // Stops animation time where it stands.
    Q_INVOKABLE void hold();
    // Real time again, on from where the clock was held.
    Q_INVOKABLE void release();
    // Held: moves animation time on by ms in ticks of 16 ms, and after each tick has every shown
    // Quick window draw a frame. False if a window drew no frame.
    Q_INVOKABLE bool run(int ms);

signals:
    void heldChanged();

protected:
    void start() override;
    void stop() override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool m_held = false;
    qint64 m_base = 0; // animation time at the last start, hold or release
    QElapsedTimer m_sinceBase;
    QBasicTimer m_ticks;
};

// The process's clock (installed at the first call), named animationClock in the engine's context.
AnimationClock* exposeAnimationClock(QQmlEngine* engine);

} // namespace tessaravolt::test
