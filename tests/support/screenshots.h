#pragma once

// Where a test writes the pictures it takes: $TESSARAVOLT_SCREENSHOT_DIR when set, else a folder of
// the given name in the test's working folder. Created when missing.

#include <QDir>
#include <QString>

namespace tessaravolt::test {

inline QDir screenshotDir(const QString& folderName)
{
    const QString configured = qEnvironmentVariable("TESSARAVOLT_SCREENSHOT_DIR");
    QDir dir(configured.isEmpty() ? QDir::current().absoluteFilePath(folderName) : configured);
    dir.mkpath(QStringLiteral("."));
    return dir;
}

} // namespace tessaravolt::test
