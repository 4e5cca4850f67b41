// Checks that depend on the process-wide sequence counter and padding generator starting fresh;
// each test function continues from the state the previous one left.
#include "codec_test_support.h"

#include "common/logger_manager.h"

#include <QtTest>

using namespace tessaravolt;
using namespace codec_test;

class TstFrameCodecFirstReports : public QObject
{
    Q_OBJECT

    int m_reportsEncoded = 0;

    // Deciphers a host report's cipher block with the host key and returns it whole (length
    // prefix, frame, filler).
    static std::vector<uint8_t> cipherBlockOf(const protocol::Frame& report)
    {
        const size_t m = report.data[4];
        std::vector<uint8_t> block(report.data + 5, report.data + 5 + m);
        for (size_t i = 0; i < m; i += 8)
            protocol::teaDecipherBlock(kEncKey, block.data() + i);
        return block;
    }

private slots:
    void firstProbeIsTheKnownReport()
    {
        auto report = protocol::encodeFrame(0x10, 0x06, nullptr, 0);
        ++m_reportsEncoded;
        QVERIFY(report->error.isEmpty());
        QCOMPARE(report->size, size_t(17));
        QCOMPARE(toVector(*report), bytes("00AA5500 08 897A3372D0A5B7F9 A693 0D0A"));
        for (size_t i = 17; i < protocol::kOutputReportCapacity; ++i)
            QCOMPARE(report->data[i], uint8_t(0));

        QCOMPARE(cipherBlockOf(*report), bytes("0600AA10060073A5"));
        const auto entries = common::LoggerManager::instance().entries();
        QVERIFY(!entries.isEmpty());
        QVERIFY2(entries.last().message.endsWith("encodeFrame:0xAA 0x10 0x6 0x0 0x73 0xA5"),
                 qPrintable(entries.last().message));
    }

    void rejectedPayloadTakesNoSequenceNumber()
    {
        const qsizetype logged = common::LoggerManager::instance().entries().size();
        std::vector<uint8_t> payload(49, 0x11);
        auto refused = protocol::encodeFrame(0x20, 0x01, payload.data(), payload.size());
        QCOMPARE(refused->error, QString("Payload exceeds HID protocol maximum"));
        QVERIFY(refused->data == nullptr);
        QCOMPARE(refused->size, size_t(0));

        auto nullPayload = protocol::encodeFrame(0x20, 0x01, nullptr, 3);
        QVERIFY(nullPayload->size == 0 && nullPayload->data == nullptr);
        QCOMPARE(common::LoggerManager::instance().entries().size(), logged);

        // A payload of 8 bytes makes a 14-byte frame that fills its 16-byte block: no filler.
        payload.resize(8);
        auto next = protocol::encodeFrame(0x20, 0x01, payload.data(), payload.size());
        ++m_reportsEncoded;
        QCOMPARE(next->data[3], uint8_t(1));
        QCOMPARE(next->size, size_t(25));
    }

    void firstFillerBytesContinueFromTheSeed()
    {
        const uint8_t one = 0x42;
        auto report = protocol::encodeFrame(0x12, 0x02, &one, 1);
        ++m_reportsEncoded;
        QCOMPARE(report->size, size_t(25));
        const auto block = cipherBlockOf(*report);
        std::vector<uint8_t> prefix{0x07, 0x00};
        const auto plain = plainFrame(0x12, 0x02, {0x42});
        prefix.insert(prefix.end(), plain.begin(), plain.end());
        QCOMPARE(std::vector<uint8_t>(block.begin(), block.begin() + 9), prefix);
        QCOMPARE(std::vector<uint8_t>(block.begin() + 9, block.end()), bytes("6EFEEE3A3DE33C"));

        // The generator was left at 0x3C, whose successor is 0x7A: a 7-byte payload needs one filler byte.
        const uint8_t seven[7] = {1, 2, 3, 4, 5, 6, 7};
        auto after = protocol::encodeFrame(0x12, 0x02, seven, 7);
        ++m_reportsEncoded;
        QCOMPARE(cipherBlockOf(*after).back(), uint8_t(0x7A));
    }

    void sequenceNumberWrapsAfter256Reports()
    {
        while (m_reportsEncoded < 256) {
            auto report = protocol::encodeFrame(0x20, 0x04, nullptr, 0);
            QCOMPARE(report->data[3], uint8_t(m_reportsEncoded));
            ++m_reportsEncoded;
        }
        auto report257 = protocol::encodeFrame(0x20, 0x04, nullptr, 0);
        QCOMPARE(report257->data[3], uint8_t(0));
    }
};

QTEST_GUILESS_MAIN(TstFrameCodecFirstReports)
#include "tst_frame_codec_first_reports.moc"
