#pragma once

#include <QString>

namespace tessaravolt::app {

// What the program asks of Qt Quick's scene graph before its first window.
enum class RenderBackend {
    QtDefault, // Qt's own choice (or the user's, through the environment)
    Software,  // Qt Quick's software renderer
};

struct RenderBackendChoice
{
    RenderBackend backend = RenderBackend::QtDefault;
    QString reason; // for the start-up log line
};

// The inputs of the choice, as strings read from the environment and the OpenGL probe.
struct RenderEnvironment
{
    QString quickBackend;      // QT_QUICK_BACKEND
    QString rhiBackend;        // QSG_RHI_BACKEND
    bool openGlDefault = true; // Qt Quick defaults to OpenGL on this platform
    bool renderNode = true;    // a DRM render node exists (a GPU driver could draw)
};

// Where the kernel puts the DRM device nodes.
inline constexpr char kDrmDeviceFolder[] = "/dev/dri";

// True when the folder holds a DRM render node (renderD128, ...). Without one no GPU driver is
// loaded, and Mesa can only rasterise on the CPU.
bool hasRenderNode(const QString& drmFolder);

// True when the renderer string of an OpenGL context names a rasteriser that runs on the CPU.
bool isSoftwareRasteriser(const QString& openGlRenderer);

// Whether the choice needs the OpenGL renderer's name at all: not when the user chose, nor where
// Qt Quick does not default to OpenGL, nor without a render node.
bool needsRendererProbe(const RenderEnvironment& environment);

// The choice itself. An empty renderer means no OpenGL context could be made.
RenderBackendChoice chooseRenderBackend(const RenderEnvironment& environment, const QString& openGlRenderer);

// Reads the environment and the DRM folder, asks OpenGL for its renderer when needed, applies the
// choice and logs it. Call after the application object exists and before the first window is made.
RenderBackendChoice applyRenderBackend(const QString& drmFolder = QString::fromLatin1(kDrmDeviceFolder));

} // namespace tessaravolt::app
