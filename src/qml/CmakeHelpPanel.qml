import QtQuick
import QtQuick.Layouts
import CompanyVexaInstaller

// How a CMake project consumes the selected package.
Surface {
    id: panel

    required property InstallerController installer

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 10

        Text {
            text: "CMake Help"
            color: Theme.textPrimary
            font.pixelSize: 20
            font.bold: true
        }

        TextWell {
            objectName: "cmakeHelpScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            textObjectName: "cmakeHelpText"
            accessibleName: "CMake help"
            text: panel.installer.cmakeHelpText
            wrapMode: TextEdit.Wrap
        }
    }
}
