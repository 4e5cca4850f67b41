#include "common/logger_manager.h"
#include "common/safe_file_writer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

using tessaravolt::common::LoggerManager;

namespace {
LoggerManager& logger()
{
    return LoggerManager::instance();
}

QStringList messages()
{
    QStringList out;
    for (const auto& entry : logger().entries())
        out << entry.message;
    return out;
}

void clearLog()
{
    QTemporaryDir dir;
    logger().exportLog(dir.filePath("discard.log"));
}

// Threads that each run body(threadIndex) at once; join() waits for all of them.
class Writers
{
public:
    Writers(int count, const std::function<void(int)>& body)
    {
        for (int t = 0; t < count; ++t) {
            m_threads.emplace_back(QThread::create(body, t));
            m_threads.back()->start();
        }
    }

    ~Writers() { join(); }

    bool finished() const
    {
        return std::all_of(m_threads.begin(), m_threads.end(), [](const auto& thread) { return thread->isFinished(); });
    }

    bool join()
    {
        return std::all_of(m_threads.begin(), m_threads.end(), [](const auto& thread) { return thread->wait(60000); });
    }

private:
    std::vector<std::unique_ptr<QThread>> m_threads;
};
} // namespace

class TestLoggerManager : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearLog(); }

    void insertionsBuildOneLine()
    {
        logger() << "a" << 5 << std::endl;
        logger() << std::endl; // nothing pending: no entry
        logger() << true << false << ' ' << (unsigned short)65535 << ' ' << (short)-1 << ' ' << -12LL << ' ' << 7ULL
                 << ' ' << 4000u << ' ' << std::string("abc") << ' ' << QByteArray("\xe4\xb8\xad") << ' '
                 << QString("q") << ' ' << static_cast<const char*>(nullptr) << std::endl;
        const QString wideText = QStringLiteral("Frame overflowed");
        const QChar* wide = wideText.constData();
        logger() << wide << std::endl;
        logger() << 1234567 << std::endl;                           // no grouping
        logger() << uint8_t(200) << ' ' << int8_t(-3) << std::endl; // byte codes as numbers
        QCOMPARE(messages(),
                 QStringList({"a5", "10 65535 -1 -12 7 4000 abc \u4e2d q ", "Frame overflowed", "1234567", "200 -3"}));
    }

    void lineBreaksBecomeSpaces()
    {
        logger() << "x\r\ny" << std::endl;
        logger() << "   " << std::endl;
        logger().addLog("a\nb");
        QCOMPARE(messages(), QStringList({"x  y", "   ", "a b"}));
    }

    // Other control characters are written escaped, so an exported log shown in a terminal runs no
    // escape sequence; the byte count follows the escaped text.
    void controlCharactersAreEscaped_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored");
        QTest::newRow("escape sequence") << QStringLiteral("t \x1B[2J\x1B]0;x\x07")
                                         << QStringLiteral("t \\x1B[2J\\x1B]0;x\\x07");
        QTest::newRow("NUL, tab, backspace")
            << QString::fromUtf16(u"a\0b\tc\bd", 7) << QStringLiteral("a\\x00b\\x09c\\x08d");
        QTest::newRow("DEL and C1 CSI") << QStringLiteral("x\x7F\u009B31m") << QStringLiteral("x\\x7F\\x9B31m");
        QTest::newRow("line breaks stay spaces") << QStringLiteral("a\r\n\x1B"
                                                                   "b")
                                                 << QStringLiteral("a  \\x1Bb");
        // A viewer would show the rest of the line reversed, or split it in two.
        QTest::newRow("bidi controls and separators")
            << QStringLiteral("a\u202Ab\u202Bc\u202Cd\u202De\u202Ef\u2066g\u2067h\u2068i\u2069j\u2028k\u2029")
            << QStringLiteral("a\\u202Ab\\u202Bc\\u202Cd\\u202De\\u202Ef\\u2066g\\u2067h\\u2068i\\u2069j"
                              "\\u2028k\\u2029");
        QTest::newRow("printable untouched") << QStringLiteral("\u4e2d \u00A0\u200F\u2027\u202F\u2065\u206A ok\\")
                                             << QStringLiteral("\u4e2d \u00A0\u200F\u2027\u202F\u2065\u206A ok\\");
    }

    void controlCharactersAreEscaped()
    {
        QFETCH(QString, message);
        QFETCH(QString, stored);
        logger() << message << std::endl;
        logger().addLog(message);
        QCOMPARE(messages(), QStringList({stored, stored}));
        const auto entries = logger().entries();
        QCOMPARE(entries.first().size, LoggerManager::calculateEntrySize(entries.first()));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        QVERIFY(logger().exportLog(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        for (char c = 0; c < 0x20; ++c) {
            if (c != '\n')
                QVERIFY2(!text.contains(c), qPrintable(QString::number(int(c))));
        }
        QVERIFY(!text.contains('\x7F'));
        QVERIFY(!text.contains("\xC2\x9B")); // U+009B in UTF-8
        for (const char16_t c : {u'\u2028', u'\u2029', u'\u202A', u'\u202E', u'\u2066', u'\u2069'})
            QVERIFY2(!text.contains(QString(QChar(c)).toUtf8()), qPrintable(QString::number(c, 16)));
    }

    void addLogLeavesPendingLine()
    {
        logger() << "pending";
        logger().addLog("whole");
        logger() << std::endl;
        QCOMPARE(messages(), QStringList({"whole", "pending"}));
    }

    void cacheEncode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("leading zeros dropped") << QByteArray::fromHex("0FF000") << "t:0xF 0xF0 0x0";
        QTest::newRow("upper case") << QByteArray::fromHex("00AA10") << "t:0x0 0xAA 0x10";
        QTest::newRow("empty") << QByteArray() << "t:";
    }

    void cacheEncode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        logger().cacheEncode("t", reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
        QCOMPARE(messages(), QStringList({expected}));
    }

    void cacheEncodeJoinsThePendingLine()
    {
        const unsigned char bytes[] = {0x06};
        logger() << "before ";
        logger().cacheEncode("tag", bytes, sizeof bytes);
        logger().cacheEncode("none", nullptr, 4); // no buffer: nothing to dump
        QCOMPARE(messages(), QStringList({"before tag:0x6", "none:"}));
    }

    void exportNewestFirst()
    {
        logger() << "first" << std::endl;
        QTest::qWait(5); // the two entries get different times
        logger() << "second" << std::endl;
        const auto entries = logger().entries();
        QCOMPARE(entries.size(), 2);
        const qint64 bytes = logger().totalBytes();

        QTemporaryDir dir;
        const QString path = dir.filePath("app.log");
        QVERIFY(logger().exportLog(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QCOMPARE(text.size(), bytes);
        const QByteArray expected = (LoggerManager::formatTimestamp(entries[1].timestamp) + "  second\n"
                                     + LoggerManager::formatTimestamp(entries[0].timestamp) + "  first\n")
                                        .toUtf8();
        QCOMPARE(text, expected);
        QVERIFY(
            QRegularExpression("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  second\n").match(text).hasMatch());
        QCOMPARE(logger().entries().size(), 0);
        QCOMPARE(logger().totalBytes(), 0);

        // A second export writes an empty file.
        QVERIFY(logger().exportLog(path));
        QCOMPARE(QFile(path).size(), 0);
    }

    void failedExportKeepsTheLog()
    {
        logger() << "keep me" << std::endl;
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // Each failure keeps the log, and adds the reason to it.
        const std::pair<QString, int> refused[] = {
            {dir.filePath("file/under/a/file.log"), ENOTDIR},
            {dir.filePath("missing/folder/app.log"), ENOENT}, // no folder is created
            {dir.path(), EISDIR},
        };
        QStringList expected{"keep me"};
        for (const auto& [path, error] : refused) {
            QString reason;
            QVERIFY2(!logger().exportLog(path, &reason), qPrintable(path));
            QCOMPARE(reason, tessaravolt::common::systemErrorText(error));
            QCOMPARE(messages().size(), expected.size() + 1);
            // Nothing was written: the line says so.
            QVERIFY2(messages().last().startsWith("exportLog: the file could not be created: " + reason + " ("),
                     qPrintable(messages().last()));
            expected = messages();
        }
        QCOMPARE(messages().first(), QStringLiteral("keep me"));
        QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
        QVERIFY(logger().exportLog(dir.filePath("ok.log")));
        QCOMPARE(messages(), QStringList());
    }

    void capDropsOldest()
    {
        // Entries of exactly 100 bytes: 23 timestamp + 2 + 74 message + 1.
        const QString message(74, QLatin1Char('m'));
        constexpr int kFit = 83886; // 8,388,608 / 100
        for (int i = 0; i < kFit; ++i)
            logger().addLog(message);
        QCOMPARE(logger().entries().size(), qsizetype(kFit));
        logger().addLog("n" + message.mid(1));
        const auto entries = logger().entries();
        QCOMPARE(entries.size(), qsizetype(kFit));
        QCOMPARE(entries.last().message.at(0), QLatin1Char('n'));
        QCOMPARE(logger().totalBytes(), qint64(kFit) * 100);

        // An entry larger than the whole cap empties the log.
        logger().addLog(QString(int(LoggerManager::kMaxTotalBytes), QLatin1Char('z')));
        QCOMPARE(logger().entries().size(), 0);
        QCOMPARE(logger().totalBytes(), 0);
    }

    void concurrentWriters()
    {
        constexpr int kThreads = 8;
        constexpr int kLines = 2000;
        Writers writers(kThreads, [](int t) {
            for (int i = 0; i < kLines; ++i) {
                if (i % 2) {
                    logger().addLog(QString("w%1-%2").arg(t).arg(i));
                } else {
                    const unsigned char bytes[] = {0x00, 0xAA};
                    logger().cacheEncode("hex", bytes, sizeof bytes);
                }
            }
        });
        QVERIFY(writers.join());
        const auto entries = logger().entries();
        qint64 sum = 0;
        int whole = 0;
        for (const auto& e : entries) {
            sum += e.size;
            QCOMPARE(e.size, LoggerManager::calculateEntrySize(e));
            if (e.message.startsWith('w'))
                ++whole;
        }
        QCOMPARE(whole, kThreads * kLines / 2);
        QCOMPARE(sum, logger().totalBytes());
        // Pieces of concurrent hexadecimal lines may interleave, but none is lost.
        int tags = 0;
        for (const auto& e : entries)
            tags += e.message.count("hex");
        QCOMPARE(tags, kThreads * kLines / 2);
    }

    // Stream chains of several threads share the one pending line: pieces may mix, none is lost.
    void concurrentStreamChains()
    {
        constexpr int kThreads = 6;
        constexpr int kLines = 1500;
        Writers writers(kThreads, [](int) {
            for (int i = 0; i < kLines; ++i)
                logger() << "<" << i << ">" << std::endl;
        });
        QVERIFY(writers.join());
        int opened = 0;
        int closed = 0;
        for (const auto& e : logger().entries()) {
            QVERIFY(!e.message.isEmpty());
            opened += e.message.count('<');
            closed += e.message.count('>');
        }
        QCOMPARE(opened, kThreads * kLines);
        QCOMPARE(closed, kThreads * kLines);
    }

    // Entries logged while an export writes its file are not lost: the next export carries them.
    void exportWhileWritingLosesNothing()
    {
        constexpr int kThreads = 4;
        constexpr int kLines = 4000;
        Writers writers(kThreads, [](int t) {
            for (int i = 0; i < kLines; ++i)
                logger().addLog(QString("w%1-%2").arg(t).arg(i));
        });
        QTemporaryDir dir;
        QSet<QByteArray> seen;
        int exportedLines = 0;
        const auto collect = [&](const QString& path) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (line.isEmpty())
                    continue;
                ++exportedLines;
                seen.insert(line.mid(25)); // after the timestamp and its two spaces
            }
            return true;
        };
        for (int round = 0; !writers.finished(); ++round) {
            const QString path = dir.filePath(QString("export-%1.log").arg(round));
            QVERIFY(logger().exportLog(path));
            QVERIFY(collect(path));
        }
        QVERIFY(writers.join());
        QVERIFY(logger().exportLog(dir.filePath("last.log")));
        QVERIFY(collect(dir.filePath("last.log")));
        QCOMPARE(exportedLines, kThreads * kLines); // each entry exported exactly once
        QCOMPARE(seen.size(), kThreads * kLines);
        QCOMPARE(logger().totalBytes(), 0);
    }
};

QTEST_GUILESS_MAIN(TestLoggerManager)
#include "tst_logger_manager.moc"
