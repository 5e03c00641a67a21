import QtQuick
import QtQuick.Layouts

// Why a send could not reach its device, and why the cloud is not the answer.
Card {
    property string diagnosis
    property bool suggestsCloud: false

    implicitHeight: content.implicitHeight + 2 * Theme.space.m
    elevation: "outlined"
    border.color: Theme.color.warning
    ColumnLayout {
        id: content
        x: Theme.space.m; y: Theme.space.m
        width: parent.width - 2 * Theme.space.m
        RowLayout {
            Symbol { name: "wifi.exclamationmark"; color: Theme.color.warning }
            TWText { text: "Couldn't send"; font.weight: Font.DemiBold }
        }
        TWText { objectName: "diagnosisText"; Layout.fillWidth: true; text: diagnosis }
        TWText {
            Layout.fillWidth: true
            visible: suggestsCloud
            muted: true
            font.pixelSize: Theme.font.caption
            text: "Sending through Tarnwick instead would upload the file to the cloud and count against your storage."
        }
    }
}
