#include <QQmlContext>
#include <QQmlEngine>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// Runs the shell's tst_*.qml files (tst_shell/) against the module compiled into the program.
class QmlTestSetup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("APP_VERSION_UNDER"), QStringLiteral("1_0_8"));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_shell, QmlTestSetup)

#include "tst_shell.moc"
