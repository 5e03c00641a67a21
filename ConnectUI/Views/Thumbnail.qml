import QtQuick

// A file's picture from the thumbnail cache, a document symbol until there is one.
Item {
    id: thumbnail
    property string path
    property real side: 108
    property bool loaded: false

    function refresh() { loaded = path.length > 0 && thumbnails.request(path, Math.round(side * 2)) }

    Image {
        anchors.fill: parent
        visible: thumbnail.loaded
        source: thumbnail.loaded ? "image://thumbnail/" + encodeURIComponent(thumbnail.path) : ""
        fillMode: Image.PreserveAspectCrop
        cache: false
        asynchronous: false
    }
    Symbol { anchors.centerIn: parent; visible: !thumbnail.loaded; name: "doc"; size: thumbnail.height * 0.4; color: Theme.color.muted }
    Connections {
        target: thumbnails
        function onReady(readyPath) { if (readyPath === thumbnail.path) thumbnail.refresh() }
    }
    Component.onCompleted: refresh()
    onPathChanged: refresh()
}
