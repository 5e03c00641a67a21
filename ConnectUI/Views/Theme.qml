pragma Singleton
import QtQuick

// The design tokens: colours, corner radii, spacing, type and motion, shared by every view.
QtObject {
    readonly property QtObject color: QtObject {
        readonly property color window: "#0e1014"
        readonly property color surface: "#171a20"
        readonly property color raised: "#1f232b"
        readonly property color outline: "#2c313b"
        readonly property color text: "#f2f4f8"
        readonly property color muted: "#9aa3b2"
        readonly property color accent: "#4c8dff"
        readonly property color accentText: "#ffffff"
        readonly property color success: "#3ecf8e"
        readonly property color warning: "#f5b14c"
        readonly property color danger: "#ff6b6b"
    }
    readonly property QtObject radius: QtObject {
        readonly property int small: 6
        readonly property int medium: 10
        readonly property int large: 14
        readonly property int pill: 999
    }
    readonly property QtObject space: QtObject {
        readonly property int xs: 4
        readonly property int s: 8
        readonly property int m: 12
        readonly property int l: 16
        readonly property int xl: 24
        readonly property int xxl: 32
    }
    readonly property QtObject font: QtObject {
        readonly property int caption: 11
        readonly property int body: 13
        readonly property int headline: 15
        readonly property int title: 26
        readonly property int code: 34
    }
    readonly property QtObject motion: QtObject {
        readonly property int quick: 140
        readonly property int standard: 180
        readonly property int slow: 320
        readonly property int curtain: 700
    }
}
