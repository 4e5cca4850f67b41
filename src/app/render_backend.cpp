#include "app/render_backend.h"

#include "common/logger_manager.h"

#include <QDir>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace tessaravolt::app {

namespace {

QString environmentValue(const char* name)
{
    return qEnvironmentVariable(name).trimmed();
}

// The renderer Qt Quick would get, from a throw-away context on the platform's default surface format.
QString probeOpenGlRenderer()
{
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return {};
    const auto* name = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    QString renderer = name ? QString::fromLatin1(name).trimmed() : QString();
    context.doneCurrent();
    return renderer;
}

} // namespace

bool isSoftwareRasteriser(const QString& openGlRenderer)
{
    // Mesa's llvmpipe, softpipe and swrast ("Software Rasterizer"), also under zink on lavapipe.
    static const char* const names[] = {"llvmpipe", "softpipe", "swrast", "software rasterizer", "lavapipe"};
    for (const char* name : names) {
        if (openGlRenderer.contains(QLatin1String(name), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool hasRenderNode(const QString& drmFolder)
{
    return !QDir(drmFolder).entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files).isEmpty();
}

bool needsRendererProbe(const RenderEnvironment& environment)
{
    return environment.quickBackend.isEmpty() && environment.rhiBackend.isEmpty() && environment.openGlDefault
        && environment.renderNode;
}

RenderBackendChoice chooseRenderBackend(const RenderEnvironment& environment, const QString& openGlRenderer)
{
    if (!environment.quickBackend.isEmpty())
        return {RenderBackend::QtDefault,
                QStringLiteral("QT_QUICK_BACKEND=%1, set by the user").arg(environment.quickBackend)};
    if (!environment.rhiBackend.isEmpty())
        return {RenderBackend::QtDefault,
                QStringLiteral("QSG_RHI_BACKEND=%1, set by the user").arg(environment.rhiBackend)};
    if (!environment.openGlDefault)
        return {RenderBackend::QtDefault, QStringLiteral("Qt's default for this platform")};
    // Creating a context only to learn that it is a software rasteriser costs tens of milliseconds
    // and leaves Mesa loaded.
    if (!environment.renderNode)
        return {RenderBackend::Software,
                QStringLiteral("software: no DRM render node (%1/renderD*), so OpenGL could only draw on the CPU")
                    .arg(QLatin1String(kDrmDeviceFolder))};
    if (openGlRenderer.isEmpty())
        return {RenderBackend::QtDefault, QStringLiteral("OpenGL, no renderer name: no OpenGL context could be made")};
    if (isSoftwareRasteriser(openGlRenderer))
        return {RenderBackend::Software,
                QStringLiteral("software: the OpenGL renderer \"%1\" draws on the CPU").arg(openGlRenderer)};
    return {RenderBackend::QtDefault, QStringLiteral("OpenGL, renderer \"%1\"").arg(openGlRenderer)};
}

RenderBackendChoice applyRenderBackend(const QString& drmFolder)
{
    RenderEnvironment environment;
    environment.quickBackend = environmentValue("QT_QUICK_BACKEND");
    environment.rhiBackend = environmentValue("QSG_RHI_BACKEND");
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    environment.openGlDefault = false;
    Q_UNUSED(drmFolder)
#else
    environment.renderNode = hasRenderNode(drmFolder);
#endif
    const QString renderer = needsRendererProbe(environment) ? probeOpenGlRenderer() : QString();
    const RenderBackendChoice choice = chooseRenderBackend(environment, renderer);
    if (choice.backend == RenderBackend::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    common::LoggerManager::instance().addLog(QStringLiteral("Render backend: ") + choice.reason);
    return choice;
}

} // namespace tessaravolt::app
