import QtQuick
import QtQuick.Layouts

Card {
    id: row
    required property var modelData
    signal open(var entry)

    height: 44
    elevation: "surface"
    Accessible.role: Accessible.Button
    Accessible.name: modelData.name

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
