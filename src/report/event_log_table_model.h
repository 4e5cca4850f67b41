#pragma once

#include "common/local_time.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <vector>

namespace tessaravolt::common {

// The rows of the diagnostics page's event-log table, one log at a time, newest first, with the
// roles "seq", "date", "time", "state", "event", "value" and "sort". Activity records are placed by
// their time stamp, one by one or, between beginBatch() and endBatch(), all together in one merge:
// a replay of a long log in any order then costs a sort instead of an insertion per row. Abnormal
// rows come already sorted and are appended as they are.
class EventLogTableModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { SeqRole = Qt::UserRole + 1, DateRole, TimeRole, StateRole, EventRole, ValueRole, SortRole };

    explicit EventLogTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const;

    // Activity records that arrive until the matching endBatch() are placed when it comes. Batches
    // nest; only the outermost end places them.
    Q_INVOKABLE void beginBatch();
    Q_INVOKABLE void endBatch();

    // An activity record (`ts` in seconds since the epoch), dropped when a row with its sequence
    // number is already there. Among equal time stamps the latest arrival stands first.
    Q_INVOKABLE bool addActivityRecord(int seq, double ts, int status, int info, int code);

    // Rows given as maps with the seven roles, after the last row, in the order given.
    Q_INVOKABLE void appendRows(const QVariantList& rows);

    Q_INVOKABLE void clear();

    // The row as a map of its roles; empty outside the rows.
    Q_INVOKABLE QVariantMap get(int index) const;
    // The sequence number of a row, -1 outside the rows.
    Q_INVOKABLE int seqAt(int index) const;
    // The first row from the top with this sequence number, -1 for none.
    Q_INVOKABLE int indexOfSeq(int seq) const;

signals:
    void countChanged();

private:
    struct Row
    {
        double sort = 0;
        double key = 0; // "sort", with an undefined one below every other
        uint64_t arrival = 0;
        int seq = 0;
        int state = 0;
        int event = 0;
        QString date;
        QString time;
        QString value;
    };

    static bool before(const Row& a, const Row& b);
    void setMomentTexts(Row& row, qint64 utcSeconds);
    void insertRow(Row row);
    void mergePending();

    std::vector<Row> m_rows;
    std::vector<Row> m_pending;
    QSet<int> m_activitySeqs;
    uint64_t m_arrivals = 0;
    int m_batchDepth = 0;
    ZoneDays m_zones;
    QHash<qint64, QString> m_dateTexts;
    std::vector<QString> m_timeTexts = std::vector<QString>(24 * 60);
};

} // namespace tessaravolt::common
