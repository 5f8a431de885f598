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
    // A row whose kind changes is replaced rather than updated: a view chooses a row's delegate by its
    // kind only when it creates the row.
    const auto kindChanged = [&](qsizetype at) {
        const QString key = QStringLiteral("kind");
        return m_entries.at(at) != entries.at(at)
            && m_entries.at(at).toMap().value(key) != entries.at(at).toMap().value(key);
    };
    for (qsizetype at = head; at < head + shared;) {
        qsizetype end = at;
        while (end < head + shared && kindChanged(end))
            ++end;
        if (end > at) {
            beginRemoveRows(QModelIndex(), int(at), int(end - 1));
            m_entries.remove(at, end - at);
            endRemoveRows();
            beginInsertRows(QModelIndex(), int(at), int(end - 1));
            for (qsizetype row = at; row < end; ++row)
                m_entries.insert(row, entries.at(row));
            endInsertRows();
            at = end;
            continue;
        }
        if (m_entries.at(at) != entries.at(at)) {
            m_entries[at] = entries.at(at);
            Q_EMIT dataChanged(index(int(at)), index(int(at)), { EntryRole });
        }
        ++at;
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
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role == EntryRole)
        return m_entries.at(index.row());
    if (role == KindRole)
        return m_entries.at(index.row()).toMap().value(QStringLiteral("kind"));
    return QVariant();
}

QHash<int, QByteArray> EntryListModel::roleNames() const
{
    return { { EntryRole, "entry" }, { KindRole, "kind" } };
}

} // namespace vexa
