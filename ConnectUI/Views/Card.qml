import QtQuick

// A surface with one of the elevations: flat, surface, raised or outlined.
Rectangle {
    property string elevation: "surface"

    radius: Theme.radius.large
    color: elevation === "flat" ? "transparent" : elevation === "raised" ? Theme.color.raised : Theme.color.surface
    border.width: elevation === "outlined" || elevation === "raised" ? 1 : 0
    border.color: Theme.color.outline
}
