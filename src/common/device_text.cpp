#include "common/device_text.h"

namespace tessaravolt::common {

namespace {

// C0, DEL and C1; the line and paragraph separators, which break a line as a line feed does; and
// the bidi embeddings, overrides and isolates.
constexpr bool isDropped(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString cleanDeviceText(QStringView text)
{
    qsizetype first = 0;
    while (first < text.size() && !isDropped(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text.toString();
    QString clean;
    clean.reserve(text.size() - 1);
    clean.append(text.first(first));
    for (qsizetype i = first + 1; i < text.size(); ++i) {
        if (!isDropped(text[i].unicode()))
            clean.append(text[i]);
    }
    return clean;
}

} // namespace tessaravolt::common
