.pragma library

// Pure rules of the settings page, kept apart from the items so that tests can call them.

// Slider stops on the sliders' 1..400 scale, one per setting value, in the same order.
const brightnessSteps = [20, 50, 100]
const brightnessValues = [75.5 + 4.5, 197.75 + 4.5, 387.27 + 4.5]
const timeoutSteps = [10, 30, 60, 300, 600]
const timeoutValues = [23.68 + 4.5, 78.07 + 4.5, 159.97 + 4.5, 275.84 + 4.5, 390.55 + 4.5]

// A setting value to its slider stop; a value that is no step gives 0 (the knob's leftmost place).
function sliderValueFor(setting, steps, values) {
    const i = steps.indexOf(setting)
    return i < 0 ? 0 : values[i]
}

// A proposed slider value to the setting value: the first step whose next stop lies above it.
function settingFor(sliderValue, steps, values) {
    for (let i = 1; i < values.length; ++i) {
        if (sliderValue < values[i])
            return steps[i - 1]
    }
    return steps[steps.length - 1]
}

function brightnessIcon(brightness) {
    if (brightness === 20)
        return "brightness_empty.svg"
    if (brightness === 50)
        return "brightness_half.svg"
    return "brightness_full.svg"
}

// [count, unit] of a time-out: unit is "seconds", "minutes" or "hours"; halves round upward.
function timeParts(seconds) {
    if (seconds < 60)
        return [seconds, "seconds"]
    if (seconds < 3600)
        return [Math.round(seconds / 60), "minutes"]
    return [Math.round(seconds / 3600), "hours"]
}

// Energy in watt-hours, rounded to a tenth (halves upward). Both factors may be as large as
// 2^32 - 1, whose product a double does not hold exactly: the capacity is split at 100000, so that
// every partial product and the tenths themselves stay below 2^53.
function batteryEnergy(voltageMv, capacityMah) {
    const high = Math.floor(capacityMah / 100000)
    const low = capacityMah - high * 100000
    const rest = voltageMv * low
    const restTenths = Math.floor(rest / 100000)
    const roundUp = (rest - restTenths * 100000) * 2 >= 100000 ? 1 : 0
    return (voltageMv * high + restTenths + roundUp) / 10
}

// The keys of an object in ascending numeric order ("10" after "9").
function sortedKeys(object) {
    return Object.keys(object).sort((a, b) => Number(a) - Number(b))
}

// One line per cell: word, the cell's number counted from 1, ":" and element 0 (serial) or 1
// (activation text) of its pair.
function cellLines(word, keys, cellInfo, element) {
    const lines = []
    for (let i = 0; i < keys.length; ++i) {
        const entry = cellInfo[keys[i]]
        lines.push(word + (Number(keys[i]) + 1) + ":" + (entry ? entry[element] : ""))
    }
    return lines.join("\n")
}

// Written from whole tenths: toFixed() turns to exponents from 10^21 on.
function energyText(limitPower) {
    const tenths = Math.round(Number(limitPower) * 10)
    return Math.floor(tenths / 10) + "." + (tenths % 10) + " Wh"
}

// The twelve rows of the details list, [label, value] or [label, value, localisable].
// labels: the twelve label texts in row order; cellWord: the word before each cell number;
// protocolNames: the resolver's names for the protocol bit set.
function detailRows(d, labels, cellWord, protocolNames, isEn, platformOs) {
    const localisable = !isEn && platformOs === "windows"
    return [
        [labels[0], d.brand],
        [labels[1], d.model],
        [labels[2], d.productSn],
        [labels[3], d.softwareVersion],
        [labels[4], protocolNames.join(", ")],
        [labels[5], d.productionDate],
        [labels[6], String(d.capacity) + " mAh / " + energyText(d.limitPower)],
        [labels[7], isEn ? d.batteryManufacturer : d.batteryManufacturerCn, localisable],
        [labels[8], d.batteryType],
        [labels[9], d.batteryModel],
        [labels[10], cellLines(cellWord, d.sortedCellInfoIndex, d.cellInfo, 0), localisable],
        [labels[11], cellLines(cellWord, d.sortedCellInfoIndex, d.cellInfo, 1), localisable],
    ]
}
