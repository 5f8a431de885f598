#include "textlinesmodel.h"

#include "linediff.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPoint>

#include <algorithm>

namespace vexa {

void TextLinesModel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    const QStringList lines = text.split(QLatin1Char('\n'));
    const QList<LineHunk> hunks = lineHunks(m_lines, lines);
    // From the last hunk to the first, so that the rows of those still to come keep their numbers.
    for (auto hunk = hunks.crbegin(); hunk != hunks.crend(); ++hunk) {
        const int start = int(hunk->oldStart);
        const int shared = int(std::min(hunk->oldCount, hunk->newCount));
        for (int i = 0; i < shared; ++i)
            m_lines[start + i] = lines.at(hunk->newStart + i);
        if (shared > 0)
            Q_EMIT dataChanged(index(start), index(start + shared - 1), { LineRole });
        if (hunk->newCount > hunk->oldCount) {
            beginInsertRows(QModelIndex(), start + shared, int(start + hunk->newCount - 1));
            for (qsizetype i = shared; i < hunk->newCount; ++i)
                m_lines.insert(start + i, lines.at(hunk->newStart + i));
            endInsertRows();
        } else if (hunk->oldCount > hunk->newCount) {
            beginRemoveRows(QModelIndex(), start + shared, int(start + hunk->oldCount - 1));
            m_lines.remove(start + shared, hunk->oldCount - shared);
            endRemoveRows();
        }
    }
    Q_EMIT textChanged();
}

QString TextLinesModel::textBetween(int fromLine, int fromColumn, int toLine, int toColumn) const
{
    const int last = int(m_lines.size()) - 1;
    fromLine = std::clamp(fromLine, 0, last);
    toLine = std::clamp(toLine, 0, last);
    fromColumn = std::clamp(fromColumn, 0, int(m_lines.at(fromLine).size()));
    toColumn = std::clamp(toColumn, 0, int(m_lines.at(toLine).size()));
    if (fromLine == toLine)
        return m_lines.at(fromLine).mid(fromColumn, std::max(0, toColumn - fromColumn));
    QStringList parts { m_lines.at(fromLine).mid(fromColumn) };
    for (int line = fromLine + 1; line < toLine; ++line)
        parts << m_lines.at(line);
    parts << m_lines.at(toLine).left(toColumn);
    return parts.join(QLatin1Char('\n'));
}

void TextLinesModel::copy(int fromLine, int fromColumn, int toLine, int toColumn) const
{
    const QString selected = textBetween(fromLine, fromColumn, toLine, toColumn);
    if (selected.isEmpty())
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(selected);
    if (clipboard->supportsSelection())
        clipboard->setText(selected, QClipboard::Selection);
}

QPoint TextLinesModel::wordAt(int line, int column) const
{
    const QString &text = m_lines.at(std::clamp(line, 0, int(m_lines.size()) - 1));
    const int size = int(text.size());
    column = std::clamp(column, 0, size);
    const auto inWord = [&text](int at) { return text.at(at).isLetterOrNumber() || text.at(at) == u'_'; };
    // A click just after a word's last letter still means that word.
    int at = column < size && inWord(column) ? column : column - 1;
    if (at < 0 || !inWord(at))
        return QPoint(column, std::min(column + 1, size));
    int start = at;
    while (start > 0 && inWord(start - 1))
        --start;
    while (at < size && inWord(at))
        ++at;
    return QPoint(start, at);
}

int TextLinesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant TextLinesModel::data(const QModelIndex &index, int role) const
{
    if (role != LineRole
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    return m_lines.at(index.row());
}

QHash<int, QByteArray> TextLinesModel::roleNames() const
{
    return { { LineRole, "line" } };
}

} // namespace vexa
