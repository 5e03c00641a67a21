import QtQuick

// The frame that shows a drop will be taken.
Rectangle {
    property bool isTargeted: false
    property int inset: Theme.space.m

    anchors.fill: parent
    anchors.margins: inset
    radius: Theme.radius.large
    color: Qt.rgba(0.3, 0.55, 1, 0.10)
    border.width: 2
    border.color: Theme.color.accent
    opacity: isTargeted ? 1 : 0
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: Theme.motion.standard } }
}
