import QtQuick

Card {
    id: tile
    required property var modelData
    property real side: 108
    signal open(var entry)

    objectName: "galleryTile-" + modelData.name
    width: side
    height: side
    elevation: "raised"
    clip: true
    activeFocusOnTab: true
    border.width: activeFocus ? 2 : 1
    border.color: activeFocus ? Theme.color.accent : Theme.color.outline
    Accessible.role: Accessible.Button
    Accessible.name: modelData.name
    Accessible.onPressAction: open(modelData)
    Keys.onReturnPressed: open(modelData)
    Keys.onEnterPressed: open(modelData)
    Keys.onSpacePressed: open(modelData)

    Thumbnail { anchors.fill: parent; anchors.margins: 1; path: tile.modelData.path; side: tile.side }
    Symbol {
        anchors { right: parent.right; top: parent.top; margins: Theme.space.xs }
        name: tile.modelData.received ? "arrow.down.circle.fill" : "arrow.up.circle.fill"
        size: 14
    }
    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: caption.implicitHeight + Theme.space.s
        color: Qt.rgba(0, 0, 0, 0.55)
        TWText {
            id: caption
            anchors { left: parent.left; right: parent.right; verticalCenter: parent.verticalCenter; margins: Theme.space.xs }
            text: tile.modelData.failure.length > 0 ? tile.modelData.failure : tile.modelData.name
            color: tile.modelData.failure.length > 0 ? Theme.color.danger : Theme.color.text
            font.pixelSize: Theme.font.caption
            elide: Text.ElideMiddle
            wrapMode: Text.NoWrap
        }
        Rectangle {
            visible: tile.modelData.fraction >= 0
            anchors.bottom: parent.bottom
            height: 2
            width: parent.width * Math.max(0, tile.modelData.fraction)
            color: Theme.color.accent
        }
    }
    MouseArea { anchors.fill: parent; onClicked: tile.open(tile.modelData) }
}
