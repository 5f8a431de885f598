#pragma once

#include <QAbstractListModel>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace vexa {

// Shows a list of rows (such as the installer's packageEntries) to a view without ever resetting it.
// A new list is compared with the one shown: rows equal at the start and at the end are left alone,
// rows in between are updated in place (or replaced, where a row's "kind" changes), and only a
// difference in length otherwise removes or inserts rows. A
// tick that changes three rows of five thousand therefore updates three delegates instead of
// rebuilding the view, and the view keeps its scroll position. The package list and the download rows
// are both shown through it.
class EntryListModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariantList entries READ entries WRITE setEntries NOTIFY entriesChanged)

public:
    // The whole row, as the view's delegates read it.
    static constexpr int EntryRole = Qt::UserRole + 1;
    // The row's "kind" value, by which a view chooses the delegate.
    static constexpr int KindRole = Qt::UserRole + 2;

    using QAbstractListModel::QAbstractListModel;

    QVariantList entries() const { return m_entries; }
    void setEntries(const QVariantList &entries);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void entriesChanged();

private:
    QVariantList m_entries;
};

} // namespace vexa
