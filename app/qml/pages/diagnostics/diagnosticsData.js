.pragma library

// Pure helpers of the diagnostics page and its event-log table.

// A statistic as the strip shows it: whole units, halves away from zero, then the unit sign.
function statisticText(raw, scale, unit) {
    return (raw * scale).toFixed(0) + " " + unit
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
