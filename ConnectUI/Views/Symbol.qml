import QtQuick

// A named symbol drawn from glyphs every desktop font has.
Text {
    property string name
    property real size: 16

    readonly property var glyphs: ({
        "iphone": "▯", "ipad": "▭", "laptopcomputer": "⌨", "checkmark": "✓",
        "checkmark.circle.fill": "✔", "gearshape": "⚙", "macwindow": "▣", "circle.dotted": "◌",
        "arrow.down.circle": "⇩", "arrow.down.circle.fill": "⬇", "arrow.up.circle.fill": "⬆",
        "minus.circle": "⊖", "exclamationmark.triangle": "⚠", "wifi.exclamationmark": "⚠",
        "person.fill": "●", "person.badge.key": "☺", "iphone.gen3.slash": "▯", "xmark": "✕",
        "doc": "▤", "list.bullet": "☰", "square.grid.2x2": "▦", "plus": "+"
    })

    text: glyphs[name] !== undefined ? glyphs[name] : "•"
    font.pixelSize: size
    color: Theme.color.text
    Accessible.ignored: true
}
