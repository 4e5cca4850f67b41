.pragma library

// Rules of the power page's data, kept free of items so that they can be checked on their own.

var maxPortsPerRequest = 4

function tagForType(type) {
    switch (type) {
    case 1: return "C"
    case 2: return "A"
    case 3: return "W"
    case 4: return "AC"
    }
    return ""
}

function oneDecimal(value) {
    return value.toFixed(1)
}

// [position, amount] pairs of one poll over count ports.
function portRequests(count) {
    var requests = []
    for (var position = 0; position < count; position += maxPortsPerRequest)
        requests.push([position, Math.min(maxPortsPerRequest, count - position)])
    return requests
}

// The record of one port answer, or null for a type the page does not show. The protocol is
// resolved only for records that are kept.
function makePort(index, status, type, voltageMv, currentMa, powerW, resolveProtocol) {
    var tag = tagForType(type)
    if (tag === "")
        return null
    var volts = voltageMv * 0.001
    var amperes = currentMa * 0.001
    return {
        index: index,
        type: type,
        tag: tag,
        voltage: oneDecimal(volts),
        current: oneDecimal(amperes),
        power1: oneDecimal(volts * amperes),
        power2: oneDecimal(powerW * 0.1),
        protocol: resolveProtocol(),
        status: status,
        name: ""
    }
}

function sortedKeys(ports) {
    return Object.keys(ports).map(Number).sort(function (a, b) { return a - b; })
}

// Whole tenths of a one-decimal text, so that sums of many texts do not drift below an exact half.
function tenths(text) {
    return Math.round(parseFloat(text) * 10)
}

// Names every stored record and returns the totals, the flags and the card order.
function derive(ports) {
    var keys = sortedKeys(ports)
    var tagCount = {}
    keys.forEach(function (key) {
        var tag = ports[key].tag
        tagCount[tag] = (tagCount[tag] || 0) + 1
    })

    var running = {}
    var input = 0, inputMax = 0, output = 0, outputMax = 0
    var hasInput = false, hasOutput = false
    keys.forEach(function (key) {
        var port = ports[key]
        if (tagCount[port.tag] === 1) {
            port.name = port.tag
        } else {
            running[port.tag] = (running[port.tag] || 0) + 1
            port.name = port.tag + running[port.tag]
        }
        if (port.status === 1) {
            input += tenths(port.power1)
            inputMax += tenths(port.power2)
            hasInput = true
        } else if (port.status === 2) {
            output += tenths(port.power1)
            outputMax += tenths(port.power2)
            hasOutput = true
        }
    })

    var order = keys.slice().sort(function (a, b) {
        return ports[a].name.localeCompare(ports[b].name)
    })
    return {
        outputW: Math.round(output / 10),
        inputW: Math.round(input / 10),
        outputWMax: Math.round(outputMax / 10),
        inputWMax: Math.round(inputMax / 10),
        hasInput: hasInput,
        hasOutput: hasOutput,
        sortedIndexList: order
    }
}

// "idle", "output", "input" or "passThrough".
function flowState(hasInput, hasOutput) {
    if (hasInput && hasOutput)
        return "passThrough"
    if (hasInput)
        return "input"
    if (hasOutput)
        return "output"
    return "idle"
}

function fillHeight(soc, maxH) {
    var s = soc > 100 ? 100 : soc
    return Math.max(10, maxH * s / 100)
}

function pluginForType(type) {
    if (type === 2)
        return "../../assets/power_a.svg"
    if (type === 3)
        return "../../assets/power_w.svg"
    return "../../assets/power_c.svg"
}

function headerColorAt(position) {
    if (position === 0)
        return "#64DD00"
    if (position === 1)
        return "#00C739"
    return "#009546"
}

