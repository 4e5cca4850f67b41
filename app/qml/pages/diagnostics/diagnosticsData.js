.pragma library

// Pure helpers of the diagnostics page and its event-log table.

// A statistic as the strip shows it: whole units, halves away from zero, then the unit sign.
function statisticText(raw, scale, unit) {
    return (raw * scale).toFixed(0) + " " + unit
}

// Where a row with key `value` goes in `keys` (ordered by `order`): after every row with a
// greater key (descending) or a smaller one (ascending), so among equal keys the newest
// arrival stands first. `keyAt(i)` reads the key of row i.
function insertionIndex(count, keyAt, value, descending) {
    let low = 0
    let high = count
    while (low < high) {
        const mid = Math.floor((low + high) / 2)
        const m = keyAt(mid)
        if (descending ? m > value : m < value)
            low = mid + 1
        else
            high = mid
    }
    return low
}

// The content position nearest to `y` at which a view of `viewHeight` over `contentHeight`
// shows no empty area past either end (origin at `originY`).
function clampedContentY(y, originY, contentHeight, viewHeight) {
    const last = originY + Math.max(0, contentHeight - viewHeight)
    return Math.min(Math.max(y, originY), last)
}

// The name the report writer writes for a chosen file: ".pdf" appended unless it ends so.
function reportFileName(path) {
    return /\.pdf$/i.test(path) ? path : path + ".pdf"
}

// A set of sequence numbers with constant-time lookups (the engine's own Set searches its keys
// one by one, which makes a replay of a long log quadratic).
function SeqSet() {
    this.keys = {}
    this.size = 0
}
SeqSet.prototype.has = function(seq) {
    return this.keys[seq] === true
}
SeqSet.prototype.add = function(seq) {
    if (this.keys[seq] !== true) {
        this.keys[seq] = true
        ++this.size
    }
}
SeqSet.prototype.clear = function() {
    this.keys = {}
    this.size = 0
}
