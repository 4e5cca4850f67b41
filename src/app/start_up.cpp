#include "app/start_up.h"

#include "app/deferred_file_icon.h"
#include "app/instance_lock.h"
#include "app/mac_app_relocator_stub.h"
#include "app/mac_window_chrome_stub.h"
#include "app/render_backend.h"
#include "app/shutdown_signals.h"
#include "app/window_corner_preference.h"
#include "app/window_size_policy.h"

#include <QDir>
#include <QGuiApplication>
#include <QLockFile>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickStyle>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <memory>

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace tessaravolt::app {

namespace {

void applyCornerPreference(const QPointer<QWindow>& window)
{
    if (window && window->winId() != 0)
        applyWindowCornerPreference(window->winId());
    configureMacWindowChrome(window);
}

} // namespace

LockFileLocation lockFileLocation()
{
#ifdef Q_OS_LINUX
    // One lock per user: in the user's own runtime folder, or else in the shared temporary folder
    // under a name that holds the user's id, so that another user neither shares nor blocks it.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        return {QDir(runtime).filePath(QString::fromLatin1(kLockFileName)), LockFolder::ThisMachine};
#endif
    // Empty when the temporary folder does not exist; a relative name would lock the working folder.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (folder.isEmpty())
        return {};
#ifdef Q_OS_LINUX
    return {QDir(folder).filePath(QStringLiteral("Tessaravolt-%1.lock").arg(::getuid())), LockFolder::MaybeShared};
#else
    return {QDir(folder).filePath(QString::fromLatin1(kLockFileName)), LockFolder::MaybeShared};
#endif
}

QUrl mainWindowUrl()
{
    return QUrl(QStringLiteral("qrc:/qt/qml/Tessaravolt/app/qml/Main.qml"));
}

void prepareEngine(QQmlApplicationEngine& engine)
{
    // Qt 6.4 does not search the module's resource prefix by default.
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    const QString version = QString::fromLatin1(kApplicationVersion);
    engine.rootContext()->setContextProperty(QStringLiteral("APP_VERSION"), version);
    engine.rootContext()->setContextProperty(QStringLiteral("APP_VERSION_UNDER"),
                                             QString(version).replace(QLatin1Char('.'), QLatin1Char('_')));
}

void setInitialWindowSize(QQmlApplicationEngine& engine, QSize size)
{
    engine.rootContext()->setContextProperty(QStringLiteral("initialWindowWidth"), size.width());
    engine.rootContext()->setContextProperty(QStringLiteral("initialWindowHeight"), size.height());
}

int runApplication(int argc, char** argv, const QUrl& root)
{
    // Before any thread exists, so that every thread Qt starts inherits the mask: a termination
    // signal that comes while the application is being built waits for its handler.
    ShutdownSignals::block();
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    // From here on a termination signal ends the event loop; before it runs, the quit waits for it.
    auto shutdownSignals = std::make_unique<ShutdownSignals>();
    if (!relocateMacAppIfNeeded())
        return 0;
    // One came already: end before the lock is taken.
    if (shutdownSignals->requested())
        return 0;

    const LockFileLocation lockLocation = lockFileLocation();
    if (lockLocation.path.isEmpty()) {
        std::fprintf(stderr, "Tessaravolt: cannot create the lock file: the temporary folder does not exist\n");
        return 1;
    }
    auto lock = std::make_unique<QLockFile>(lockLocation.path);
    const InstanceLockResult locked = acquireInstanceLock(*lock, lockLocation.path, lockLocation.folder);
    if (locked.outcome == InstanceLockResult::HeldByLiveInstance)
        return 0;
    if (locked.outcome == InstanceLockResult::Failed) {
        std::fprintf(stderr, "Tessaravolt: %s\n", qPrintable(locked.message));
        return 1;
    }

    QGuiApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QGuiApplication::setOrganizationName(QString::fromLatin1(kOrganisationName));
    QGuiApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSARAVOLT_APP_ID));
    QGuiApplication::setWindowIcon(deferredFileIcon(QStringLiteral(":/app/icons/app-icon.png")));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    applyRenderBackend();

    auto engine = std::make_unique<QQmlApplicationEngine>();
    prepareEngine(*engine);
    QSize windowSize = recommendedWindowSize(1440, 1080);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect geometry = screen->geometry();
        windowSize = recommendedLogicalWindowSize(geometry.width(), geometry.height(), screen->devicePixelRatio());
    }
    setInitialWindowSize(*engine, windowSize);

    QObject::connect(
        engine.get(), &QQmlApplicationEngine::objectCreationFailed, app.get(), [] { QCoreApplication::exit(-1); },
        Qt::QueuedConnection);
    engine->load(root);

    const QList<QObject*> roots = engine->rootObjects();
    if (!roots.isEmpty()) {
        if (auto* window = qobject_cast<QWindow*>(roots.first())) {
            const QPointer<QWindow> guarded(window);
            if (window->winId() != 0)
                applyWindowCornerPreference(window->winId());
            configureMacWindowChrome(window);
            for (const int delay : {0, 500})
                QTimer::singleShot(delay, Qt::PreciseTimer, window, [guarded] { applyCornerPreference(guarded); });
        } else {
            configureMacWindowChrome(nullptr);
        }
    }

    const int exitCode = QGuiApplication::exec();
    engine.reset();
    lock.reset();
    shutdownSignals.reset();
    app.reset();
    return exitCode;
}

} // namespace tessaravolt::app
