#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// Runs the settings page's QML tests; screenshots go to settings-screenshots/ beside the test binary.
class SettingsTestSetup : public QObject
{
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        const QString dir = QDir::current().absoluteFilePath(QStringLiteral("settings-screenshots"));
        QDir().mkpath(dir);
        engine->rootContext()->setContextProperty(QStringLiteral("settingsScreenshotDir"), dir);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_settings, SettingsTestSetup)

#include "tst_settings.moc"
