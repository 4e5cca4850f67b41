#include "report/save_location.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessaravolt::common {

SaveLocation::SaveLocation(QObject* parent)
    : QObject(parent)
{ }

QString SaveLocation::proposedFolderPath()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString SaveLocation::localPath(const QString& urlOrPath)
{
    if (urlOrPath.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(urlOrPath).toLocalFile();
    return urlOrPath;
}

QUrl SaveLocation::proposedFolder() const
{
    return QUrl::fromLocalFile(proposedFolderPath());
}

bool SaveLocation::exists(const QString& urlOrPath) const
{
    const QString path = localPath(urlOrPath);
    return !path.isEmpty() && QFileInfo(path).exists();
}

} // namespace tessaravolt::common
