#include "report/pdf_exporter.h"

#include "common/i18n.h"
#include "common/logger_manager.h"
#include "common/safe_file_writer.h"
#include "common/singleton_slot.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QUrl>

#include <array>
#include <cmath>
#include <unordered_map>

namespace tessaravolt::common {

namespace {
SingletonSlot<PdfExporter> s_instance;

// Report geometry in dots of the 300 dpi writer, y growing downwards.
constexpr int kLeftEdge = 180;
constexpr int kRightMargin = 180;
constexpr int kBottomMargin = 180;
constexpr int kPageTop = 230;
constexpr int kBlockWidth = 1200;
constexpr int kSectionBlock = 396; // room a section needs for its title, header and one row
constexpr int kRowPitch = 66;
constexpr int kRowGap = 22;
constexpr int kRowHeight = 44;
constexpr int kHeaderHeight = 42;
constexpr int kCellPadding = 10;

constexpr qreal kTitlePointSize = 24;
constexpr qreal kSectionPointSize = 15;
constexpr qreal kBodyPointSize = 10;
// A text wider than its cell is drawn smaller, down to this size, before it is elided.
constexpr qreal kSmallestPointSize = 8;

const QString kReportTitle = QStringLiteral("Diagnostic Report");

struct LogRow
{
    QString date;
    QString time;
    QString event;
    QString value;
};

// "Arial" first, then faces with its metrics, then a CJK face whose glyphs map back to the same
// characters when the text is extracted. Naming them all keeps fontconfig's language-dependent
// substitution (a CJK face for the Latin text under a Chinese LANG) out of the report.
QFont reportFont(qreal pointSize, int weight)
{
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(false);
    // Unshaped glyphs keep a one-to-one map back to the characters for text extraction.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

// Sizes a text to its cell: the cell's font when the text fits, else a smaller one down to the
// smallest size, and past that the smallest size with the text elided. Event, date and value
// texts repeat through a log, so each (font, width, text) is measured once.
class TextFitter
{
public:
    explicit TextFitter(QPaintDevice* device)
        : m_device(device)
    { }

    struct Fit
    {
        qreal pointSize = 0;
        QString text;
    };

    const Fit& fit(const QFont& font, int width, const QString& text)
    {
        Key key{font.pointSizeF(), font.weight(), width, text};
        auto found = m_fits.constFind(key);
        if (found != m_fits.cend())
            return *found;
        return *m_fits.insert(key, compute(font, width, text));
    }

    const QFont& fontAt(const QFont& base, qreal pointSize) { return sized(base, pointSize).font; }

private:
    struct Key
    {
        qreal pointSize;
        int weight;
        int width;
        QString text;
        bool operator==(const Key&) const = default;
    };
    friend size_t qHash(const Key& key, size_t seed)
    {
        return qHashMulti(seed, key.pointSize, key.weight, key.width, key.text);
    }

    struct Sized
    {
        QFont font;
        QFontMetricsF metrics;
    };

    // Node-based, so a font handed out stays where it is while others are added.
    const Sized& sized(const QFont& base, qreal pointSize)
    {
        const qint64 key = (qint64(base.weight()) << 32) | qint64(std::lround(pointSize * 100));
        auto found = m_fonts.find(key);
        if (found == m_fonts.end()) {
            QFont font = base;
            font.setPointSizeF(pointSize);
            found = m_fonts.emplace(key, Sized{font, QFontMetricsF(font, m_device)}).first;
        }
        return found->second;
    }

    const QFontMetricsF& metricsAt(const QFont& base, qreal pointSize) { return sized(base, pointSize).metrics; }

    Fit compute(const QFont& font, int width, const QString& text)
    {
        const qreal base = font.pointSizeF();
        const qreal advance = metricsAt(font, base).horizontalAdvance(text);
        if (advance <= width || text.isEmpty())
            return {base, text};
        // Advances scale almost linearly with the size: start from the proportional size, in
        // tenths of a point, and step down while rounding leaves the text too wide.
        qreal size = std::floor(base * width / advance * 10) / 10;
        for (size = std::min(size, base - 0.1); size >= kSmallestPointSize; size = std::round((size - 0.1) * 10) / 10) {
            if (metricsAt(font, size).horizontalAdvance(text) <= width)
                return {size, text};
        }
        return {kSmallestPointSize, metricsAt(font, kSmallestPointSize).elidedText(text, Qt::ElideRight, width)};
    }

    QPaintDevice* m_device;
    QHash<Key, Fit> m_fits;
    std::unordered_map<qint64, Sized> m_fonts;
};

// One report being drawn: the painter, the running y and the fonts.
struct Report
{
    QPdfWriter& writer;
    QPainter& painter;
    TextFitter fitter;
    QFont titleFont = reportFont(kTitlePointSize, 700);
    QFont sectionFont = reportFont(kSectionPointSize, 700);
    QFont bodyFont = reportFont(kBodyPointSize, QFont::Normal);
    QPen textPen{Qt::black};
    QPen rulePen{QBrush(Qt::black), 4.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin};
    int rightEdge = 0;
    int y = 0;
    bool pagesOk = true;
    const QFont* currentFont = nullptr; // owned by the fitter, which never drops a font

    Report(QPdfWriter& w, QPainter& p)
        : writer(w)
        , painter(p)
        , fitter(&w)
    { }

    int bottomLimit() const { return writer.height() - kBottomMargin; }

    void newPage()
    {
        if (!writer.newPage())
            pagesOk = false;
        painter.setPen(textPen);
        currentFont = nullptr;
        y = kPageTop;
    }

    // Left-aligned and vertically centred on one line. The text is fitted to the width first, so
    // nothing is cut off at the sides and no clip is needed.
    void drawText(const QRect& rect, const QFont& font, const QString& text)
    {
        if (text.isEmpty())
            return;
        const TextFitter::Fit& fit = fitter.fit(font, rect.width(), text);
        const QFont* drawn = &fitter.fontAt(font, fit.pointSize);
        if (drawn != currentFont) {
            painter.setFont(*drawn);
            currentFont = drawn;
        }
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, fit.text);
    }
};

QList<LogRow> parseRows(const QVariantList& list)
{
    static const QString kDate = QStringLiteral("date");
    static const QString kTime = QStringLiteral("time");
    static const QString kEvent = QStringLiteral("event");
    static const QString kValue = QStringLiteral("value");
    QList<LogRow> rows;
    rows.reserve(list.size());
    for (const QVariant& element : list) {
        const QVariantMap map = element.toMap();
        rows.append(LogRow{map.value(kDate).toString(), map.value(kTime).toString(), map.value(kEvent).toString(),
                           map.value(kValue).toString()});
    }
    return rows;
}

void drawHorizontalLine(Report& report, int y)
{
    const QPen kept = report.painter.pen();
    report.painter.setPen(report.rulePen);
    report.painter.drawLine(kLeftEdge, y, report.rightEdge, y);
    report.painter.setPen(kept);
}

// Columns of a fifth, a fifth, two fifths and a fifth of the row, each inset by its padding.
void drawTableRow(Report& report, const QRect& row, const std::array<const QString*, 4>& texts)
{
    const int w = row.width();
    const std::array<int, 4> widths{w / 5, w / 5, (2 * w) / 5, w / 5};
    int x = row.x();
    for (size_t i = 0; i < texts.size(); ++i) {
        report.drawText(QRect(x + kCellPadding, row.y(), widths[i] - 2 * kCellPadding, row.height()), report.bodyFont,
                        *texts[i]);
        x += widths[i];
    }
}

void drawLogHeader(Report& report)
{
    static const QString kDate = QStringLiteral("Date");
    static const QString kTime = QStringLiteral("Time");
    static const QString kEvent = QStringLiteral("Event");
    static const QString kValue = QStringLiteral("Value");
    drawTableRow(report, QRect(kLeftEdge, report.y, report.rightEdge - kLeftEdge, kHeaderHeight),
                 {&kDate, &kTime, &kEvent, &kValue});
    report.y += 54;
    drawHorizontalLine(report, report.y);
}

void drawLogSection(Report& report, const QString& title, const QList<LogRow>& rows)
{
    if (report.y + kSectionBlock > report.bottomLimit())
        report.newPage();
    report.drawText(QRect(kLeftEdge, report.y + 82, kBlockWidth, 70), report.sectionFont, title);
    report.y += 186;
    drawLogHeader(report);
    for (const LogRow& row : rows) {
        if (report.y + kRowPitch > report.bottomLimit()) {
            report.newPage();
            drawLogHeader(report);
        }
        report.y += kRowGap;
        drawTableRow(report, QRect(kLeftEdge, report.y, report.rightEdge - kLeftEdge, kRowHeight),
                     {&row.date, &row.time, &row.event, &row.value});
        report.y += kRowHeight;
    }
}

void drawReport(Report& report, const QString& modelNo, const QString& serialNo, const QString& hardwareVersion,
                const QString& firmwareVersion, const QVariantList& activityLogs, const QVariantList& abnormalLogs)
{
    report.rightEdge = report.writer.width() - kRightMargin;
    report.painter.setPen(report.textPen);
    report.drawText(QRect(kLeftEdge, kPageTop, kBlockWidth, 100), report.titleFont, kReportTitle);

    const QDateTime now = QDateTime::currentDateTime();
    const QString generatedAt = now.toString(QStringLiteral("yyyy/MM/dd HH:mm "))
        + I18n::offsetToAbbreviation(static_cast<int16_t>(now.offsetFromUtc() / 60));
    const std::array<std::pair<QString, const QString*>, 5> identity{{
        {QStringLiteral("Generated At:"), &generatedAt},
        {QStringLiteral("Model no.:"), &modelNo},
        {QStringLiteral("Serial no.:"), &serialNo},
        {QStringLiteral("Hardware Version:"), &hardwareVersion},
        {QStringLiteral("Firmware Version:"), &firmwareVersion},
    }};
    const std::array<int, 5> identityY{376, 466, 514, 562, 610};
    for (size_t i = 0; i < identity.size(); ++i) {
        report.drawText(QRect(kLeftEdge, identityY[i], kBlockWidth, 38), report.bodyFont, identity[i].first);
        report.drawText(QRect(600, identityY[i], kBlockWidth, 38), report.bodyFont, *identity[i].second);
    }

    report.y = 686;
    drawHorizontalLine(report, report.y);
    drawLogSection(report, QStringLiteral("Activity Logs"), parseRows(activityLogs));
    report.y += 64;
    drawLogSection(report, QStringLiteral("Abnormal Logs"), parseRows(abnormalLogs));
}

void logReportLine(const QString& text)
{
    LoggerManager::instance().addLog(QStringLiteral("exportDiagnosticReport: ") + text);
}
} // namespace

QString normalizedLocalPath(const QString& path)
{
    const QUrl url(path, QUrl::TolerantMode);
    if (url.isLocalFile())
        return url.toLocalFile();
    return path;
}

PdfExporter* PdfExporter::create(QQmlEngine*, QJSEngine*)
{
    return instance();
}

PdfExporter* PdfExporter::instance()
{
    return s_instance.get([] { return new PdfExporter; });
}

PdfExporter::~PdfExporter()
{
    s_instance.release(this);
}

void PdfExporter::setLastError(const QString& reason)
{
    if (m_lastError != reason) {
        m_lastError = reason;
        emit lastErrorChanged();
    }
}

bool PdfExporter::failed(const QString& reason)
{
    setLastError(reason);
    return false;
}

bool PdfExporter::exportDiagnosticReport(const QString& path, const QString& modelNo, const QString& serialNo,
                                         const QString& hardwareVersion, const QString& firmwareVersion,
                                         const QVariantList& activityLogs, const QVariantList& abnormalLogs)
{
    setLastError(QString());
    QString localPath = normalizedLocalPath(path);
    if (!localPath.isEmpty() && !localPath.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        localPath += QStringLiteral(".pdf");

    // The report is drawn in memory, then written beside its final name, which it takes only once
    // the disk holds all of it. The file is made first so that a path that cannot be written (a
    // missing folder: no folder is created) fails before any drawing.
    SafeFileWriter file(localPath);
    const auto writeFailed = [&] {
        logReportLine(file.failure());
        return failed(file.reason());
    };
    if (!file.open())
        return writeFailed();

    QBuffer document;
    document.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&document);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(kReportTitle);
        QPainter painter;
        if (!painter.begin(&writer)) {
            logReportLine(QStringLiteral("painter.begin() failed"));
            return failed(QStringLiteral("The report could not be drawn."));
        }
        Report report(writer, painter);
        drawReport(report, modelNo, serialNo, hardwareVersion, firmwareVersion, activityLogs, abnormalLogs);
        if (!painter.end()) {
            logReportLine(QStringLiteral("painter.end() failed"));
            return failed(QStringLiteral("The report could not be drawn."));
        }
        if (!report.pagesOk) {
            logReportLine(QStringLiteral("a new page could not be started"));
            return failed(QStringLiteral("The report could not be drawn."));
        }
    }
    if (!file.commit(document.data()))
        return writeFailed();
    if (!file.warning().isEmpty())
        logReportLine(file.warning());
    return true;
}

bool PdfExporter::exportLog(const QString& path)
{
    setLastError(QString());
    QString reason;
    if (!LoggerManager::instance().exportLog(normalizedLocalPath(path), &reason))
        return failed(reason);
    return true;
}

} // namespace tessaravolt::common
