import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Tarnwick.Connect

// The full-window preview: zoom 1× to 6× by pinching or double-clicking, show in the file manager, open.
Popup {
    id: lightbox
    property var entry: null

    function show(opened) { entry = opened; if (zoom.scale > 1) zoom.toggle(); open() }

    x: 0; y: 0
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    modal: true
    padding: 0
    background: Rectangle { color: Qt.rgba(0, 0, 0, 0.94) }

    LightboxZoom { id: zoom }

    MouseArea { anchors.fill: parent; onClicked: lightbox.close() }

    Thumbnail {
        id: preview
        anchors.centerIn: parent
        width: Math.min(parent.width, parent.height) * 0.7
        height: width
        path: lightbox.entry ? lightbox.entry.path : ""
        side: 600
        scale: zoom.scale
        visible: loaded
        Behavior on scale { NumberAnimation { duration: Theme.motion.standard } }
        PinchHandler {
            target: null
            onActiveScaleChanged: zoom.pinch(activeScale)
            onActiveChanged: if (!active) zoom.endPinch()
        }
        TapHandler { onDoubleTapped: zoom.toggle() }
    }
    ColumnLayout {
        anchors.centerIn: parent
        visible: !preview.loaded
        Symbol { Layout.alignment: Qt.AlignHCenter; name: "doc"; size: 48 }
        TWText { text: "No preview for this kind of file." }
    }
    RowLayout {
        anchors { bottom: parent.bottom; horizontalCenter: parent.horizontalCenter; margins: Theme.space.xl }
        spacing: Theme.space.m
        ActionButton { text: "Show in Files"; onClicked: connectModel.reveal(lightbox.entry.path) }
        ActionButton { text: "Open"; primary: true; onClicked: connectModel.open(lightbox.entry.path) }
    }
    ActionButton {
        anchors { top: parent.top; right: parent.right; margins: Theme.space.l }
        text: "✕"
        Accessible.name: "Close"
        onClicked: lightbox.close()
    }
}
