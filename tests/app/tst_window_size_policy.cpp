#include "app/window_size_policy.h"

#include <QTest>

#include <limits>

using tessaravolt::app::recommendedLogicalWindowSize;
using tessaravolt::app::recommendedWindowSize;

class TestWindowSizePolicy : public QObject
{
    Q_OBJECT

private slots:
    void logicalSize_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QSize>("physicalWindow");
        QTest::addColumn<QSize>("logicalWindow");

        QTest::newRow("1920x1080@1") << 1920 << 1080 << 1.0 << QSize(1008, 756) << QSize(1008, 756);
        QTest::newRow("2560x1440@1") << 2560 << 1440 << 1.0 << QSize(1440, 1080) << QSize(1440, 1080);
        QTest::newRow("1366x768@1") << 1366 << 768 << 1.0 << QSize(717, 538) << QSize(717, 538);
        QTest::newRow("1280x720@1") << 1280 << 720 << 1.0 << QSize(672, 504) << QSize(672, 504);
        QTest::newRow("1920x1200@1") << 1920 << 1200 << 1.0 << QSize(1120, 840) << QSize(1120, 840);
        QTest::newRow("1799x1350@1") << 1799 << 1350 << 1.0 << QSize(1259, 944) << QSize(1259, 944);
        QTest::newRow("1800x1350@1") << 1800 << 1350 << 1.0 << QSize(1440, 1080) << QSize(1440, 1080);
        QTest::newRow("1800x1349@1") << 1800 << 1349 << 1.0 << QSize(1259, 944) << QSize(1259, 944);
        QTest::newRow("1536x864@1.25") << 1536 << 864 << 1.25 << QSize(1008, 756) << QSize(806, 605);
        QTest::newRow("1280x720@1.5") << 1280 << 720 << 1.5 << QSize(1008, 756) << QSize(672, 504);
        QTest::newRow("1920x1080@1.5") << 1920 << 1080 << 1.5 << QSize(1440, 1080) << QSize(960, 720);
        QTest::newRow("1920x1080@2") << 1920 << 1080 << 2.0 << QSize(1440, 1080) << QSize(720, 540);
        QTest::newRow("ratio below 1") << 1920 << 1080 << 0.75 << QSize(1008, 756) << QSize(1008, 756);
        QTest::newRow("empty screen") << 0 << 0 << 1.0 << QSize(1, 1) << QSize(1, 1);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("ratio NaN") << 1920 << 1080 << nan << QSize(1008, 756) << QSize(1008, 756);
        QTest::newRow("ratio +inf") << 1920 << 1080 << inf << QSize(1008, 756) << QSize(1008, 756);
        QTest::newRow("ratio huge") << 1920 << 1080 << 1e300 << QSize(1008, 756) << QSize(1008, 756);
        QTest::newRow("huge screen, large ratio") << std::numeric_limits<int>::max() << std::numeric_limits<int>::max()
                                                  << 32.0 << QSize(1440, 1080) << QSize(45, 34);
    }

    void logicalSize()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(double, ratio);
        QFETCH(QSize, logicalWindow);
        QCOMPARE(recommendedLogicalWindowSize(w, h, ratio), logicalWindow);
    }

    void physicalSize_data() { logicalSize_data(); }

    void physicalSize()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(double, ratio);
        QFETCH(QSize, physicalWindow);
        if (!(ratio >= 1.0 && ratio <= 2.0))
            QSKIP("the physical screen of this row is not a plain product");
        QCOMPARE(recommendedWindowSize(int(std::lround(w * ratio)), int(std::lround(h * ratio))), physicalWindow);
    }

    void defaultWithoutScreen() { QCOMPARE(recommendedWindowSize(1440, 1080), QSize(1008, 756)); }
};

QTEST_APPLESS_MAIN(TestWindowSizePolicy)
#include "tst_window_size_policy.moc"
