#pragma once

// Walking a Qt Quick item tree the way the scene shows it: through visual children, so delegates
// of views and items of loaders are found too (their QObject parents may be elsewhere).

#include <QList>
#include <QQuickItem>
#include <QString>

namespace tessaravolt::test {

inline void collectItems(QQuickItem* item, QList<QQuickItem*>& out)
{
    out << item;
    for (QQuickItem* child : item->childItems())
        collectItems(child, out);
}

// The root and every item below it, depth first; empty without a root.
inline QList<QQuickItem*> descendants(QQuickItem* root)
{
    QList<QQuickItem*> out;
    if (root)
        collectItems(root, out);
    return out;
}

// The first item below root (or root itself) with that object name.
inline QQuickItem* findNamed(QQuickItem* root, const QString& name)
{
    for (QQuickItem* item : descendants(root))
        if (item->objectName() == name)
            return item;
    return nullptr;
}

} // namespace tessaravolt::test
