#include "support/testreleasekey.h"

#include <QProcess>

namespace vexa {

namespace {

bool run(const QString &program, const QStringList &arguments, QByteArray &output, QString &errorText)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        errorText = QStringLiteral("%1 %2 failed: %3 %4")
                        .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                            QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    output = process.readAllStandardOutput();
    return true;
}

} // namespace

bool TestReleaseKey::generate(QString &errorText)
{
    const QString privateKey = m_directory.filePath(QStringLiteral("release-key.pem"));
    QByteArray output;
    QByteArray publicKeyDer;
    if (!m_directory.isValid()
        || !run(QStringLiteral("openssl"),
            { QStringLiteral("genpkey"), QStringLiteral("-algorithm"), QStringLiteral("ed25519"),
                QStringLiteral("-out"), privateKey },
            output, errorText)
        || !run(QStringLiteral("openssl"),
            { QStringLiteral("pkey"), QStringLiteral("-in"), privateKey, QStringLiteral("-pubout"),
                QStringLiteral("-outform"), QStringLiteral("DER") },
            publicKeyDer, errorText))
        return false;
    // The DER form ends with the 32 raw key bytes, as the README's "tail -c 32" takes them.
    m_publicKey = QString::fromLatin1(publicKeyDer.right(32).toBase64());
    return true;
}

bool TestReleaseKey::sign(const QStringList &files, QString &errorText) const
{
    return signWithReleaseScript(m_directory.filePath(QStringLiteral("release-key.pem")), files, errorText);
}

bool signWithReleaseScript(const QString &privateKey, const QStringList &files, QString &errorText)
{
    QByteArray output;
    return run(QStringLiteral("bash"),
        QStringList { QStringLiteral(VEXA_SIGN_RELEASE_SCRIPT), privateKey } + files, output, errorText);
}

} // namespace vexa
