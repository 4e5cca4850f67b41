// The power page alone in a window, answered every second the way the four-port power bank
// answers it: the page's own load without the device link (compare with power_page_cpu.sh --sim).
#include "transport/hid_service_api.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

#include <cstdio>

Q_IMPORT_QML_PLUGIN(TessaravoltPlugin)

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QQuickView view;
    view.engine()->addImportPath(QStringLiteral("qrc:/qt/qml"));
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(1280, 960);
    // POWER_PAGE_URL loads another copy of the page, for comparing variants of it.
    const QString url =
        qEnvironmentVariable("POWER_PAGE_URL", QStringLiteral("qrc:/qt/qml/Tessaravolt/app/qml/pages/PowerPage.qml"));
    view.setSource(QUrl::fromUserInput(url));
    if (view.status() != QQuickView::Ready) {
        std::fprintf(stderr, "power page did not load\n");
        return 1;
    }
    view.show();

    auto* api = tessaravolt::transport::HidServiceApi::instance();
    if (!api) {
        std::fprintf(stderr, "no HidServiceApi\n");
        return 1;
    }
    emit api->portCount(4);
    emit api->soc(76);
    QTimer answers;
    answers.setInterval(1000);
    QObject::connect(&answers, &QTimer::timeout, api, [api] {
        emit api->portInfo(0, 2, 1, 9000, 2220, 31, 3, 300);
        emit api->portInfo(1, 0, 1, 0, 0, 25, 0, 300);
        emit api->portInfo(2, 1, 2, 5000, 1000, 28, 0, 150);
        emit api->portInfo(3, 2, 3, 9000, 1000, 30, 54, 150);
    });
    answers.start();

    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    return app.exec();
}
