import QtQuick

// Text with a band of light sweeping across it from left to right once per `period` seconds.
Item {
    id: shimmer
    property alias text: base.text
    property alias font: base.font
    property color tone: Theme.color.text
    property color highlight: "white"
    property real period: 2.4
    property bool isActive: false
    property real phase: 0

    implicitWidth: base.implicitWidth
    implicitHeight: base.implicitHeight
    Accessible.role: Accessible.StaticText
    Accessible.name: text

    // Plain, as the headline may name a peer.
    Text { id: base; textFormat: Text.PlainText; color: shimmer.tone; width: parent.width; wrapMode: Text.WordWrap; horizontalAlignment: Text.AlignHCenter }
    Item {
        visible: shimmer.isActive
        clip: true
        x: (shimmer.phase * 1.6 - 0.3) * shimmer.width
        width: shimmer.width * 0.18
        height: shimmer.height
        Text {
            x: -parent.x
            width: shimmer.width
            text: base.text; textFormat: Text.PlainText; font: base.font; color: shimmer.highlight
            wrapMode: Text.WordWrap; horizontalAlignment: Text.AlignHCenter
            opacity: 0.85
        }
    }
    NumberAnimation on phase {
        running: shimmer.isActive
        from: 0; to: 1; duration: shimmer.period * 1000; loops: Animation.Infinite
    }
}
