import QtQuick
import Tessaravolt

Item {
    id: root

    // A page's popups and dialogs are shown in the window's overlay, outside the page's items, and
    // Qt's own file dialog is not even closed when the object that opened it is destroyed: left
    // open over the next page, their buttons would lead nowhere. They close with the page.
    function closeOpenPopups(object) {
        const data = object.data
        if (!data)
            return
        for (let i = 0; i < data.length; ++i) {
            const child = data[i]
            if (!child)
                continue
            if (child.visible === true && typeof child.close === "function")
                child.close()
            root.closeOpenPopups(child)
        }
    }

    Component.onDestruction: root.closeOpenPopups(root)

    Rectangle {
        anchors.fill: parent
        color: Theme.pageBackground
    }
}
