import QtQuick
import Tessaravolt

Text {
    property bool skipLangCheck: false

    // Texts come from the power bank too: never read them as markup.
    textFormat: Text.PlainText
    color: Theme.white
    font.family: Theme.fontCompat(skipLangCheck, Theme.suisseIntlRegular.name)
    font.pixelSize: Theme.fontBody
    font.letterSpacing: 0
}
