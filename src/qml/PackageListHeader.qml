import QtQuick

// The captions over the package rows' cells, as wide as the rows' cells.
Row {
    id: header

    required property PackageColumns columns

    spacing: columns.spacing

    Item {
        width: header.columns.checkWidth
        height: 1
    }
    Text {
        width: header.columns.hierarchyWidth
        text: "Package"
        color: Theme.textSecondary
        font.pixelSize: 11
        font.bold: true
    }
    Text {
        width: header.columns.versionWidth
        text: "Version"
        color: Theme.textSecondary
        font.pixelSize: 11
        font.bold: true
    }
    Text {
        width: header.columns.internalVersionWidth
        text: "Internal version"
        color: Theme.textSecondary
        font.pixelSize: 11
        font.bold: true
    }
    Text {
        width: Math.max(0, header.width - x)
        text: "Toolchain"
        color: Theme.textSecondary
        font.pixelSize: 11
        font.bold: true
    }
}
