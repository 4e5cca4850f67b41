.pragma library

// Finders over a QML test's item tree (list delegates and loaded layouts included), shared by the
// QML tests: import "../../support/items.js" from a tests/qml/tst_<name>/ folder.

function walk(item, out) {
    if (!item)
        return out;
    out.push(item);
    const kids = item.children || [];
    for (let i = 0; i < kids.length; ++i)
        walk(kids[i], out);
    if (item.contentItem && out.indexOf(item.contentItem) < 0)
        walk(item.contentItem, out);
    return out;
}

function all(root, predicate) {
    return walk(root, []).filter(predicate);
}

function named(root, name) {
    const found = all(root, i => i.objectName === name);
    return found.length > 0 ? found[0] : null;
}

function allNamed(root, name) {
    return all(root, i => i.objectName === name);
}

// The item's rectangle in the coordinates of `base`.
function rectIn(item, base) {
    const p = item.mapToItem(base, 0, 0);
    return { x: p.x, y: p.y, width: item.width, height: item.height,
             right: p.x + item.width, bottom: p.y + item.height };
}

function overlap(a, b) {
    return a.x < b.right && b.x < a.right && a.y < b.bottom && b.y < a.bottom;
}

function fileName(url) {
    const s = url.toString();
    return s.substring(s.lastIndexOf("/") + 1);
}
