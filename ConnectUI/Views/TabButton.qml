import QtQuick

Item {
    id: tab
    property string title
    property bool isSelected: false
    signal clicked

    implicitWidth: label.implicitWidth + 2 * Theme.space.l
    implicitHeight: 30
    activeFocusOnTab: true
    Accessible.role: Accessible.PageTab
    Accessible.name: title
    Accessible.onPressAction: clicked()
    Keys.onReturnPressed: clicked()
    Keys.onEnterPressed: clicked()
    Keys.onSpacePressed: clicked()

    Rectangle {
        anchors.fill: parent
        visible: tab.activeFocus
        radius: height / 2
        color: "transparent"
        border.width: 2
        border.color: Theme.color.accent
    }

    Text {
        id: label
        anchors.centerIn: parent
        text: tab.title
        textFormat: Text.PlainText
        font.pixelSize: Theme.font.body
        font.weight: Font.DemiBold
        color: tab.isSelected ? Theme.color.text : Theme.color.muted
    }
    MouseArea { id: mouse; anchors.fill: parent; hoverEnabled: true; onClicked: tab.clicked() }
}
