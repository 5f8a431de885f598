// Stands in for a program that is started detached: writes its arguments and working directory as
// JSON to the file named by VEXA_TEST_RECORD_FILE, so a test can see how it was started.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

int main(int argc, char *argv[])
{
    QJsonArray arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QJsonObject record { { QStringLiteral("arguments"), arguments },
        { QStringLiteral("workingDirectory"), QDir::currentPath() } };
    // Renamed into place whole, so a test polling for the file never reads half of it.
    QSaveFile file(qEnvironmentVariable("VEXA_TEST_RECORD_FILE"));
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QJsonDocument(record).toJson());
    return file.commit() ? 0 : 1;
}
