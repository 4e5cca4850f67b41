#include "support/animation_clock.h"

#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// Runs the shell's tst_*.qml files (tst_shell/) against the module compiled into the program.
class QmlTestSetup : public QObject
{
    Q_OBJECT

public:
    // Created before the application object: hides an installed copy of the embedded family, so
    // that the tests see only the fonts the program carries.
    QmlTestSetup()
    {
        QFile config(m_fontConfigDir.filePath(QStringLiteral("fonts.conf")));
        if (!m_fontConfigDir.isValid() || !config.open(QIODevice::WriteOnly))
            qFatal("cannot write the test font configuration");
        config.write(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <selectfont><rejectfont><glob>*/Inter*</glob></rejectfont></selectfont>
</fontconfig>
)");
        config.close();
        qputenv("FONTCONFIG_FILE", QFile::encodeName(config.fileName()));
    }

public slots:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        tessaravolt::test::exposeAnimationClock(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("APP_VERSION_UNDER"), QStringLiteral("1_0_8"));
    }

private:
    QTemporaryDir m_fontConfigDir;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_shell, QmlTestSetup)

#include "tst_shell.moc"
