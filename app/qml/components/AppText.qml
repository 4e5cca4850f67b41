import QtQuick
import Tessaravolt

Text {
    property bool skipLangCheck: false

    color: Theme.white
    font.family: Theme.fontCompat(skipLangCheck, Theme.suisseIntlRegular.name)
    font.pixelSize: Theme.fontBody
    font.letterSpacing: 0
}
