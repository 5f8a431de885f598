#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace vexa {

// An Ed25519 release key made for one test with the openssl command line, and signatures made as a
// maintainer makes them, with scripts/sign-release.sh (which is tested that way too).
class TestReleaseKey
{
public:
    // Generates the key pair; false with a message when openssl fails.
    bool generate(QString &errorText);
    // The public key as VEXA_RELEASE_PUBLIC_KEYS lists it: base64 of the 32 raw bytes.
    QString publicKeyBase64() const { return m_publicKey; }
    // Writes FILE.sig beside each file.
    bool sign(const QStringList &files, QString &errorText) const;

private:
    QTemporaryDir m_directory;
    QString m_publicKey;
};

// Runs scripts/sign-release.sh with `privateKey` on `files`.
bool signWithReleaseScript(const QString &privateKey, const QStringList &files, QString &errorText);

} // namespace vexa
