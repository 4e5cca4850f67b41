#pragma once

// Reading a PDF report as its reader sees it, through poppler's pdfinfo and pdftotext.
#include <QBuffer>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPdfWriter>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace tessaravolt::test {

struct Word
{
    QString text;
    QRectF box; // points, from the page's top-left corner
};
using Page = QList<Word>;

inline QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int pageCount(const QString& path)
{
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)$"), QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pages.match(run(QStringLiteral("pdfinfo"), {path}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

inline QString layoutText(const QString& path)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

inline QList<Page> words(const QString& path)
{
    const QString html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    static const QRegularExpression tag(QStringLiteral(
        "<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Page> pages;
    for (const QRegularExpressionMatch& m : tag.globalMatch(html)) {
        if (m.captured(0).startsWith(QStringLiteral("<page"))) {
            pages.append(Page());
            continue;
        }
        QString text = m.captured(5);
        text.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
        text.replace(QStringLiteral("&quot;"), QStringLiteral("\""))
            .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        if (!pages.isEmpty())
            pages.last().append(Word{text, QRectF(topLeft, bottomRight)});
    }
    return pages;
}

// The words of one page grouped into lines, top to bottom, each line left to right.
inline QList<Page> lines(const Page& page)
{
    QList<Page> out;
    for (const Word& word : page) {
        auto line = std::find_if(out.begin(), out.end(), [&](const Page& l) {
            return std::abs(l.first().box.center().y() - word.box.center().y()) < 2.0;
        });
        if (line == out.end())
            out.append(Page{word});
        else
            line->append(word);
    }
    for (Page& line : out)
        std::sort(line.begin(), line.end(), [](const Word& a, const Word& b) { return a.box.left() < b.box.left(); });
    std::sort(out.begin(), out.end(),
              [](const Page& a, const Page& b) { return a.first().box.top() < b.first().box.top(); });
    return out;
}

inline QString joined(const Page& line)
{
    QStringList texts;
    for (const Word& word : line)
        texts << word.text;
    return texts.join(QLatin1Char(' '));
}

// The writer's own geometry: its paintable area in dots and where it starts on the page.
struct Geometry
{
    int width = 0;
    int height = 0;
    QMarginsF marginsPt;

    static const Geometry& a4()
    {
        static const Geometry geometry = [] {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QPdfWriter writer(&buffer);
            writer.setPageSize(QPageSize(QPageSize::A4));
            writer.setResolution(300);
            return Geometry{writer.width(), writer.height(), writer.pageLayout().margins(QPageLayout::Point)};
        }();
        return geometry;
    }
    qreal xPt(qreal dots) const { return marginsPt.left() + dots * 72.0 / 300.0; }
    qreal yPt(qreal dots) const { return marginsPt.top() + dots * 72.0 / 300.0; }
    int rightEdge() const { return width - 180; }
    // Text rectangle of table column i (0 date, 1 time, 2 event, 3 value), in dots.
    std::pair<int, int> column(int i) const
    {
        const int w = rightEdge() - 180;
        const int widths[] = {w / 5, w / 5, (2 * w) / 5, w / 5};
        int x = 180;
        for (int c = 0; c < i; ++c)
            x += widths[c];
        return {x + 10, x + widths[i] - 10};
    }
};

// Every line of the report with its words gathered by the cell they stand in, cells joined by
// " | ": the identity block splits at x 600, a table row (it starts with a date) at its columns.
inline QStringList cellLines(const QString& path)
{
    const Geometry& g = Geometry::a4();
    QStringList found;
    for (const Page& page : words(path)) {
        for (const Page& line : lines(page)) {
            QList<qreal> starts{g.xPt(600)};
            if (line.size() > 2 && line.first().text.count(QLatin1Char('/')) == 2) {
                starts = {};
                for (int c = 1; c < 4; ++c)
                    starts << g.xPt(g.column(c).first);
            }
            QStringList cells(starts.size() + 1);
            for (const Word& word : line) {
                const auto cell =
                    std::count_if(starts.begin(), starts.end(), [&](qreal x) { return word.box.left() >= x - 1; });
                cells[cell] += (cells[cell].isEmpty() ? QString() : QStringLiteral(" ")) + word.text;
            }
            found << cells.join(QStringLiteral(" | "));
        }
    }
    return found;
}

// One record of a reader's list as cellLines shows its row.
inline QString recordLine(const QVariantMap& map)
{
    return QStringList{map.value(QStringLiteral("date")).toString(), map.value(QStringLiteral("time")).toString(),
                       map.value(QStringLiteral("event")).toString(), map.value(QStringLiteral("value")).toString()}
        .join(QStringLiteral(" | "));
}

} // namespace tessaravolt::test
