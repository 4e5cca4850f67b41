#include "support/animation_clock.h"

#include "support/quick_frames.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimerEvent>

#include <algorithm>

namespace tessaravolt::test {

namespace {

constexpr int kTickMs = 16;
// Only catches a hang: a frame takes a few milliseconds, a hundred under a sanitizer and load.
constexpr int kFrameTimeoutMs = 10000;

} // namespace

AnimationClock::AnimationClock(QObject* parent)
    : QAnimationDriver(parent)
{ }

qint64 AnimationClock::elapsed() const
{
    if (!isRunning())
        return 0;
    return m_held ? m_base : m_base + m_sinceBase.elapsed();
}

void AnimationClock::hold()
{
    if (m_held)
        return;
    m_base = elapsed();
    m_held = true;
    // Hands the animations the time since the last tick, so that a run starts from the moment held.
    if (isRunning())
        advance();
    emit heldChanged();
}

void AnimationClock::release()
{
    if (!m_held)
        return;
    m_held = false;
    m_sinceBase.start();
    emit heldChanged();
}

bool AnimationClock::run(int ms)
{
    if (!m_held) {
        qWarning("AnimationClock::run: the clock is not held");
        return false;
    }
    bool drawn = true;
    for (int done = 0; done < ms;) {
        // An animation started since the last tick joins the timer through queued calls, two deep
        // when no animation ran: deliver them, so that this tick moves it too.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        const int tick = std::min(kTickMs, ms - done);
        done += tick;
        m_base += tick;
        if (isRunning())
            advance();
        for (QWindow* window : QGuiApplication::topLevelWindows()) {
            auto* quick = qobject_cast<QQuickWindow*>(window);
            if (quick && quick->isVisible() && quick->isExposed())
                drawn = waitForFrame(quick, kFrameTimeoutMs) && drawn;
        }
    }
    return drawn;
}

void AnimationClock::start()
{
    QAnimationDriver::start();
    m_base = 0;
    m_sinceBase.start();
    m_ticks.start(kTickMs, Qt::PreciseTimer, this);
}

void AnimationClock::stop()
{
    m_ticks.stop();
    QAnimationDriver::stop();
}

void AnimationClock::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_ticks.timerId()) {
        QAnimationDriver::timerEvent(event);
        return;
    }
    if (!m_held)
        advance();
}

AnimationClock* exposeAnimationClock(QQmlEngine* engine)
{
    // Never destroyed: Qt would put its own driver back in while the application goes, and start it
    // where no timer may start.
    static AnimationClock* const clock = [] {
        auto* created = new AnimationClock;
        created->install();
        return created;
    }();
    // Each test file starts on real time, whatever the one before left.
    clock->release();
    engine->rootContext()->setContextProperty(QStringLiteral("animationClock"), clock);
    return clock;
}

} // namespace tessaravolt::test
