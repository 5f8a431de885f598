#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace vexa {

// Stands in for the installer controller where a window test needs a state the real controller cannot
// hold still (busy without download rows) or must see which invokable the window called. It has the
// controller's property, signal and invokable names; tests change properties with setProperty(),
// which emits the notify signals, and read `calls`.
class InstallerStandIn : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString rootPath MEMBER rootPath NOTIFY rootPathChanged)
    Q_PROPERTY(QString searchText MEMBER searchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString statusText MEMBER statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString summaryText MEMBER summaryText NOTIFY summaryTextChanged)
    Q_PROPERTY(QString cmakeHelpText MEMBER cmakeHelpText NOTIFY cmakeHelpTextChanged)
    Q_PROPERTY(QVariantList packageEntries MEMBER packageEntries NOTIFY packageEntriesChanged)
    Q_PROPERTY(QVariantList downloadEntries MEMBER downloadEntries NOTIFY downloadEntriesChanged)
    Q_PROPERTY(bool busy MEMBER busy NOTIFY busyChanged)
    Q_PROPERTY(bool hasChanges MEMBER hasChanges NOTIFY planChanged)
    Q_PROPERTY(int installCount MEMBER installCount NOTIFY planChanged)
    Q_PROPERTY(int upgradeCount MEMBER upgradeCount NOTIFY planChanged)
    Q_PROPERTY(int removeCount MEMBER removeCount NOTIFY planChanged)

public:
    // Takes every property value of `source` (a real controller), emitting the notify signals.
    void copyFrom(const QObject &source)
    {
        const QMetaObject *meta = metaObject();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
            setProperty(meta->property(i).name(), source.property(meta->property(i).name()));
    }

    Q_INVOKABLE void browseRoot() { calls << QStringLiteral("browseRoot"); }
    Q_INVOKABLE void refresh() { calls << QStringLiteral("refresh"); }
    Q_INVOKABLE void togglePackage(const QString &packageId, bool checked)
    {
        calls << QStringLiteral("togglePackage %1 %2").arg(packageId, checked ? "true" : "false");
    }
    Q_INVOKABLE void selectPackage(const QString &packageId)
    {
        calls << QStringLiteral("selectPackage ") + packageId;
    }
    Q_INVOKABLE QString removalConfirmationText() const { return removalText; }
    Q_INVOKABLE void apply() { calls << QStringLiteral("apply"); }

    QString rootPath;
    QString searchText;
    QString statusText;
    QString summaryText;
    QString cmakeHelpText;
    QVariantList packageEntries;
    QVariantList downloadEntries;
    bool busy = false;
    bool hasChanges = false;
    int installCount = 0;
    int upgradeCount = 0;
    int removeCount = 0;
    QString removalText;
    QStringList calls;

Q_SIGNALS:
    void rootPathChanged();
    void searchTextChanged();
    void statusTextChanged();
    void summaryTextChanged();
    void cmakeHelpTextChanged();
    void packageEntriesChanged();
    void downloadEntriesChanged();
    void busyChanged();
    void planChanged();
    void messageRequested(const QString &title, const QString &message);
};

} // namespace vexa
