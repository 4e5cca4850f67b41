#include "report/event_log_table_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tessaravolt::common {

namespace {

// The range of moments a QML date holds; outside it the texts are empty, as a QML date's are.
constexpr double kLatestMs = double(kLatestShownSeconds) * 1000;

double orderKey(double sort)
{
    return std::isnan(sort) ? -std::numeric_limits<double>::infinity() : sort;
}

} // namespace

EventLogTableModel::EventLogTableModel(QObject* parent)
    : QAbstractListModel(parent)
{ }

int EventLogTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EventLogTableModel::count() const
{
    return int(m_rows.size());
}

QHash<int, QByteArray> EventLogTableModel::roleNames() const
{
    return {{SeqRole, "seq"},     {DateRole, "date"},   {TimeRole, "time"}, {StateRole, "state"},
            {EventRole, "event"}, {ValueRole, "value"}, {SortRole, "sort"}};
}

QVariant EventLogTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= count())
        return {};
    const Row& row = m_rows[size_t(index.row())];
    switch (role) {
    case SeqRole:
        return row.seq;
    case DateRole:
        return row.date;
    case TimeRole:
        return row.time;
    case StateRole:
        return row.state;
    case EventRole:
        return row.event;
    case ValueRole:
        return row.value;
    case SortRole:
        return row.sort;
    default:
        return {};
    }
}

// Larger key first; among equal keys the later arrival.
bool EventLogTableModel::before(const Row& a, const Row& b)
{
    return a.key > b.key || (a.key == b.key && a.arrival > b.arrival);
}

void EventLogTableModel::beginBatch()
{
    ++m_batchDepth;
}

void EventLogTableModel::endBatch()
{
    if (m_batchDepth == 0)
        return;
    if (--m_batchDepth == 0)
        mergePending();
}

bool EventLogTableModel::addActivityRecord(int seq, double ts, int status, int info, int code)
{
    if (m_activitySeqs.contains(seq))
        return false;
    m_activitySeqs.insert(seq);
    Row row;
    row.seq = seq;
    row.state = status;
    row.event = info;
    row.value = QString::number(code);
    row.sort = ts * 1000;
    row.key = orderKey(row.sort);
    row.arrival = m_arrivals++;
    if (std::isfinite(row.sort) && std::abs(row.sort) <= kLatestMs)
        setMomentTexts(row, floorDiv(qint64(row.sort), 1000));
    if (m_batchDepth > 0)
        m_pending.push_back(std::move(row));
    else
        insertRow(std::move(row));
    return true;
}

// The local date and time. A long log covers few days and, in any order, repeats the same minutes
// of the day: each text is made once and shared.
void EventLogTableModel::setMomentTexts(Row& row, qint64 utcSeconds)
{
    const LocalMoment moment = m_zones.atSigned(utcSeconds, m_zones.indexOfSigned(utcSeconds));
    if (!moment.valid)
        return;
    auto date = m_dateTexts.find(moment.localDay);
    if (date == m_dateTexts.end())
        date = m_dateTexts.insert(moment.localDay, formatLocalDate(moment));
    row.date = date.value();
    QString& time = m_timeTexts[size_t(moment.hour * 60 + moment.minute)];
    if (time.isNull())
        time = formatLocalTime(moment);
    row.time = time;
}

// By bisection: after every row with a greater key, before the first with an equal or smaller one.
void EventLogTableModel::insertRow(Row row)
{
    const auto at =
        std::partition_point(m_rows.begin(), m_rows.end(), [&row](const Row& r) { return r.key > row.key; });
    const int index = int(at - m_rows.begin());
    beginInsertRows({}, index, index);
    m_rows.insert(at, std::move(row));
    endInsertRows();
    emit countChanged();
}

// Every row waiting arrived after every row shown, so at an equal key it goes first.
void EventLogTableModel::mergePending()
{
    if (m_pending.empty())
        return;
    if (m_pending.size() == 1) {
        Row row = std::move(m_pending.front());
        m_pending.clear();
        insertRow(std::move(row));
        return;
    }
    std::vector<Row> pending;
    pending.swap(m_pending);
    std::sort(pending.begin(), pending.end(), before);

    std::vector<Row> merged;
    merged.reserve(m_rows.size() + pending.size());
    size_t first = std::numeric_limits<size_t>::max();
    size_t last = 0;
    auto shown = m_rows.begin();
    for (Row& row : pending) {
        while (shown != m_rows.end() && shown->key > row.key)
            merged.push_back(std::move(*shown++));
        first = std::min(first, merged.size());
        last = merged.size();
        merged.push_back(std::move(row));
    }
    std::move(shown, m_rows.end(), std::back_inserter(merged));

    // New rows in one run are one insertion, which keeps the view where it is; else one reset.
    if (last - first + 1 == pending.size()) {
        beginInsertRows({}, int(first), int(last));
        m_rows.swap(merged);
        endInsertRows();
    } else {
        beginResetModel();
        m_rows.swap(merged);
        endResetModel();
    }
    emit countChanged();
}

void EventLogTableModel::appendRows(const QVariantList& rows)
{
    if (rows.isEmpty())
        return;
    std::vector<Row> added;
    added.reserve(size_t(rows.size()));
    for (const QVariant& value : rows) {
        const QVariantMap map = value.toMap();
        Row row;
        row.seq = map.value(QStringLiteral("seq")).toInt();
        row.date = map.value(QStringLiteral("date")).toString();
        row.time = map.value(QStringLiteral("time")).toString();
        row.state = map.value(QStringLiteral("state")).toInt();
        row.event = map.value(QStringLiteral("event")).toInt();
        row.value = map.value(QStringLiteral("value")).toString();
        row.sort = map.value(QStringLiteral("sort")).toDouble();
        row.key = orderKey(row.sort);
        row.arrival = m_arrivals++;
        added.push_back(std::move(row));
    }
    const int from = count();
    beginInsertRows({}, from, from + int(added.size()) - 1);
    std::move(added.begin(), added.end(), std::back_inserter(m_rows));
    endInsertRows();
    emit countChanged();
}

void EventLogTableModel::clear()
{
    m_pending.clear();
    m_activitySeqs.clear();
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
    emit countChanged();
}

QVariantMap EventLogTableModel::get(int index) const
{
    QVariantMap map;
    if (index < 0 || index >= count())
        return map;
    const QHash<int, QByteArray> names = roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        map.insert(QString::fromLatin1(it.value()), data(this->index(index), it.key()));
    return map;
}

int EventLogTableModel::seqAt(int index) const
{
    return index >= 0 && index < count() ? m_rows[size_t(index)].seq : -1;
}

int EventLogTableModel::indexOfSeq(int seq) const
{
    const auto found = std::find_if(m_rows.cbegin(), m_rows.cend(), [seq](const Row& r) { return r.seq == seq; });
    return found == m_rows.cend() ? -1 : int(found - m_rows.cbegin());
}

} // namespace tessaravolt::common
