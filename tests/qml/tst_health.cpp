#include "support/animation_clock.h"

#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// Runs the health page's QML tests; screenshots go to health-screenshots/ beside the test binary.
class HealthTestSetup : public QObject
{
    Q_OBJECT
public:
    HealthTestSetup()
    {
        // Fontconfig picks the CJK fallback face by language: fix it so the pixels are stable.
        qputenv("LANG", "en_US.UTF-8");
        qputenv("LC_ALL", "en_US.UTF-8");
        qputenv("FC_LANG", "zh-cn");
    }

public slots:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        tessaravolt::test::exposeAnimationClock(engine);
        const QString dir = QDir::current().absoluteFilePath(QStringLiteral("health-screenshots"));
        QDir().mkpath(dir);
        engine->rootContext()->setContextProperty(QStringLiteral("healthScreenshotDir"), dir);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_health, HealthTestSetup)

#include "tst_health.moc"
