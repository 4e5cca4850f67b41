import QtQuick
import QtQuick.Controls
import QtTest
import Tessaravolt

// The event-log table against a stand-in fakeService that records every call and serves the
// abnormal snapshot from a list of its own.
Item {
    id: stage
    width: 1132
    height: 331

    QtObject {
        id: fakeService

        signal activityEvent(int seq, double ts, int status, int info, int code)
        signal eventCacheReset(int eventType)

        property var calls: []
        property double revision: 0
        property var cache: []
        property var snapshot: []
        // For each page read: its offset and the rows the table held when asked.
        property var reads: []

        // Records the next request replays before it returns, as the service replays its cache:
        // [seq, ts], null for eventCacheReset(0), "fail" to throw.
        property var replay: []

        function requestActivityEvents(no, amount) {
            calls.push("request " + no + " " + amount)
            const records = replay
            replay = []
            for (const r of records) {
                if (r === null)
                    eventCacheReset(0)
                else if (r === "fail")
                    throw new Error("the request failed")
                else
                    activityEvent(r[0], r[1], 0, 1, -7)
            }
        }
        function probeActivityEvents(no, amount) { calls.push("probe " + no + " " + amount) }
        function abnormalLogCacheMeta() { return { revision: revision, available: cache.length } }
        function beginAbnormalLogSnapshot() {
            calls.push("snapshot")
            snapshot = cache.slice()
            return { snapshotRevision: revision, available: snapshot.length }
        }
        function readAbnormalLogSnapshot(offset, limit) {
            reads.push({ offset: offset, at: Date.now(), rows: table ? table.rows.count : -1 })
            return snapshot.slice(offset, offset + Math.min(limit, 50))
        }

        // Abnormal rows newest first, seq from `first` down.
        function fill(count, first) {
            const rows = []
            for (let i = 0; i < count; ++i) {
                const seq = first - i
                rows.push({ seq: seq, date: "2026/01/01", time: "10:00", state: 1, event: i % 6,
                            value: String(seq), sort: (1700000000 + seq) * 1000 })
            }
            cache = rows
        }

        function reset() {
            calls = []
            reads = []
            cache = []
            snapshot = []
            replay = []
            revision = 0
        }
    }

    property DiagnosticTable table: null

    Component {
        id: tableComponent
        DiagnosticTable {
            width: 1132
            height: 331
            service: fakeService
        }
    }

    TestCase {
        id: testCase
        name: "DiagnosticTable"
        when: windowShown

        function activity(no, count) { return { isActivity: true, no: no, count: count } }
        function abnormal(no, count) { return { isActivity: false, no: no, count: count } }

        function make(logEvent) {
            stage.table = createTemporaryObject(tableComponent, stage, { logEvent: logEvent })
            verify(stage.table)
            return stage.table
        }

        function seqs(t) {
            const out = []
            for (let i = 0; i < t.rows.count; ++i)
                out.push(t.rows.get(i).seq)
            return out
        }

        function eventTexts(t) {
            const found = []
            const walk = item => {
                if (item.objectName === "eventText" && item.visible)
                    found.push(item)
                for (let i = 0; i < item.children.length; ++i)
                    walk(item.children[i])
            }
            walk(t.view.contentItem)
            return found.sort((a, b) => a.mapToItem(t, 0, 0).y - b.mapToItem(t, 0, 0).y).map(i => i.text)
        }

        function init() {
            fakeService.reset()
            if (!I18n.isEn)
                I18n.toggleLanguage()
        }

        function cleanup() {
            stage.table = null
        }

        function cleanupTestCase() {
            if (!I18n.isEn)
                I18n.toggleLanguage()
        }

        // Each delivery: [seq, ts]; null stands for eventCacheReset(0), "switch" for a visit to the
        // abnormal log and back, "next" for the end of one replay (a new request follows).
        function test_activity_order_data() {
            const top = 18446744073709551615
            return [
                { tag: "in order", deliveries: [[5, 500], [4, 400], [3, 300], [2, 200], [1, 100]],
                  shown: [5, 4, 3, 2, 1] },
                { tag: "reversed", deliveries: [[1, 100], [2, 200], [3, 300], [4, 400], [5, 500]],
                  shown: [5, 4, 3, 2, 1] },
                { tag: "shuffled", deliveries: [[3, 300], [5, 500], [1, 100], [4, 400], [2, 200]],
                  shown: [5, 4, 3, 2, 1] },
                { tag: "older than all goes last, newer than all first",
                  deliveries: [[5, 500], [4, 400], [9, 50], [8, 900]], shown: [8, 5, 4, 9] },
                { tag: "equal stamps: latest arrival first", deliveries: [[1, 100], [2, 100], [3, 100]],
                  shown: [3, 2, 1] },
                { tag: "equal stamps among others",
                  deliveries: [[1, 100], [2, 200], [3, 100], [4, 200], [5, 150]], shown: [4, 2, 5, 3, 1] },
                { tag: "equal stamps across two replays",
                  deliveries: [[1, 100], [2, 100], "next", [3, 100], [4, 50], [5, 100]], shown: [5, 3, 2, 1, 4] },
                { tag: "repeated sequence numbers give one row",
                  deliveries: [[1, 100], [2, 200], [1, 100], [2, 200], [1, 999]], shown: [2, 1] },
                { tag: "replay of the whole cache adds nothing",
                  deliveries: [[3, 30], [2, 20], [1, 10], "next", [3, 30], [2, 20], [1, 10], [4, 15]],
                  shown: [3, 2, 4, 1] },
                { tag: "reset in the middle of a replay",
                  deliveries: [[3, 30], [2, 20], null, [3, 30], [1, 10], [2, 20], [4, 20]], shown: [3, 4, 2, 1] },
                { tag: "reset at the end empties", deliveries: [[1, 10], [2, 20], null], shown: [] },
                { tag: "switch of log", deliveries: [[1, 10], [2, 20], "switch", [3, 5], [1, 10]], shown: [1, 3] },
                { tag: "stamps at the top of the range",
                  deliveries: [[1, 9223372036854775807], [2, top], [3, 100], [4, top]], shown: [4, 2, 1, 3] }
            ]
        }

        // Records one by one, as the device's answers bring them.
        function test_activity_order(data) {
            const t = make(activity(3, 40))
            for (const d of data.deliveries) {
                if (d === null) {
                    fakeService.eventCacheReset(0)
                } else if (d === "switch") {
                    t.logEvent = abnormal(1, 0)
                    fakeService.activityEvent(99, 1, 0, 1, 0)
                    t.logEvent = activity(3, 40)
                } else if (d !== "next") {
                    fakeService.activityEvent(d[0], d[1], 0, 1, -7)
                }
            }
            compare(seqs(t), data.shown)
        }

        // The same records replayed by the service within the table's requests.
        function test_activity_replay_order(data) {
            const t = make(activity(-1, 0))
            let replay = []
            const request = () => {
                fakeService.replay = replay
                replay = []
                t.logEvent = activity(3, 40)
                compare(fakeService.replay, [], "replayed within the request")
            }
            for (const d of data.deliveries) {
                if (d === "next") {
                    request()
                } else if (d === "switch") {
                    request()
                    t.logEvent = abnormal(1, 0)
                } else {
                    replay.push(d)
                }
            }
            request()
            compare(seqs(t), data.shown)
        }

        function test_activity_replay_order_data() {
            return test_activity_order_data()
        }

        // A request that fails half-way still shows what it brought, and later records come at once.
        function test_failed_request_ends_its_replay() {
            const t = make(activity(-1, 0))
            fakeService.replay = [[1, 100], [2, 200], "fail"]
            ignoreWarning(new RegExp("the request failed"))
            t.logEvent = activity(3, 40)
            compare(seqs(t), [2, 1])
            fakeService.activityEvent(3, 150, 0, 1, 0)
            compare(seqs(t), [2, 3, 1])
        }

        function test_activity_row_texts() {
            const t = make(activity(3, 1))
            const ts = new Date(2026, 0, 2, 3, 4, 5).getTime() / 1000
            fakeService.activityEvent(11, ts, 2, 4, -32768)
            fakeService.activityEvent(12, ts - 60, 0, 99, 0)
            const row = t.rows.get(0)
            compare([row.seq, row.date, row.time, row.state, row.event, row.value, row.sort],
                    [11, "2026/01/02", "03:04", 2, 4, "-32768", ts * 1000])
            compare(t.rows.get(1).value, "0")
            waitForRendering(t)
            compare(eventTexts(t), [I18n.resolveActivityEvent(4, I18n.language), "Unknown"])
        }

        // The selector's changes and the requests they make.
        function test_requests() {
            const t = make(activity(-1, 0))
            compare(fakeService.calls, [], "no request before the statistics")
            t.logEvent = activity(3, 40)
            compare(fakeService.calls, ["request 3 40", "probe 3 40"])
            t.logEvent = activity(3, 41)
            compare(fakeService.calls, ["request 3 40", "probe 3 40", "request 3 41"])
            t.logEvent = activity(3, 41)
            compare(fakeService.calls.length, 4, "an equal selector still asks")
            t.logEvent = abnormal(1, 5)
            compare(fakeService.calls[4], "snapshot")
            t.logEvent = abnormal(1, 6)
            compare(fakeService.calls.length, 5, "the abnormal log is watched, not asked for")
            t.logEvent = activity(3, 0)
            compare(fakeService.calls.slice(5), ["request 3 0"], "no probe for an empty log")
            t.logEvent = activity(3, 2)
            compare(fakeService.calls.slice(6), ["request 3 2"], "the probe flag was used up")
        }

        function test_records_while_abnormal_are_dropped() {
            const t = make(abnormal(1, 0))
            fakeService.activityEvent(1, 100, 0, 1, 0)
            compare(t.rows.count, 0)
            fakeService.eventCacheReset(0)
            t.logEvent = activity(3, 1)
            fakeService.activityEvent(1, 100, 0, 1, 0)
            compare(seqs(t), [1])
        }

        function test_abnormal_batches() {
            fakeService.fill(120, 500)
            const start = Date.now()
            const t = make(activity(3, 0))
            t.logEvent = abnormal(1, 120)
            compare(t.rows.count, 0, "empty until the first page")
            tryCompare(t.rows, "count", 120, 2000)
            compare(fakeService.reads.map(r => r.offset), [0, 50, 100])
            compare(fakeService.reads.map(r => r.rows), [0, 50, 100])
            for (let i = 1; i < fakeService.reads.length; ++i) {
                const gap = fakeService.reads[i].at - fakeService.reads[i - 1].at
                verify(gap >= 10, "pages " + gap + " ms apart")
            }
            verify(fakeService.reads[0].at - start >= 10)
            compare(seqs(t), fakeService.cache.map(r => r.seq))
            compare(t.view.contentY, t.view.originY, "shown from the top")
            // The first timer check finds the revision on screen.
            wait(50)
            compare(fakeService.calls.filter(c => c === "snapshot").length, 1)
        }

        function test_revision_change_during_rendering_waits() {
            fakeService.fill(120, 500)
            const t = make(abnormal(1, 120))
            tryVerify(() => t.rows.count >= 50, 1000)
            fakeService.fill(130, 510)
            fakeService.revision = 1
            t.checkAbnormalCache()
            tryCompare(t.rows, "count", 120, 1000)
            compare(seqs(t), Array.from({ length: 120 }, (v, i) => 500 - i))
            compare(fakeService.calls.filter(c => c === "snapshot").length, 1)
            // The next timer check renders the new cache, again without duplicates.
            tryCompare(t.rows, "count", 130, 4000)
            compare(seqs(t), Array.from({ length: 130 }, (v, i) => 510 - i))
        }

        function test_switch_during_rendering_starts_over() {
            fakeService.fill(120, 500)
            const t = make(abnormal(1, 120))
            tryVerify(() => t.rows.count >= 50, 1000)
            t.logEvent = activity(3, 0)
            compare(t.rows.count, 0)
            wait(60) // time for a few 16 ms pages to come, which none may
            compare(t.rows.count, 0, "no page after the switch")
            fakeService.fill(80, 300)
            t.logEvent = abnormal(1, 80)
            tryCompare(t.rows, "count", 80, 1000)
            wait(60) // time for a stray page of the old cache, which none may add
            compare(seqs(t), Array.from({ length: 80 }, (v, i) => 300 - i))
        }

        // The cache is checked again and again while the log is shown, not only at the start.
        function test_abnormal_check_repeats() {
            fakeService.fill(10, 100)
            const t = make(abnormal(1, 10))
            tryCompare(t.rows, "count", 10, 1000)
            wait(5000) // the new record arrives 5 s after the tab opened, past the first checks
            fakeService.fill(11, 101)
            fakeService.revision = 1
            tryCompare(t.rows, "count", 11, 2500)
            compare(t.rows.get(0).seq, 101)
        }

        // Scrolled down the abnormal log, back to the activity log: it is shown from its first row.
        function test_switch_to_activity_shows_top() {
            fakeService.fill(100, 100)
            const t = make(abnormal(1, 100))
            tryCompare(t.rows, "count", 100, 2000)
            t.view.contentY = 8 * 40 + 20
            waitForRendering(t)
            fakeService.replay = Array.from({ length: 40 }, (v, i) => [i + 1, 1000 + i])
            t.logEvent = activity(3, 40)
            compare(t.rows.count, 40)
            waitForRendering(t)
            compare(t.view.contentY, t.view.originY)
            const first = t.view.itemAtIndex(0)
            verify(first, "the first row is made")
            compare(first.mapToItem(t, 0, 0).y, 43, "the first row stands directly under the header")
            compare(first.date, t.rows.get(0).date)
        }

        function test_empty_snapshot() {
            const t = make(abnormal(1, 0))
            compare(t.rows.count, 0)
            // The empty snapshot counts as shown: the next check takes none.
            t.checkAbnormalCache()
            compare(fakeService.calls, ["snapshot"])
        }

        function test_position_kept() {
            fakeService.fill(100, 100)
            const t = make(abnormal(1, 100))
            tryCompare(t.rows, "count", 100, 2000)
            // Row seq 57 is index 43: scroll to 12 pixels past its top edge.
            t.view.contentY = 43 * 40 + 12
            fakeService.fill(110, 110)
            fakeService.revision = 1
            t.checkAbnormalCache()
            tryCompare(t.rows, "count", 110, 2000)
            const top = t.view.indexAt(1, t.view.contentY + 1)
            compare(t.rows.get(top).seq, 57)
            compare(t.view.contentY - top * 40, 12)
        }

        function test_position_clamped_data() {
            return [
                // Scrolled near the end, the anchor row is gone from a much shorter log.
                { tag: "anchor gone", before: 100, after: 10, scrollTo: 80 * 40 },
                // The anchor row is still there but near the end of the new log.
                { tag: "anchor near the end", before: 100, after: 60, scrollTo: 58 * 40 + 30, afterFirst: 100 },
                { tag: "log emptied", before: 100, after: 0, scrollTo: 50 * 40 }
            ]
        }

        function test_position_clamped(data) {
            fakeService.fill(data.before, 1000)
            const t = make(abnormal(1, data.before))
            tryCompare(t.rows, "count", data.before, 2000)
            t.view.contentY = data.scrollTo
            fakeService.fill(data.after, data.afterFirst !== undefined ? data.afterFirst + 1000 - 100 : 2000)
            fakeService.revision = 1
            t.checkAbnormalCache()
            tryCompare(t.rows, "count", data.after, 2000)
            const last = Math.max(0, data.after * 40 - t.view.height)
            verify(t.view.contentY >= t.view.originY, "not above the start")
            verify(t.view.contentY - t.view.originY <= last, "at most the end: " + t.view.contentY + " > " + last)
        }

        // A full reload of the activity log into fewer rows than the view was scrolled past.
        function test_activity_reload_clamped() {
            const t = make(activity(3, 40))
            for (let i = 1; i <= 40; ++i)
                fakeService.activityEvent(i, 1000 + i, 0, 1, 0)
            t.view.contentY = 40 * 40 - t.view.height
            fakeService.eventCacheReset(0)
            for (let i = 1; i <= 3; ++i)
                fakeService.activityEvent(100 + i, 2000 + i, 0, 1, 0)
            waitForRendering(t)
            compare(t.rows.count, 3)
            compare(t.view.contentY, t.view.originY)
        }

        function test_scroll_handle_data() {
            return [
                { tag: "empty", rows: 0, handle: false },
                { tag: "fits", rows: 6, handle: false },
                { tag: "longer than the view", rows: 40, handle: true }
            ]
        }

        function test_scroll_handle(data) {
            fakeService.fill(data.rows, 100)
            const t = make(abnormal(1, data.rows))
            tryCompare(t.rows, "count", data.rows, 2000)
            waitForRendering(t)
            const bar = t.view.ScrollBar.vertical
            compare(bar.width, 18)
            compare(bar.contentItem.visible, data.handle)
        }

        function test_language_switch() {
            fakeService.fill(6, 100)
            const t = make(abnormal(1, 6))
            tryCompare(t.rows, "count", 6, 2000)
            waitForRendering(t)
            const english = eventTexts(t)
            compare(english, fakeService.cache.map(r => I18n.resolveAbnormalEvent(r.event, r.state, I18n.language)))
            const calls = fakeService.calls.length
            I18n.toggleLanguage()
            const chinese = eventTexts(t)
            compare(chinese.length, 6)
            for (let i = 0; i < 6; ++i)
                verify(chinese[i] !== english[i], chinese[i])
            compare(chinese, fakeService.cache.map(r => I18n.resolveAbnormalEvent(r.event, r.state, I18n.language)))
            compare(fakeService.calls.length, calls, "nothing asked again")
            compare(t.rows.get(0).date, "2026/01/01")
        }

        // Stripes, the rounded row at the bottom of the view and the corner masks.
        function test_look() {
            fakeService.fill(20, 100)
            const t = make(abnormal(1, 20))
            tryCompare(t.rows, "count", 20, 2000)
            waitForRendering(t)
            const image = grabImage(t)
            const near = (c, hex) => Math.abs(c.r * 255 - parseInt(hex.substr(1, 2), 16)) <= 3
                                     && Math.abs(c.g * 255 - parseInt(hex.substr(3, 2), 16)) <= 3
                                     && Math.abs(c.b * 255 - parseInt(hex.substr(5, 2), 16)) <= 3
            // Row 0 (y 43..83) shows the table body, row 1 the darker stripe.
            verify(near(image.pixel(600, 50), "#282828"))
            verify(near(image.pixel(600, 90), "#232323"))
            // The header and its rule.
            verify(near(image.pixel(600, 5), "#232323"))
            verify(near(image.pixel(600, 41), "#323232"))
            // Bottom corners in the panel colour, whatever lies under them.
            verify(near(image.pixel(1, 330), "#323232"))
            verify(near(image.pixel(1131, 330), "#323232"))
            const rows = []
            for (let i = 0; i < 20; ++i) {
                const item = t.view.itemAtIndex(i)
                if (item && item.isViewportLast)
                    rows.push(i)
            }
            verify(rows.length > 0 && rows[0] === 6, "row 6 reaches the bottom of the view: " + rows)
            image.save(diagnosticsScreenshotDir + "/table.png")
        }
    }
}
