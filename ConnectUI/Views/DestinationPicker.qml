import QtQuick

// "Send to" and one choice per connected device.
Row {
    visible: connectModel.connectedDevices.count > 0
    spacing: Theme.space.s

    TWText { text: "Send to"; muted: true; anchors.verticalCenter: parent.verticalCenter }
    Repeater {
        model: connectModel.connectedDevices
        delegate: Rectangle {
            required property var modelData
            objectName: "destination-" + modelData.name
            height: 30
            width: choice.implicitWidth + 2 * Theme.space.m
            radius: Theme.radius.pill
            color: modelData.selected ? Theme.color.accent : Theme.color.raised
            activeFocusOnTab: true
            border.width: activeFocus ? 2 : 0
            border.color: Theme.color.text
            Accessible.role: Accessible.RadioButton
            Accessible.name: modelData.name
            Accessible.checked: modelData.selected
            Accessible.onPressAction: connectModel.selectDestination(modelData.id)
            Keys.onReturnPressed: connectModel.selectDestination(modelData.id)
            Keys.onEnterPressed: connectModel.selectDestination(modelData.id)
            Keys.onSpacePressed: connectModel.selectDestination(modelData.id)
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
