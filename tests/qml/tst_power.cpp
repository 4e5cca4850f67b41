#include "support/animation_clock.h"

#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// Runs the power page's QML tests; screenshots go to power-screenshots/ beside the test binary.
class PowerTestSetup : public QObject
{
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        tessaravolt::test::exposeAnimationClock(engine);
        const QString dir = QDir::current().absoluteFilePath(QStringLiteral("power-screenshots"));
        QDir().mkpath(dir);
        engine->rootContext()->setContextProperty(QStringLiteral("powerScreenshotDir"), dir);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_power, PowerTestSetup)

#include "tst_power.moc"
