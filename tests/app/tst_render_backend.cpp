#include "app/render_backend.h"

#include <QTest>

using tessaravolt::app::chooseRenderBackend;
using tessaravolt::app::needsRendererProbe;
using tessaravolt::app::RenderBackend;
using tessaravolt::app::RenderEnvironment;

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
};

QTEST_APPLESS_MAIN(TestRenderBackend)

#include "tst_render_backend.moc"
