import QtQuick
import QtQuick.Layouts

// One titled card of the settings pane.
ColumnLayout {
    id: section
    property string title
    default property alias content: body.data

    spacing: Theme.space.s
    TWText { text: section.title; font.pixelSize: Theme.font.headline; font.weight: Font.DemiBold; Accessible.role: Accessible.Heading }
    Card {
        Layout.fillWidth: true
        implicitHeight: body.implicitHeight + 2 * Theme.space.l
        elevation: "surface"
        ColumnLayout {
            id: body
            x: Theme.space.l; y: Theme.space.l
            width: parent.width - 2 * Theme.space.l
            spacing: Theme.space.s
        }
    }
}
