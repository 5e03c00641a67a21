import QtQuick
import QtQuick.Layouts

// A symbol over a short title and an explanation.
ColumnLayout {
    property string symbol
    property string title
    property string detail

    spacing: Theme.space.xs
    Symbol { Layout.alignment: Qt.AlignHCenter; name: parent.symbol; size: 28 }
    TWText { Layout.alignment: Qt.AlignHCenter; text: parent.title; font.weight: Font.DemiBold }
    TWText { Layout.fillWidth: true; horizontalAlignment: Text.AlignHCenter; text: parent.detail; muted: true }
}
