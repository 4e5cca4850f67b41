#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace tessaravolt::common {

// Writes the diagnostic report and the application log to files chosen by the user.
class PdfExporter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static PdfExporter* create(QQmlEngine* qmlEngine, QJSEngine* jsEngine);
    static PdfExporter* instance();
    ~PdfExporter() override;

    Q_INVOKABLE bool exportLog(const QString& path);

private:
    PdfExporter() = default;
};

} // namespace tessaravolt::common
