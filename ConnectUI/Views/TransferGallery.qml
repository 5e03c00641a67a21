import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// Everything that moved in this run: a grid or a list, filtered by direction, opening into a preview.
ColumnLayout {
    id: gallery
    property string layout: "grid"
    property real side: settingsModel.thumbnailSide

    spacing: Theme.space.s

    RowLayout {
        Layout.fillWidth: true
        spacing: Theme.space.s
        Repeater {
            model: [["all", "All"], ["received", "Received"], ["sent", "Sent"]]
            delegate: ActionButton {
                required property var modelData
                objectName: "filter-" + modelData[0]
                text: modelData[1]
                primary: connectModel.galleryFilter === modelData[0]
                onClicked: connectModel.galleryFilter = modelData[0]
            }
        }
        Item { Layout.fillWidth: true }
        ActionButton { text: "☰"; Accessible.name: "List"; primary: gallery.layout === "list"; onClicked: gallery.layout = "list" }
        ActionButton { text: "▦"; Accessible.name: "Grid"; primary: gallery.layout === "grid"; onClicked: gallery.layout = "grid" }
        Slider {
            from: 72; to: 200
            value: gallery.side
            Layout.preferredWidth: 110
            Accessible.name: "Thumbnail size"
            onMoved: settingsModel.thumbnailSide = value
        }
        ActionButton { text: "Clear"; onClicked: connectModel.clearFinished() }
    }

    TWText {
        objectName: "galleryEmpty"
        visible: connectModel.gallery.count === 0
        Layout.fillWidth: true
        Layout.topMargin: Theme.space.l
        horizontalAlignment: Text.AlignHCenter
        text: connectModel.galleryEmptyText
        muted: true
    }

    GridView {
        objectName: "galleryGrid"
        visible: gallery.layout === "grid" && connectModel.gallery.count > 0
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        cellWidth: gallery.side + Theme.space.s
        cellHeight: gallery.side + Theme.space.s
        model: connectModel.gallery
        delegate: GalleryTile { side: gallery.side; onOpen: entry => lightbox.show(entry) }
    }

    ListView {
        objectName: "galleryList"
        visible: gallery.layout === "list" && connectModel.gallery.count > 0
        Layout.fillWidth: true
        Layout.fillHeight: true
        clip: true
        spacing: Theme.space.xs
        model: connectModel.gallery
        delegate: GalleryRow { width: ListView.view.width; onOpen: entry => lightbox.show(entry) }
    }

    Lightbox { id: lightbox; parent: Overlay.overlay }
}
