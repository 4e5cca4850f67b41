// Paints a Theme.panelRadius-square canvas so that it covers the part of its square outside the
// quarter circle centred on its inner corner, in the panel colour: laid over a corner of a list or
// table it rounds whatever lies beneath. corner: 0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right; any other value paints nothing. The including file imports Tessaravolt (Theme).
function paintCornerMask(canvas, corner) {
    const ctx = canvas.getContext("2d")
    const r = canvas.width
    ctx.clearRect(0, 0, canvas.width, canvas.height)
    ctx.fillStyle = Theme.panel
    ctx.beginPath()
    switch (corner) {
    case 0:
        ctx.moveTo(0, 0)
        ctx.lineTo(r, 0)
        ctx.arc(r, r, r, -Math.PI / 2, Math.PI, true)
        break
    case 1:
        ctx.moveTo(0, 0)
        ctx.lineTo(r, 0)
        ctx.lineTo(r, r)
        ctx.arc(0, r, r, 0, -Math.PI / 2, true)
        break
    case 2:
        ctx.moveTo(0, 0)
        ctx.lineTo(0, r)
        ctx.lineTo(r, r)
        ctx.arc(r, 0, r, Math.PI / 2, Math.PI, false)
        break
    case 3:
        ctx.moveTo(r, 0)
        ctx.lineTo(r, r)
        ctx.lineTo(0, r)
        ctx.arc(0, 0, r, Math.PI / 2, 0, true)
        break
    default:
        break
    }
    ctx.closePath()
    ctx.fill()
}
