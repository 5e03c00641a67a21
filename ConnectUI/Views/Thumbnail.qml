import QtQuick

// A file's picture from the thumbnail cache, a document symbol until there is one. As a preview it is the
// image itself at up to `side` pixels, fitted rather than cropped.
Item {
    id: thumbnail
    property string path
    property real side: 108
    property bool preview: false
    // "loading", "ready" or "none" (nothing to show for this file).
    property string status: "loading"
    readonly property bool loaded: status === "ready"
    readonly property alias image: picture

    function refresh() { status = path.length > 0 ? thumbnails.status(path, Math.round(side * (preview ? 1 : 2)), preview) : "none" }

    Image {
        id: picture
        anchors.fill: parent
        visible: thumbnail.loaded
        source: thumbnail.loaded ? "image://thumbnail/" + encodeURIComponent(thumbnails.keyFor(thumbnail.path, thumbnail.preview)) : ""
        fillMode: thumbnail.preview ? Image.PreserveAspectFit : Image.PreserveAspectCrop
        cache: false
        asynchronous: false
    }
    Symbol { anchors.centerIn: parent; visible: !thumbnail.loaded && !thumbnail.preview; name: "doc"; size: thumbnail.height * 0.4; color: Theme.color.muted }
    Connections {
        target: thumbnails
        function onReady(key) { if (key === thumbnails.keyFor(thumbnail.path, thumbnail.preview)) thumbnail.refresh() }
    }
    Component.onCompleted: refresh()
    onPathChanged: refresh()
}
