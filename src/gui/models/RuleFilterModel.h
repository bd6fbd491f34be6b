#pragma once

#include "rules/RuleAnalysis.h"

#include <QIcon>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <chrono>
#include <optional>
#include <vector>

namespace vellamor {

class RuleListModel;

// What the Security page shows of the rule set: the rules the find text lets
// through, in file order and with their texts unchanged, each marked with a
// warning sign and a tooltip when its checks found a problem.
//
// The checks cover the whole rule set, filtered or not (a duplicate refers to
// its first occurrence wherever it stands), in one pass that takes a few
// milliseconds per 10,000 rules. They run once a burst of edits is over: at
// once up to kChecksAtOnce rules, after kChecksPause of quiet above, so that
// holding Ctrl+Down in a block list does not run them at every step. Until
// then the signs stay with the rows they were found on as rows come, go and
// move, and a new or changed line shows none; a tooltip, asked for now and
// then, runs the checks first and is never out of date.
class RuleFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    static constexpr int kChecksAtOnce = 20000;
    static constexpr std::chrono::milliseconds kChecksPause{250};

    explicit RuleFilterModel(RuleListModel *rules, QObject *parent = nullptr);

    // An address shows the rules that cover it; other text the lines that
    // hold it, in any letter case; empty text every line.
    void setFindText(const QString &text);
    bool isFiltering() const { return m_address.has_value() || !m_text.isEmpty(); }

    // The checks of the rule set as it stands.
    const RuleSetAnalysis &analysis() const;

    // Moves the rule shown at `row` to stand right before the rule shown at
    // `before` (rowCount(): after the last rule shown). Rows of the rule set
    // that the filter hides keep their places. True when the rule moved.
    bool moveRule(int row, int before);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Rows can be dragged, and dropped between rows.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    bool canDropMimeData(const QMimeData *mime, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    Qt::DropActions supportedDropActions() const override;

Q_SIGNALS:
    // The checks ran again over a changed rule set.
    void analysed();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void ruleSetChanged();
    void refresh();
    void followRows(int first, int last, bool inserted);
    void followMove(int start, int end, int destination);

    RuleListModel *m_rules;
    std::optional<quint32> m_address;
    QString m_text;
    bool m_asciiText = false;
    QByteArray m_asciiBytes;
    mutable RuleSetAnalysis m_analysis;
    mutable bool m_stale = true;
    // The problems found per row, kept in step with the rows between checks.
    std::vector<quint16> m_signs;
    bool m_anySign = false;
    QTimer m_checkTimer;
    QIcon m_warning;
    QIcon m_blank;
};

} // namespace vellamor
