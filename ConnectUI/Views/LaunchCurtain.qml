import QtQuick

// The first appearance of the window: the content fades and rises into place once.
Rectangle {
    id: curtain
    property bool arrived: false

    anchors.fill: parent
    color: Theme.color.window
    opacity: arrived ? 0 : 1
    visible: opacity > 0
    Behavior on opacity { NumberAnimation { duration: Theme.motion.curtain; easing.type: Easing.OutCubic } }
    BrandMark { anchors.centerIn: parent; size: 72; scale: curtain.arrived ? 1.3 : 1
        Behavior on scale { NumberAnimation { duration: Theme.motion.curtain } } }
    Component.onCompleted: arrived = true
}
