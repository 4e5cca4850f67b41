#include <QDesktopServices>
#include <QDir>
#include <QQmlContext>
#include <QQmlEngine>
#include <QUrl>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

// Stands in for the desktop's browser: every web address the program hands over is kept.
class OpenedUrls : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE QStringList take()
    {
        QStringList urls = m_urls;
        m_urls.clear();
        return urls;
    }

public slots:
    void open(const QUrl& url) { m_urls << url.toString(); }

private:
    QStringList m_urls;
};

// Runs the diagnostics page's QML tests (tst_diagnostics/); screenshots go to
// diagnostics-screenshots/ beside the test binary.
class DiagnosticsTestSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        for (const char* scheme : {"https", "http"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_urls, "open");
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        const QString dir = QDir::current().absoluteFilePath(QStringLiteral("diagnostics-screenshots"));
        QDir().mkpath(dir);
        engine->rootContext()->setContextProperty(QStringLiteral("diagnosticsScreenshotDir"), dir);
        engine->rootContext()->setContextProperty(QStringLiteral("openedUrls"), &m_urls);
    }

    void cleanupTestCase()
    {
        for (const char* scheme : {"https", "http"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

private:
    OpenedUrls m_urls;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_diagnostics, DiagnosticsTestSetup)

#include "tst_diagnostics.moc"
