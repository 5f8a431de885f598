#include "entrylistmodel.h"

#include <algorithm>

namespace vexa {

void EntryListModel::setEntries(const QVariantList &entries)
{
    // The controller keeps the row maps of unchanged packages, so equal rows usually share their data
    // and compare at once.
    const qsizetype oldCount = m_entries.size();
    const qsizetype newCount = entries.size();
    qsizetype head = 0;
    while (head < oldCount && head < newCount && m_entries.at(head) == entries.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < oldCount - head && tail < newCount - head
        && m_entries.at(oldCount - 1 - tail) == entries.at(newCount - 1 - tail))
        ++tail;
    if (head == oldCount && head == newCount)
        return;

    const qsizetype oldMiddle = oldCount - head - tail;
    const qsizetype newMiddle = newCount - head - tail;
    const qsizetype shared = std::min(oldMiddle, newMiddle);
    if (oldMiddle > newMiddle) {
        beginRemoveRows(QModelIndex(), int(head + shared), int(head + oldMiddle - 1));
        m_entries.remove(head + shared, oldMiddle - newMiddle);
        endRemoveRows();
    } else if (newMiddle > oldMiddle) {
        beginInsertRows(QModelIndex(), int(head + shared), int(head + newMiddle - 1));
        for (qsizetype at = head + shared; at < head + newMiddle; ++at)
            m_entries.insert(at, entries.at(at));
        endInsertRows();
    }
    for (qsizetype at = head; at < head + shared; ++at) {
        if (m_entries.at(at) == entries.at(at))
            continue;
        m_entries[at] = entries.at(at);
        Q_EMIT dataChanged(index(int(at)), index(int(at)), { EntryRole });
    }
    // Same rows by now; taking the new list shares its data for the next comparison.
    m_entries = entries;
    Q_EMIT entriesChanged();
}

int EntryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant EntryListModel::data(const QModelIndex &index, int role) const
{
    if (role != EntryRole
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    return m_entries.at(index.row());
}

QHash<int, QByteArray> EntryListModel::roleNames() const
{
    return { { EntryRole, "entry" } };
}

} // namespace vexa
