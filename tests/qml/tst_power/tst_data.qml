import QtQuick
import QtTest
import "qrc:/qt/qml/Tessaravolt/app/qml/pages/power/powerData.js" as PowerData

// The power page's data rules, as the page ships them.
TestCase {
    name: "PowerData"

    function port(index, status, type, voltageMv, currentMa, powerW) {
        return PowerData.makePort(index, status, type, voltageMv, currentMa, powerW, () => "P" + index);
    }

    function storeAll(list) {
        const ports = {};
        list.forEach(p => { const r = port.apply(null, p); if (r) ports[p[0]] = r; });
        return ports;
    }

    function test_portRequests_data() {
        return [
            { tag: "0 ports", count: 0, requests: [] },
            { tag: "3 ports", count: 3, requests: [[0, 3]] },
            { tag: "4 ports", count: 4, requests: [[0, 4]] },
            { tag: "5 ports", count: 5, requests: [[0, 4], [4, 1]] },
            { tag: "8 ports", count: 8, requests: [[0, 4], [4, 4]] },
            { tag: "9 ports", count: 9, requests: [[0, 4], [4, 4], [8, 1]] },
        ];
    }

    function test_portRequests(data) {
        compare(JSON.stringify(PowerData.portRequests(data.count)), JSON.stringify(data.requests));
    }

    function test_oneDecimalTexts_data() {
        return [
            { tag: "example port", mv: 9000, ma: 2220, w: 300, voltage: "9.0", current: "2.2", power1: "20.0", power2: "30.0" },
            { tag: "half amp rounds up", mv: 0, ma: 1250, w: 0, voltage: "0.0", current: "1.3", power1: "0.0", power2: "0.0" },
            { tag: "quarter amp", mv: 0, ma: 250, w: 5, voltage: "0.0", current: "0.3", power1: "0.0", power2: "0.5" },
            { tag: "11.25 W rounds up", mv: 5000, ma: 2250, w: 150, voltage: "5.0", current: "2.3", power1: "11.3", power2: "15.0" },
            { tag: "idle port", mv: 0, ma: 0, w: 0, voltage: "0.0", current: "0.0", power1: "0.0", power2: "0.0" },
            { tag: "largest values", mv: 65535, ma: 65535, w: 65535, voltage: "65.5", current: "65.5", power1: "4294.8", power2: "6553.5" },
        ];
    }

    function test_oneDecimalTexts(data) {
        const r = port(7, 2, 1, data.mv, data.ma, data.w);
        compare(r.voltage, data.voltage);
        compare(r.current, data.current);
        compare(r.power1, data.power1);
        compare(r.power2, data.power2);
        compare(r.index, 7);
        compare(r.status, 2);
        compare(r.protocol, "P7");
        compare(r.name, "");
    }

    function test_typesAndTags_data() {
        return [
            { tag: "type 0", type: 0, expected: null },
            { tag: "type 1", type: 1, expected: "C" },
            { tag: "type 2", type: 2, expected: "A" },
            { tag: "type 3", type: 3, expected: "W" },
            { tag: "type 4", type: 4, expected: "AC" },
            { tag: "type 5", type: 5, expected: null },
            { tag: "type 255", type: 255, expected: null },
        ];
    }

    function test_typesAndTags(data) {
        let resolved = 0;
        const r = PowerData.makePort(0, 1, data.type, 5000, 1000, 100, () => { ++resolved; return "x"; });
        if (data.expected === null) {
            compare(r, null);
            compare(resolved, 0, "the protocol of a dropped record is not resolved");
        } else {
            compare(r.tag, data.expected);
            compare(r.type, data.type);
            compare(resolved, 1);
        }
    }

    function test_namingAndOrder_data() {
        return [
            { tag: "four-port example",
              ports: [[0, 2, 1, 9000, 2220, 300], [1, 0, 1, 0, 0, 300], [2, 1, 2, 5000, 1000, 150], [3, 2, 3, 9000, 1000, 150]],
              names: { 0: "C1", 1: "C2", 2: "A", 3: "W" }, order: [2, 0, 1, 3] },
            { tag: "one of each kind",
              ports: [[5, 0, 4, 0, 0, 0], [1, 0, 3, 0, 0, 0], [2, 0, 2, 0, 0, 0], [0, 0, 1, 0, 0, 0]],
              names: { 0: "C", 1: "W", 2: "A", 5: "AC" }, order: [2, 5, 0, 1] },
            { tag: "lone C port",
              ports: [[1, 2, 1, 5000, 1000, 100]],
              names: { 1: "C" }, order: [1] },
            { tag: "second C port answers later with a higher index",
              ports: [[1, 2, 1, 5000, 1000, 100], [3, 2, 1, 5000, 1000, 100]],
              names: { 1: "C1", 3: "C2" }, order: [1, 3] },
            { tag: "second C port answers later with a lower index",
              ports: [[3, 2, 1, 5000, 1000, 100], [1, 2, 1, 5000, 1000, 100]],
              names: { 1: "C1", 3: "C2" }, order: [1, 3] },
            { tag: "numbers by index, not by arrival; no numeric sort of names",
              ports: [[12, 0, 1, 0, 0, 0], [2, 0, 1, 0, 0, 0], [7, 0, 1, 0, 0, 0], [4, 0, 1, 0, 0, 0], [9, 0, 1, 0, 0, 0],
                      [10, 0, 1, 0, 0, 0], [11, 0, 1, 0, 0, 0], [0, 0, 1, 0, 0, 0], [1, 0, 1, 0, 0, 0], [3, 0, 1, 0, 0, 0]],
              names: { 0: "C1", 1: "C2", 2: "C3", 3: "C4", 4: "C5", 7: "C6", 9: "C7", 10: "C8", 11: "C9", 12: "C10" },
              order: [0, 12, 1, 2, 3, 4, 7, 9, 10, 11] },
        ];
    }

    function test_namingAndOrder(data) {
        const ports = {};
        let derived = null;
        data.ports.forEach(p => {
            ports[p[0]] = port.apply(null, p);
            derived = PowerData.derive(ports);
        });
        Object.keys(data.names).forEach(k => compare(ports[k].name, data.names[k], "name of index " + k));
        compare(JSON.stringify(derived.sortedIndexList), JSON.stringify(data.order));
        derived.sortedIndexList.forEach(i => compare(typeof i, "number"));
    }

    function test_totals_data() {
        return [
            { tag: "no ports", ports: [], out: 0, outMax: 0, inp: 0, inpMax: 0, hasIn: false, hasOut: false },
            { tag: "four-port example",
              ports: [[0, 2, 1, 9000, 2220, 300], [1, 0, 1, 0, 0, 300], [2, 1, 2, 5000, 1000, 150], [3, 2, 3, 9000, 1000, 150]],
              out: 29, outMax: 45, inp: 5, inpMax: 15, hasIn: true, hasOut: true },
            { tag: "sums of the rounded texts",
              ports: [[0, 2, 1, 9000, 50, 0], [1, 2, 1, 5000, 8, 0]],
              out: 1, outMax: 0, inp: 0, inpMax: 0, hasIn: false, hasOut: true },
            // 0.1 + 4.1 + 0.3 added as doubles is 4.4999...; the texts add up to an exact half.
            { tag: "exact half of many texts rounds up",
              ports: [[0, 2, 1, 1000, 100, 1], [1, 2, 1, 4100, 1000, 41], [2, 2, 1, 1000, 300, 3]],
              out: 5, outMax: 5, inp: 0, inpMax: 0, hasIn: false, hasOut: true },
            { tag: "input only",
              ports: [[0, 1, 1, 20000, 3000, 600], [1, 0, 2, 5000, 0, 100]],
              out: 0, outMax: 0, inp: 60, inpMax: 60, hasIn: true, hasOut: false },
            { tag: "status 3 and above count nowhere",
              ports: [[0, 3, 1, 9000, 2000, 300], [1, 255, 2, 5000, 1000, 100]],
              out: 0, outMax: 0, inp: 0, inpMax: 0, hasIn: false, hasOut: false },
            { tag: "idle ports count nowhere",
              ports: [[0, 0, 1, 9000, 2000, 300]],
              out: 0, outMax: 0, inp: 0, inpMax: 0, hasIn: false, hasOut: false },
        ];
    }

    function test_totals(data) {
        const d = PowerData.derive(storeAll(data.ports));
        compare(d.outputW, data.out, "outputW");
        compare(d.outputWMax, data.outMax, "outputWMax");
        compare(d.inputW, data.inp, "inputW");
        compare(d.inputWMax, data.inpMax, "inputWMax");
        compare(d.hasInput, data.hasIn, "hasInput");
        compare(d.hasOutput, data.hasOut, "hasOutput");
    }

    function test_flowState_data() {
        return [
            { tag: "idle", hasIn: false, hasOut: false, state: "idle" },
            { tag: "output only", hasIn: false, hasOut: true, state: "output" },
            { tag: "input only", hasIn: true, hasOut: false, state: "input" },
            { tag: "pass-through", hasIn: true, hasOut: true, state: "passThrough" },
        ];
    }

    function test_flowState(data) {
        compare(PowerData.flowState(data.hasIn, data.hasOut), data.state);
    }

    function test_fillHeight_data() {
        return [
            { tag: "0 %", soc: 0, h: 10 },
            { tag: "6 %", soc: 6, h: 10 },
            { tag: "7 %", soc: 7, h: 11.41 },
            { tag: "50 %", soc: 50, h: 81.5 },
            { tag: "100 %", soc: 100, h: 163 },
            { tag: "above 100 %", soc: 180, h: 163 },
        ];
    }

    function test_fillHeight(data) {
        fuzzyCompare(PowerData.fillHeight(data.soc, 163), data.h, 1e-9);
    }

    function test_cardChoices() {
        compare(PowerData.pluginForType(1), "../../assets/power_c.svg");
        compare(PowerData.pluginForType(2), "../../assets/power_a.svg");
        compare(PowerData.pluginForType(3), "../../assets/power_w.svg");
        compare(PowerData.pluginForType(4), "../../assets/power_c.svg");
        compare([0, 1, 2, 3, 9].map(PowerData.headerColorAt).join(),
                ["#64DD00", "#00C739", "#009546", "#009546", "#009546"].join());
    }
}
