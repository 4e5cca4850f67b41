#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace tessaravolt::common {

// Where the save dialogs propose a file, and whether a chosen file is already there.
class SaveLocation : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit SaveLocation(QObject* parent = nullptr);

    // The user's Documents folder when it exists, else the home folder: the dialog must be able
    // to show the folder it proposes (a fresh account often has no Documents folder).
    Q_INVOKABLE QUrl proposedFolder() const;
    // True when a file (or anything else) exists at the local file URL or path.
    Q_INVOKABLE bool exists(const QString& urlOrPath) const;

    static QString proposedFolderPath();
    static QString localPath(const QString& urlOrPath);
};

} // namespace tessaravolt::common
