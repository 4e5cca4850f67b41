#include "app/start_up.h"

#include "app/deferred_file_icon.h"
#include "app/mac_app_relocator_stub.h"
#include "app/mac_window_chrome_stub.h"
#include "app/render_backend.h"
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

namespace tessaravolt::app {

namespace {

void applyCornerPreference(const QPointer<QWindow>& window)
{
    if (window && window->winId() != 0)
        applyWindowCornerPreference(window->winId());
    configureMacWindowChrome(window);
}

const char* lockErrorText(QLockFile::LockError error)
{
    switch (error) {
    case QLockFile::PermissionError:
        return "permission denied";
    case QLockFile::UnknownError:
        return "unknown error";
    default:
        return "lock not obtained";
    }
}

} // namespace

QString lockFilePath()
{
    // Empty when the temporary folder does not exist; a relative name would lock the working folder.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::TempLocation);
    if (folder.isEmpty())
        return {};
    return QDir(folder).filePath(QString::fromLatin1(kLockFileName));
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
    auto app = std::make_unique<QGuiApplication>(argc, argv);
    if (!relocateMacAppIfNeeded())
        return 0;

    const QString lockPath = lockFilePath();
    if (lockPath.isEmpty()) {
        std::fprintf(stderr, "Tessaravolt: cannot create the lock file: the temporary folder does not exist\n");
        return 1;
    }
    auto lock = std::make_unique<QLockFile>(lockPath);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(100)) {
        // Only a lock held by a live instance means "already running"; anything else is a failure.
        const QLockFile::LockError error = lock->error();
        if (error == QLockFile::LockFailedError)
            return 0;
        std::fprintf(stderr, "Tessaravolt: cannot create the lock file %s: %s\n",
                     qPrintable(QDir::toNativeSeparators(lockPath)), lockErrorText(error));
        return 1;
    }

    QGuiApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QGuiApplication::setOrganizationName(QString::fromLatin1(kOrganisationName));
    QGuiApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
    QGuiApplication::setWindowIcon(deferredFileIcon(QStringLiteral(":/app/icons/app-icon.png")));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    applyRenderBackend();

    auto engine = std::make_unique<QQmlApplicationEngine>();
    prepareEngine(*engine);
    QSize windowSize = recommendedWindowSize(1440, 1080);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect geometry = screen->geometry();
        windowSize = recommendedLogicalWindowSize(geometry.width(), geometry.height(),
                                                  screen->devicePixelRatio());
    }
    setInitialWindowSize(*engine, windowSize);

    QObject::connect(engine.get(), &QQmlApplicationEngine::objectCreationFailed, app.get(),
                     [] { QCoreApplication::exit(-1); }, Qt::QueuedConnection);
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
    app.reset();
    return exitCode;
}

} // namespace tessaravolt::app
