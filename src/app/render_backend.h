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
};

// True when the renderer string of an OpenGL context names a rasteriser that runs on the CPU.
bool isSoftwareRasteriser(const QString& openGlRenderer);

// Whether the choice needs the OpenGL renderer's name at all: not when the user chose, nor where
// Qt Quick does not default to OpenGL.
bool needsRendererProbe(const RenderEnvironment& environment);

// The choice itself. An empty renderer means no OpenGL context could be made.
RenderBackendChoice chooseRenderBackend(const RenderEnvironment& environment, const QString& openGlRenderer);

// Reads the environment, asks OpenGL for its renderer when needed, applies the choice and logs it.
// Call after the application object exists and before the first window is made.
RenderBackendChoice applyRenderBackend();

} // namespace tessaravolt::app
