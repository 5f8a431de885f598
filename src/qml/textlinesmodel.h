#pragma once

#include <QAbstractListModel>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace vexa {

// A plain text as a list of lines, one row each, for a view that makes items only for the lines in
// view. A new text is compared with the shown one line by line: rows of changed lines are updated,
// and lines are inserted and removed where the texts differ, so a plan summary of thousands of lines
// that gains one line changes one row and the view keeps its scroll position.
class TextLinesModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)

public:
    static constexpr int LineRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    QString text() const { return m_text; }
    void setText(const QString &text);

    Q_INVOKABLE int lineLength(int line) const { return int(m_lines.value(line).size()); }
    // The text from (fromLine, fromColumn) to (toLine, toColumn), lines joined by line feeds; the
    // positions are clamped to the text.
    Q_INVOKABLE QString textBetween(int fromLine, int fromColumn, int toLine, int toColumn) const;
    // Puts textBetween(...) on the clipboard (and on the selection clipboard where there is one).
    Q_INVOKABLE void copy(int fromLine, int fromColumn, int toLine, int toColumn) const;
    // The start (x) and end (y) columns of the word (letters, digits and underscores) at `column` of
    // line `line`, as a double click selects it; off a word, the one character there.
    Q_INVOKABLE QPoint wordAt(int line, int column) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void textChanged();

private:
    QString m_text;
    // Always at least one line, as a text edit shows an empty text.
    QStringList m_lines { QString() };
};

} // namespace vexa
