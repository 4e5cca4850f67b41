#pragma once

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace tessaravolt::common {

// A save dialog's answer as a path: a local-file URL becomes its local path, any other text stays.
QString normalizedLocalPath(const QString& path);

// Writes the diagnostic report and the application log to files chosen by the user.
class PdfExporter : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Why the last export failed, in the system's words ("No space left on device"); empty after
    // one that succeeded.
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

public:
    static PdfExporter* create(QQmlEngine* qmlEngine, QJSEngine* jsEngine);
    static PdfExporter* instance();
    ~PdfExporter() override;

    // The lists hold event-log display maps, newest first. True only when the whole report stands
    // at the path (".pdf" appended when missing); on failure any earlier file there is left as it was.
    // Neither export creates a folder.
    Q_INVOKABLE bool exportDiagnosticReport(const QString& path, const QString& modelNo, const QString& serialNo,
                                            const QString& hardwareVersion, const QString& firmwareVersion,
                                            const QVariantList& activityLogs, const QVariantList& abnormalLogs);
    Q_INVOKABLE bool exportLog(const QString& path);

    QString lastError() const { return m_lastError; }

signals:
    void lastErrorChanged();

private:
    explicit PdfExporter(QObject* parent = nullptr)
        : QObject(parent)
    { }

    void setLastError(const QString& reason);
    bool failed(const QString& reason);

    QString m_lastError;
};

} // namespace tessaravolt::common
