#pragma once

#include "support/testhttpserver.h"

#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vexa {

// What a published client update looks like to an installed client: an "installed" copy of the built
// programs, a client archive packed from that copy with a marker file added, a manifest offering it,
// and a loopback server for both.
class SelfUpdateSandbox
{
public:
    static QString markerName() { return QStringLiteral("update-marker.txt"); }

    // Copies the program directory to "installed", packs the archive, writes the manifest offering
    // `offeredVersion` and starts the server.
    bool prepare(const QString &programDirectory, const QString &offeredVersion, QString &errorText);

    QString installedDirectory() const { return m_directory.filePath(QStringLiteral("installed")); }
    // TMPDIR of the programs started here, where both update workspaces go.
    QString temporaryDirectory() const { return m_directory.filePath(QStringLiteral("tmp")); }
    QString archivePath() const;
    TestHttpServer &server() { return *m_server; }
    QUrl manifestUrl() const;
    // A catalog that never finishes arriving: an installer that asks for it stays in start-up until it
    // is ended, whatever it would do after a successful or a failed catalog load.
    QUrl stallingCatalogUrl() const;
    bool catalogWasRequested() const;
    // Offscreen, with TMPDIR pointed into the sandbox and no VEXA_ variable from outside.
    QProcessEnvironment programEnvironment() const;

private:
    QTemporaryDir m_directory;
    std::unique_ptr<TestHttpServer> m_server;
};

// Runs tests/updater/writezip.py: writes the archive at `archive` from its arguments ("--dir DIR",
// "--entry NAME TEXT"), recording file modes as a release packed on Linux does.
bool writeZip(const QString &archive, const QStringList &arguments, QString &errorText);

// A process running `executable` (compared by canonical path) as /proc shows it; pid 0 when none.
struct RunningProcess
{
    qint64 pid = 0;
    QStringList arguments;
    QString workingDirectory;
};
RunningProcess findRunningProcess(const QString &executable);
// Asks the process to end and waits until it has.
bool terminateProcess(qint64 pid);

} // namespace vexa
