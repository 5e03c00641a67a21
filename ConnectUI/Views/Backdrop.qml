import QtQuick
import Tarnwick.Connect

// The point cloud behind the connect pane. Loaded on its own, so that without it the pane still works.
MorphFieldView {
    property bool connected: false

    anchors.fill: parent
    pointCount: 6500
    ink: "white"
    pointSize: 2
    hold: 2
    morph: 2
    spin: 0.15
    distance: 5.4
    eyeHeight: 0.75
    shapes: connected ? ["beam", "torus"] : ["scatter", "wordmark", "scatter", "torus", "spiral", "wave", "funnel"]
    alpha: connected ? 0.16 : 0.3
}
