import QtQuick
import QtQuick.Layouts

Card {
    id: row
    required property var modelData
    signal open(var entry)

    height: 44
    elevation: "surface"
    activeFocusOnTab: true
    border.width: activeFocus ? 2 : 0
    border.color: Theme.color.accent
    Accessible.role: Accessible.Button
    Accessible.name: modelData.name
    Accessible.onPressAction: open(modelData)
    Keys.onReturnPressed: open(modelData)
    Keys.onEnterPressed: open(modelData)
    Keys.onSpacePressed: open(modelData)

    RowLayout {
        anchors.fill: parent
        anchors.margins: Theme.space.xs
        spacing: Theme.space.m
        Thumbnail { Layout.preferredWidth: 36; Layout.preferredHeight: 36; path: row.modelData.path; side: 36 }
        TWText { Layout.fillWidth: true; text: row.modelData.name; elide: Text.ElideMiddle; wrapMode: Text.NoWrap }
        TWText { text: row.modelData.failure.length > 0 ? row.modelData.failure : row.modelData.size; muted: true }
        TWText { text: row.modelData.peerName; muted: true }
        Symbol { name: row.modelData.received ? "arrow.down.circle.fill" : "arrow.up.circle.fill"; size: 14 }
    }
    MouseArea { anchors.fill: parent; onClicked: row.open(row.modelData) }
}
