#pragma once

#include <QString>
#include <QStringView>

namespace tessaravolt::common {

// A text the power bank sent, made fit to show: without control characters (C0, DEL, C1) and
// without the bidirectional embedding, override and isolate characters, which would let a device
// text reorder or break the line it is shown in. Everything else is kept as it came.
QString cleanDeviceText(QStringView text);

} // namespace tessaravolt::common
