import QtQuick

// "Send to" and one choice per connected device.
Row {
    visible: connectModel.connectedDevices.length > 0
    spacing: Theme.space.s

    TWText { text: "Send to"; muted: true; anchors.verticalCenter: parent.verticalCenter }
    Repeater {
        model: connectModel.connectedDevices
        delegate: Rectangle {
            required property var modelData
            height: 30
            width: choice.implicitWidth + 2 * Theme.space.m
            radius: Theme.radius.pill
            color: modelData.selected ? Theme.color.accent : Theme.color.raised
            Accessible.role: Accessible.RadioButton
            Accessible.name: modelData.name
            Accessible.checked: modelData.selected
            Row {
                id: choice
                anchors.centerIn: parent
                spacing: Theme.space.xs
                Symbol { name: modelData.symbol; size: 13 }
                TWText { text: modelData.name; wrapMode: Text.NoWrap }
            }
            MouseArea { anchors.fill: parent; onClicked: connectModel.selectDestination(modelData.id) }
        }
    }
}
