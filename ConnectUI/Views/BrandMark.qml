import QtQuick

Image {
    property int size: 24
    property color ink: Theme.color.text

    source: "image://brand/" + ink
    sourceSize: Qt.size(size * 2, size * 2)
    width: size
    height: size
    Accessible.ignored: true
}
