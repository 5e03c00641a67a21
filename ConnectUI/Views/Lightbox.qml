import QtQuick
import QtQuick.Window
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Tarnwick.Connect

// The full-window preview: zoom 1× to 6× by pinching or double-clicking, show in the file manager, open.
Popup {
    id: lightbox
    objectName: "lightbox"
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

    // Loaded at the screen's size in device pixels, so that it is sharp at 1× and zooms from real pixels.
    Thumbnail {
        id: preview
        objectName: "lightboxPreview"
        anchors.fill: parent
        anchors.margins: Theme.space.xxl
        path: lightbox.entry ? lightbox.entry.path : ""
        preview: true
        side: Math.max(Screen.width, Screen.height) * Screen.devicePixelRatio
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
        objectName: "noPreview"
        anchors.centerIn: parent
        visible: preview.status === "none"
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
