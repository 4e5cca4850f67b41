#pragma once

// The program's main window loaded in this process the way start-up loads it, for tests that look at
// the shell and its pages (with or without a simulated power bank).

#include "app/start_up.h"
#include "common/i18n.h"
#include "transport/hid_service_api.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <memory>
#include <optional>

namespace tessaravolt::test {

struct LoadedMain
{
    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow* window = nullptr;

    QQuickItem* item(const char* name) const { return window->findChild<QQuickItem*>(QString::fromLatin1(name)); }
    QObject* object(const char* name) const { return window->findChild<QObject*>(QString::fromLatin1(name)); }
    QVariant get(const char* property) const { return window->property(property); }
    bool connected() const { return get("appConnected").toBool(); }
    // The item the page loader shows: the start page or one of the four pages.
    QQuickItem* page() const { return qvariant_cast<QQuickItem*>(item("pageLoader")->property("item")); }
    // "StartupPage", "PowerPage", ...: the page's QML type without the engine's suffix.
    QString pageType() const
    {
        QQuickItem* p = page();
        return p ? QString::fromLatin1(p->metaObject()->className()).section(QLatin1Char('_'), 0, 0) : QString();
    }
};

// Without a size, Main falls back to its own default, as it does when the values are missing.
inline LoadedMain loadMainWindow(std::optional<QSize> size = std::nullopt)
{
    LoadedMain main;
    main.engine = std::make_unique<QQmlApplicationEngine>();
    app::prepareEngine(*main.engine);
    if (size)
        app::setInitialWindowSize(*main.engine, *size);
    main.engine->load(app::mainWindowUrl());
    // A connected power bank makes the program ask for the time: never of a server off this machine.
    transport::HidServiceApi::instance()->setTimeServers({{QHostAddress::LocalHost, 9}});
    if (!main.engine->rootObjects().isEmpty())
        main.window = qobject_cast<QQuickWindow*>(main.engine->rootObjects().first());
    return main;
}

// A connection attempt comes one retry interval (2 s) after the window loads; a loaded machine or
// a sanitizer build stretches that.
inline constexpr int kConnectTimeoutMs = 15000;

// How long a test waits for what the window must come to show: a value, a change the device made,
// a poll's request. Only a program that stopped keeping up misses it, however loaded the machine;
// how soon it comes is measured by bench_sim_pages.
inline constexpr int kMustShowMs = 30000;

// Shows the window, as start-up does, and waits until it is on screen and a power bank connected.
inline bool showConnected(const LoadedMain& main, int timeoutMs = kConnectTimeoutMs)
{
    if (!main.window)
        return false;
    main.window->show();
    return QTest::qWaitForWindowExposed(main.window) && QTest::qWaitFor([&] { return main.connected(); }, timeoutMs);
}

// Window tests start in English whatever language an earlier test or the settings left.
inline void useEnglish()
{
    if (!common::I18n::instance()->isEn())
        common::I18n::instance()->toggleLanguage();
}

} // namespace tessaravolt::test
