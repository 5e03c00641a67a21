import QtQuick

// The arrow-into-tray glyph: filled while a drag targets it, spinning while working, and turning into a
// check mark with a spring on success.
Item {
    id: glyph
    property string glyphState: "idle"
    property bool isTargeted: false
    property real size: 44

    width: size
    height: size
    Accessible.ignored: true

    Symbol {
        anchors.centerIn: parent
        name: glyph.isTargeted ? "arrow.down.circle.fill" : "arrow.down.circle"
        size: glyph.size
        visible: glyph.glyphState !== "success"
        color: glyph.isTargeted ? Theme.color.accent : Theme.color.text
        RotationAnimation on rotation {
            running: glyph.glyphState === "working"
            from: 0; to: 360; duration: 1200; loops: Animation.Infinite
        }
    }
    Symbol {
        id: tick
        anchors.centerIn: parent
        name: "checkmark"
        size: glyph.size
        color: Theme.color.success
        visible: glyph.glyphState === "success"
        scale: visible ? 1 : 0.3
        Behavior on scale { SpringAnimation { spring: 3; damping: 0.25 } }
    }
}
