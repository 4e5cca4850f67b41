#include "app/render_backend.h"

#include "common/logger_manager.h"

#include <QDir>
#include <QFile>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

using tessaravolt::app::applyRenderBackend;
using tessaravolt::app::chooseRenderBackend;
using tessaravolt::app::hasRenderNode;
using tessaravolt::app::needsRendererProbe;
using tessaravolt::app::RenderBackend;
using tessaravolt::app::RenderBackendChoice;
using tessaravolt::app::RenderEnvironment;

namespace {

// Unsets a variable for its lifetime.
class UnsetEnvironment
{
public:
    explicit UnsetEnvironment(const char* name)
        : m_name(name)
        , m_set(qEnvironmentVariableIsSet(name))
        , m_value(qgetenv(name))
    {
        qunsetenv(name);
    }
    ~UnsetEnvironment()
    {
        if (m_set)
            qputenv(m_name, m_value);
    }
    UnsetEnvironment(const UnsetEnvironment&) = delete;
    UnsetEnvironment& operator=(const UnsetEnvironment&) = delete;

private:
    const char* m_name;
    bool m_set;
    QByteArray m_value;
};

} // namespace

class TestRenderBackend : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QString>("quickBackend");
        QTest::addColumn<QString>("rhiBackend");
        QTest::addColumn<bool>("openGlDefault");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<bool>("probe");
        QTest::addColumn<bool>("software");
        QTest::addColumn<QString>("reason");

        const QString llvmpipe = QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)");
        QTest::newRow("llvmpipe") << ""
                                  << "" << true << llvmpipe << true << true << "llvmpipe (LLVM 15.0.6";
        QTest::newRow("softpipe") << ""
                                  << "" << true << "softpipe" << true << true << "\"softpipe\"";
        QTest::newRow("classic swrast") << ""
                                        << "" << true << "Software Rasterizer" << true << true << "on the CPU";
        QTest::newRow("swrast by name") << ""
                                        << "" << true << "Mesa swrast" << true << true << "on the CPU";
        QTest::newRow("zink on lavapipe")
            << ""
            << "" << true << "zink Vulkan 1.3(llvmpipe (LLVM 15.0.6, 256 bits) (MESA_LLVMPIPE))" << true << true
            << "on the CPU";
        QTest::newRow("upper case") << ""
                                    << "" << true << "LLVMPIPE" << true << true << "on the CPU";
        QTest::newRow("Intel GPU") << ""
                                   << "" << true << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << true << false
                                   << "OpenGL, renderer \"Mesa Intel(R) UHD Graphics 620 (KBL GT2)\"";
        QTest::newRow("AMD GPU") << ""
                                 << "" << true << "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)" << true << false
                                 << "OpenGL, renderer";
        QTest::newRow("virtual GPU") << ""
                                     << "" << true << "virgl (Mesa)" << true << false << "OpenGL, renderer";
        QTest::newRow("VMware host GPU") << ""
                                         << "" << true << "SVGA3D; build: RELEASE;  LLVM;" << true << false
                                         << "OpenGL, renderer";
        QTest::newRow("no OpenGL context") << ""
                                           << "" << true << "" << true << false << "no OpenGL context";
        // The user's choice wins, whatever the renderer.
        QTest::newRow("user: software") << "software"
                                        << "" << true << llvmpipe << false << false
                                        << "QT_QUICK_BACKEND=software, set by the user";
        QTest::newRow("user: rhi on llvmpipe") << "rhi"
                                               << "" << true << llvmpipe << false << false << "QT_QUICK_BACKEND=rhi";
        QTest::newRow("user: OpenGL on llvmpipe")
            << ""
            << "opengl" << true << llvmpipe << false << false << "QSG_RHI_BACKEND=opengl, set by the user";
        QTest::newRow("user: Vulkan") << ""
                                      << "vulkan" << true << "" << false << false << "QSG_RHI_BACKEND=vulkan";
        QTest::newRow("user: both") << "software"
                                    << "opengl" << true << llvmpipe << false << false << "QT_QUICK_BACKEND=software";
        QTest::newRow("platform without OpenGL default")
            << ""
            << "" << false << llvmpipe << false << false << "Qt's default for this platform";
    }

    void choice()
    {
        QFETCH(QString, quickBackend);
        QFETCH(QString, rhiBackend);
        QFETCH(bool, openGlDefault);
        QFETCH(QString, renderer);
        QFETCH(bool, probe);
        QFETCH(bool, software);
        QFETCH(QString, reason);

        const RenderEnvironment environment{quickBackend, rhiBackend, openGlDefault};
        QCOMPARE(needsRendererProbe(environment), probe);
        const auto choice = chooseRenderBackend(environment, renderer);
        QCOMPARE(choice.backend == RenderBackend::Software, software);
        QVERIFY2(choice.reason.contains(reason), qPrintable(choice.reason));
    }

    // Without a render node no GPU driver can draw: software at once, without asking OpenGL,
    // unless the user chose.
    void withoutRenderNode_data()
    {
        QTest::addColumn<QString>("quickBackend");
        QTest::addColumn<QString>("rhiBackend");
        QTest::addColumn<bool>("software");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing set") << ""
                                     << "" << true << "software: no DRM render node (/dev/dri/renderD*)";
        QTest::newRow("user: OpenGL") << ""
                                      << "opengl" << false << "QSG_RHI_BACKEND=opengl, set by the user";
        QTest::newRow("user: rhi") << "rhi"
                                   << "" << false << "QT_QUICK_BACKEND=rhi, set by the user";
    }

    void withoutRenderNode()
    {
        QFETCH(QString, quickBackend);
        QFETCH(QString, rhiBackend);
        QFETCH(bool, software);
        QFETCH(QString, reason);
        RenderEnvironment environment{quickBackend, rhiBackend, true};
        environment.renderNode = false;
        QVERIFY(!needsRendererProbe(environment));
        // Whatever the probe would have said.
        const auto choice = chooseRenderBackend(environment, QStringLiteral("Mesa Intel(R) UHD Graphics 620"));
        QCOMPARE(choice.backend == RenderBackend::Software, software);
        QVERIFY2(choice.reason.contains(reason), qPrintable(choice.reason));
    }

    void renderNodeInFolder()
    {
        QTemporaryDir dri;
        QVERIFY(dri.isValid());
        const auto touch = [&](const char* name) {
            QVERIFY(QFile(dri.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
        };
        QVERIFY(!hasRenderNode(dri.filePath(QStringLiteral("missing"))));
        QVERIFY(!hasRenderNode(dri.path()));
        touch("card0"); // a display controller without a render node (a simple framebuffer)
        QVERIFY(QDir(dri.path()).mkdir(QStringLiteral("by-path")));
        QVERIFY(!hasRenderNode(dri.path()));
        touch("renderD128");
        QVERIFY(hasRenderNode(dri.path()));
    }

    // The start-up's own step, with no backend in the environment and an empty DRM folder: no
    // probe, software, and the log line says why.
    void startUpWithoutRenderNode()
    {
        QTemporaryDir dri;
        QVERIFY(dri.isValid());
        RenderBackendChoice choice;
        {
            const UnsetEnvironment quick("QT_QUICK_BACKEND");
            const UnsetEnvironment rhi("QSG_RHI_BACKEND");
            choice = applyRenderBackend(dri.path());
        }
        QCOMPARE(choice.backend, RenderBackend::Software);
        QCOMPARE(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));
        const auto entries = tessaravolt::common::LoggerManager::instance().entries();
        QVERIFY(!entries.isEmpty());
        QCOMPARE(entries.last().message,
                 QStringLiteral("Render backend: software: no DRM render node (/dev/dri/renderD*), so OpenGL could "
                                "only draw on the CPU"));
    }
};

QTEST_APPLESS_MAIN(TestRenderBackend)

#include "tst_render_backend.moc"
