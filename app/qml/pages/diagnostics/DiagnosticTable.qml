import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tessaravolt
import "diagnosticsData.js" as Data

// One event log at a time, newest first. The activity log is pushed by the service (activityEvent,
// de-duplicated by sequence number, and eventCacheReset); the abnormal log is pulled: its cache
// revision is checked every 2000 ms and a changed cache is read from a sorted snapshot, at most
// 50 rows every 16 ms, keeping the row at the top of the view.
Rectangle {
    id: root

    required property var logEvent
    // The service the logs come from (a stand-in in tests).
    property var service: HidServiceApi

    property int _displayedEventType: -1
    property bool _probeOnNextRequest: false
    property double _renderedRevision: -1
    property double _snapshotRevision: -1
    property int _snapshotSize: 0
    property int _snapshotOffset: 0
    property bool _snapshotRendering: false
    property bool _positionAtBeginningOnNextSnapshot: false
    property bool _snapshotShouldPositionAtBeginning: false
    property int _scrollAnchorSeq: -1
    property real _scrollAnchorOffset: 0

    readonly property int rowHeight: 40
    readonly property alias rows: dataList
    readonly property alias view: listView

    // The service replays its cache within these calls: the records it brings are placed together
    // when the call returns.
    function request() {
        dataList.beginBatch()
        try {
            root.service.requestActivityEvents(root.logEvent.no, root.logEvent.count)
        } finally {
            dataList.endBatch()
        }
    }

    function probe() {
        dataList.beginBatch()
        try {
            root.service.probeActivityEvents(root.logEvent.no, root.logEvent.count)
        } finally {
            dataList.endBatch()
        }
    }

    function requireDataOnChange() {
        const type = root.logEvent.isActivity ? 0 : 1
        const typeChanged = type !== root._displayedEventType
        if (typeChanged) {
            root.cancelAbnormalSnapshot()
            root.resetTable()
            root._displayedEventType = type
            root._positionAtBeginningOnNextSnapshot = type === 1
            root._probeOnNextRequest = true
        }
        if (type === 1) {
            if (typeChanged)
                root.checkAbnormalCache()
            return
        }
        // No statistics yet: a request for 0 records would make the service drop its cache.
        if (root.logEvent.no < 0)
            return
        if (root.logEvent.count > 0)
            listView.positionViewAtBeginning()
        const probeToo = root._probeOnNextRequest && root.logEvent.count > 0
        root._probeOnNextRequest = false
        root.request()
        if (probeToo)
            root.probe()
    }

    // Emptied as a whole, which also takes the view back to its top: the other log's scroll
    // position must not stay behind for rows that come in later.
    function resetTable() {
        dataList.clear()
    }

    function cancelAbnormalSnapshot() {
        abnormalBatchTimer.stop()
        root._snapshotRendering = false
        root._snapshotShouldPositionAtBeginning = false
        root._snapshotRevision = -1
        root._renderedRevision = -1
        root._snapshotSize = 0
        root._snapshotOffset = 0
        root._scrollAnchorSeq = -1
        root._scrollAnchorOffset = 0
    }

    function checkAbnormalCache() {
        if (root.logEvent.isActivity)
            return
        const revision = Number(root.service.abnormalLogCacheMeta().revision)
        if (root._snapshotRendering || revision === root._renderedRevision)
            return
        root.beginAbnormalSnapshot()
    }

    function beginAbnormalSnapshot() {
        root._snapshotShouldPositionAtBeginning = root._positionAtBeginningOnNextSnapshot
        root._positionAtBeginningOnNextSnapshot = false
        if (root._snapshotShouldPositionAtBeginning) {
            root._scrollAnchorSeq = -1
            root._scrollAnchorOffset = 0
        } else {
            root.captureScrollAnchor()
        }
        const snapshot = root.service.beginAbnormalLogSnapshot()
        root._snapshotRevision = Number(snapshot.snapshotRevision)
        root._snapshotSize = Number(snapshot.available)
        root._snapshotOffset = 0
        root._snapshotRendering = true
        dataList.clear()
        if (root._snapshotSize === 0)
            root.finishAbnormalSnapshot()
        else
            abnormalBatchTimer.start()
    }

    function appendAbnormalSnapshotBatch() {
        if (!root._snapshotRendering || root.logEvent.isActivity)
            return
        const rows = root.service.readAbnormalLogSnapshot(root._snapshotOffset, 50)
        const count = rows ? rows.length : 0
        if (count > 0)
            dataList.appendRows(rows)
        root._snapshotOffset += count
        if (count === 0 || root._snapshotOffset >= root._snapshotSize)
            root.finishAbnormalSnapshot()
        else
            abnormalBatchTimer.start()
    }

    function finishAbnormalSnapshot() {
        root._renderedRevision = root._snapshotRevision
        root._snapshotRendering = false
        if (root._snapshotShouldPositionAtBeginning)
            listView.positionViewAtBeginning()
        else
            root.restoreScrollAnchor()
        root._snapshotShouldPositionAtBeginning = false
        root.clampView()
    }

    function captureScrollAnchor() {
        root._scrollAnchorSeq = -1
        root._scrollAnchorOffset = 0
        if (dataList.count === 0)
            return
        const top = listView.contentY - listView.originY
        let index = listView.indexAt(1, listView.contentY + 1)
        if (index < 0)
            index = Math.min(dataList.count - 1, Math.max(0, Math.floor(top / root.rowHeight)))
        root._scrollAnchorSeq = dataList.seqAt(index)
        root._scrollAnchorOffset = top - index * root.rowHeight
    }

    function restoreScrollAnchor() {
        if (root._scrollAnchorSeq < 0)
            return
        const index = dataList.indexOfSeq(root._scrollAnchorSeq)
        if (index >= 0) {
            listView.positionViewAtIndex(index, ListView.Beginning)
            listView.contentY = Math.max(listView.originY, listView.contentY + root._scrollAnchorOffset)
        }
        root._scrollAnchorSeq = -1
        root._scrollAnchorOffset = 0
    }

    // A view kept where it stood may now stand past the end of shorter content.
    function clampView() {
        const y = Data.clampedContentY(listView.contentY, listView.originY,
                                       dataList.count * root.rowHeight, listView.height)
        if (y !== listView.contentY)
            listView.contentY = y
    }

    function addActivityRecord(seq, ts, status, info, code) {
        if (root.logEvent.isActivity)
            dataList.addActivityRecord(seq, ts, status, info, code)
    }

    onLogEventChanged: requireDataOnChange()
    Component.onCompleted: requireDataOnChange()

    color: Theme.panelDark
    radius: Theme.panelRadius
    clip: true

    // Activity rows are placed by time stamp, newest first; among equal stamps the latest
    // arrival stands first. A sequence number already shown is dropped.
    EventLogTableModel {
        id: dataList
    }

    Timer {
        id: abnormalBatchTimer
        interval: 16
        repeat: false
        onTriggered: root.appendAbnormalSnapshotBatch()
    }

    Timer {
        interval: 2000
        repeat: true
        triggeredOnStart: true
        running: !root.logEvent.isActivity
        onTriggered: root.checkAbnormalCache()
    }

    Connections {
        target: root.service

        function onEventCacheReset(eventType) {
            if (Number(eventType) === root._displayedEventType)
                root.resetTable()
        }

        function onActivityEvent(seq, ts, status, info, code) {
            root.addActivityRecord(seq, ts, status, info, code)
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            objectName: "tableHeader"
            Layout.fillWidth: true
            Layout.preferredHeight: 40
            z: 3
            color: Theme.panelDarker
            border.width: 1
            border.color: Theme.panelDarker

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 20
                anchors.rightMargin: 20
                spacing: 0

                // Filling the width, the columns share what the gaps leave in the ratio of their preferred widths.
                HeaderLabel { text: qsTrId("date_u"); Layout.preferredWidth: 0.8 }
                HeaderDivider {}
                HeaderGap {}
                HeaderLabel { text: qsTrId("time_u"); Layout.preferredWidth: 1 }
                HeaderDivider {}
                HeaderGap {}
                HeaderLabel { text: qsTrId("event_u"); Layout.preferredWidth: 2 }
                HeaderDivider {}
                HeaderGap {}
                HeaderLabel { text: qsTrId("value_u"); Layout.preferredWidth: 1 }
            }
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 3
            z: 3
            color: Theme.panel
        }

        ListView {
            id: listView
            objectName: "logListView"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.bottomMargin: 26
            model: dataList
            boundsBehavior: Flickable.StopAtBounds
            boundsMovement: Flickable.StopAtBounds

            delegate: CornerRectangle {
                id: item_
                required property int index
                required property string date
                required property string time
                required property int event
                required property int state
                required property string value
                readonly property bool isViewportLast: y + height >= listView.contentY + listView.height - 1

                width: listView.width
                height: root.rowHeight
                radius: Theme.panelRadius
                topLeftRound: false
                topRightRound: false
                bottomLeftRound: isViewportLast
                bottomRightRound: isViewportLast
                color: index % 2 === 0 ? "transparent" : Theme.panelDarker

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 20
                    anchors.rightMargin: 20
                    spacing: 0

                    RowText { text: item_.date; skipLangCheck: true; Layout.preferredWidth: 0.8 }
                    RowGap {}
                    RowText { text: item_.time; skipLangCheck: true; Layout.preferredWidth: 1 }
                    RowGap {}
                    RowText {
                        objectName: "eventText"
                        text: root.logEvent.isActivity ? I18n.resolveActivityEvent(item_.event, I18n.language)
                                                       : I18n.resolveAbnormalEvent(item_.event, item_.state, I18n.language)
                        Layout.preferredWidth: 2
                    }
                    RowGap {}
                    RowText { text: item_.value; skipLangCheck: true; Layout.preferredWidth: 1 }
                }
            }

            ScrollBar.vertical: ScrollBar {
                id: scrollBar
                objectName: "logScrollBar"
                width: 18
                active: true
                background: CornerRectangle {
                    implicitWidth: 18
                    radius: 16
                    topLeftRound: false
                    bottomLeftRound: false
                    color: Theme.panelDark
                }
                // Basic fades its own handle out; this one is hidden outright when all rows fit.
                contentItem: Rectangle {
                    implicitWidth: 14
                    radius: 16
                    color: Theme.sidebar
                    visible: scrollBar.size > 0 && scrollBar.size < 1
                }
            }
        }
    }

    CornerMask {
        objectName: "cornerMaskLeft"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        corner: 2
    }

    CornerMask {
        objectName: "cornerMaskRight"
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        corner: 3
    }

    component HeaderLabel: AppText {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        font.pixelSize: 20
    }

    component HeaderDivider: Rectangle {
        Layout.alignment: Qt.AlignVCenter
        Layout.preferredWidth: 3
        Layout.preferredHeight: 30
        color: Theme.panel
    }

    component HeaderGap: Item {
        Layout.preferredWidth: 50
        Layout.fillHeight: true
    }

    component RowText: AppText {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignVCenter
        font.pixelSize: Theme.fontBody
    }

    component RowGap: Item {
        Layout.preferredWidth: 53
        Layout.fillHeight: true
    }
}
