#include "common/pdf_exporter.h"

#include "common/logger_manager.h"
#include "common/singleton_slot.h"

#include <QUrl>

namespace tessaravolt::common {

namespace {
SingletonSlot<PdfExporter> s_instance;

// A local-file URL as a QML file dialog gives it becomes a path; any other text stays as it is.
QString toLocalPath(const QString& text)
{
    const QUrl url(text, QUrl::TolerantMode);
    if (url.isLocalFile())
        return url.toLocalFile();
    return text;
}
} // namespace

PdfExporter* PdfExporter::create(QQmlEngine*, QJSEngine*)
{
    return instance();
}

PdfExporter* PdfExporter::instance()
{
    return s_instance.get([] { return new PdfExporter; });
}

PdfExporter::~PdfExporter()
{
    s_instance.release(this);
}

bool PdfExporter::exportLog(const QString& path)
{
    const QString localPath = toLocalPath(path);
    if (localPath.isEmpty())
        return false;
    return LoggerManager::instance().exportLog(localPath);
}

} // namespace tessaravolt::common
