#pragma once

#include <QIcon>
#include <QString>

namespace tessaravolt::app {

// An icon of one image file that is decoded only when a pixmap of it is first needed. The
// application icon is a large PNG; decoding it eagerly costs start-up time on platforms that never
// draw it.
QIcon deferredFileIcon(const QString& fileName);

} // namespace tessaravolt::app
