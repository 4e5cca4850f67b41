#include "app/deferred_file_icon.h"

#include <QGuiApplication>
#include <QImage>
#include <QTest>

using tessaravolt::app::deferredFileIcon;

namespace {
const QString kAppIcon = QStringLiteral(":/app/icons/app-icon.png");
}

// The deferred application icon must draw exactly what an icon of the file draws.
class TestDeferredFileIcon : public QObject
{
    Q_OBJECT

private slots:
    void sameAsAnIconOfTheFile_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qreal>("scale");
        QTest::newRow("16") << QSize(16, 16) << 1.0;
        QTest::newRow("48") << QSize(48, 48) << 1.0;
        QTest::newRow("256 at 2x") << QSize(256, 256) << 2.0;
        QTest::newRow("full size") << QSize(1024, 1024) << 1.0;
        QTest::newRow("wider than tall") << QSize(300, 100) << 1.0;
    }

    void sameAsAnIconOfTheFile()
    {
        QFETCH(QSize, size);
        QFETCH(qreal, scale);
        const QIcon direct(kAppIcon);
        const QIcon deferred = deferredFileIcon(kAppIcon);
        QVERIFY(!deferred.isNull());
        QCOMPARE(deferred.availableSizes(), direct.availableSizes());
        QCOMPARE(deferred.actualSize(size), direct.actualSize(size));
        const QImage expected = direct.pixmap(size, scale).toImage();
        QVERIFY(!expected.isNull());
        QCOMPARE(deferred.pixmap(size, scale).toImage(), expected);
    }

    void theApplicationIconIsTheFullSizeImage()
    {
        QGuiApplication::setWindowIcon(deferredFileIcon(kAppIcon));
        const QIcon icon = QGuiApplication::windowIcon();
        QCOMPARE(icon.availableSizes(), QList<QSize>({QSize(1024, 1024)}));
        const QImage image = icon.pixmap(QSize(1024, 1024)).toImage();
        QCOMPARE(image.size(), QSize(1024, 1024));
        QVERIFY(image.hasAlphaChannel());
    }

    void missingFileIsANullIcon()
    {
        const QIcon icon = deferredFileIcon(QStringLiteral(":/no/such/icon.png"));
        QVERIFY(icon.isNull());
        QVERIFY(icon.pixmap(QSize(32, 32)).isNull());
    }
};

QTEST_MAIN(TestDeferredFileIcon)
#include "tst_deferred_file_icon.moc"
