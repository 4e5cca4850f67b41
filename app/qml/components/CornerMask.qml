import QtQuick
import Tessaravolt
import "cornerMask.js" as Masks

// One corner mask of a list or table frame (see cornerMask.js), painted once when first shown.
Canvas {
    id: mask

    property int corner: 0

    width: Theme.panelRadius
    height: Theme.panelRadius
    z: 10
    onPaint: Masks.paintCornerMask(mask, mask.corner)
}
