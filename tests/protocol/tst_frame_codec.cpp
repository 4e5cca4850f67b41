#include "codec_test_support.h"

#include <QtTest>

#include <array>
#include <thread>

using namespace tessaravolt;
using namespace codec_test;

Q_DECLARE_METATYPE(std::vector<uint8_t>)

namespace {

std::vector<uint8_t> payloadOf(size_t length, uint8_t seed)
{
    std::vector<uint8_t> payload(length);
    for (size_t i = 0; i < length; ++i)
        payload[i] = static_cast<uint8_t>(seed + 37 * i);
    return payload;
}

size_t blockLengthFor(size_t payloadLength)
{
    return (payloadLength + 8 + 7) / 8 * 8;
}

} // namespace

class TstFrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void crc16_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("crc");
        QTest::newRow("check value") << QByteArray("123456789") << 0x4B37;
        QTest::newRow("empty") << QByteArray() << 0xFFFF;
        QTest::newRow("probe frame body") << QByteArray::fromHex("100600") << 0xA573;
    }
    void crc16()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, crc);
        QCOMPARE(common::crc16(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size())),
                 uint16_t(crc));
    }
    void crc16OfNullIsTheInitialValue() { QCOMPARE(common::crc16(nullptr, 5), uint16_t(0xFFFF)); }

    void teaMatchesThePublishedVector()
    {
        // Key and block all zero: 0x41EA3A0A 0x94BAA940.
        const uint8_t key[16] = {};
        uint8_t block[8] = {};
        protocol::teaEncipherBlock(key, block);
        QCOMPARE(std::vector<uint8_t>(block, block + 8), bytes("0A3AEA4140A9BA94"));
        protocol::teaDecipherBlock(key, block);
        QCOMPARE(std::vector<uint8_t>(block, block + 8), std::vector<uint8_t>(8, 0));
    }

    void calcEncLen()
    {
        const std::array<std::pair<uint16_t, uint16_t>, 12> cases{{{0, 0},
                                                                   {1, 8},
                                                                   {6, 8},
                                                                   {7, 16},
                                                                   {14, 16},
                                                                   {15, 24},
                                                                   {46, 48},
                                                                   {47, 56},
                                                                   {54, 56},
                                                                   {55, 0},
                                                                   {64, 0},
                                                                   {65535, 0}}};
        for (const auto& [n, m] : cases)
            QVERIFY2(comp_tea_calc_enc_len(n) == m, qPrintable(QString::number(n)));
    }

    void fillerGeneratorVisitsEveryNonZeroValue()
    {
        uint8_t x = 0x5A;
        std::vector<uint8_t> first;
        for (int i = 0; i < 8; ++i)
            first.push_back(x = protocol::nextFillerByte(x));
        QCOMPARE(first, bytes("6EFEEE3A3DE33C7A"));

        std::array<bool, 256> seen{};
        x = 0x5A;
        int period = 0;
        do {
            x = protocol::nextFillerByte(x);
            QVERIFY(x != 0);
            QVERIFY(!seen[x]);
            seen[x] = true;
            ++period;
        } while (x != 0x5A);
        QCOMPARE(period, 255);
    }

    void cipherRoundTripsEveryLength()
    {
        for (uint16_t n = 1; n <= 54; ++n) {
            const auto data = payloadOf(n, static_cast<uint8_t>(n));
            uint8_t cipher[64];
            uint16_t m = sizeof cipher;
            QVERIFY(comp_tea_encrypt(kEncKey, data.data(), n, cipher, &m) == 1);
            QCOMPARE(m, comp_tea_calc_enc_len(n));
            uint8_t plain[64];
            uint16_t p = sizeof plain;
            QVERIFY(comp_tea_decrypt(kEncKey, cipher, m, plain, &p) == 1);
            QCOMPARE(p, n);
            QCOMPARE(std::vector<uint8_t>(plain, plain + p), data);
        }
    }

    void cipherFailuresTouchNothing()
    {
        const uint8_t data[54] = {1, 2, 3};
        uint8_t out[64];
        const auto untouched = [&out] {
            return std::all_of(out, out + sizeof out, [](uint8_t b) { return b == 0xEE; });
        };
        struct Case
        {
            const char* name;
            const uint8_t* key;
            const uint8_t* in;
            uint16_t n;
            bool outNull;
            bool lenNull;
            uint16_t capacity;
        };
        const Case cases[] = {
            {"null key", nullptr, data, 6, false, false, 64},
            {"null in", kEncKey, nullptr, 6, false, false, 64},
            {"null out", kEncKey, data, 6, true, false, 64},
            {"null outLength", kEncKey, data, 6, false, true, 64},
            {"length 0", kEncKey, data, 0, false, false, 64},
            {"length 55", kEncKey, data, 55, false, false, 64},
            {"capacity below m", kEncKey, data, 7, false, false, 15},
        };
        for (const Case& c : cases) {
            std::fill(out, out + sizeof out, 0xEE);
            uint16_t length = c.capacity;
            uint8_t state = 0x5A;
            QVERIFY2(protocol::teaEncryptWithFillerState(c.key, c.in, c.n, c.outNull ? nullptr : out,
                                                         c.lenNull ? nullptr : &length, state)
                         == 0,
                     c.name);
            QVERIFY2(untouched() && length == c.capacity && state == 0x5A, c.name);
            QVERIFY2(comp_tea_encrypt(c.key, c.in, c.n, c.outNull ? nullptr : out, c.lenNull ? nullptr : &length) == 0,
                     c.name);
            QVERIFY2(untouched() && length == c.capacity, c.name);
        }
        uint16_t exact = 16;
        QVERIFY(comp_tea_encrypt(kEncKey, data, 7, out, &exact) == 1);
        QCOMPARE(exact, uint16_t(16));
    }

    void decryptRefusesInconsistentBlocks_data()
    {
        QTest::addColumn<std::vector<uint8_t>>("block");
        QTest::addColumn<int>("capacity");
        // Plain blocks, enciphered before the call; the first two bytes are the embedded length.
        QTest::newRow("embedded length 0") << bytes("0000AA10060073A5") << 64;
        QTest::newRow("embedded length 55") << std::vector<uint8_t>{55, 0, 0, 0, 0, 0, 0, 0} << 64;
        QTest::newRow("length 1 in 16 bytes") << std::vector<uint8_t>(16, 0x01) << 64;
        QTest::newRow("length 7 in 8 bytes") << std::vector<uint8_t>{7, 0, 1, 2, 3, 4, 5, 6} << 64;
        QTest::newRow("capacity below n") << std::vector<uint8_t>{6, 0, 1, 2, 3, 4, 5, 6} << 5;
    }
    void decryptRefusesInconsistentBlocks()
    {
        QFETCH(std::vector<uint8_t>, block);
        QFETCH(int, capacity);
        std::vector<uint8_t> cipher = block;
        for (size_t i = 0; i < cipher.size(); i += 8)
            protocol::teaEncipherBlock(kEncKey, cipher.data() + i);
        uint8_t out[64] = {};
        uint16_t length = static_cast<uint16_t>(capacity);
        QCOMPARE(comp_tea_decrypt(kEncKey, cipher.data(), uint16_t(cipher.size()), out, &length), 0);
        QCOMPARE(length, uint16_t(capacity));
        QVERIFY(std::all_of(out, out + sizeof out, [](uint8_t b) { return b == 0; }));
    }
    void decryptRefusesBadCipherLengths()
    {
        uint8_t in[72] = {};
        uint8_t out[64];
        for (uint16_t n : {0, 1, 7, 9, 12, 63, 72}) {
            uint16_t length = 64;
            QVERIFY2(comp_tea_decrypt(kEncKey, in, n, out, &length) == 0, qPrintable(QString::number(n)));
        }
        uint16_t length = 64;
        QCOMPARE(comp_tea_decrypt(nullptr, in, 8, out, &length), 0);
        QCOMPARE(comp_tea_decrypt(kEncKey, nullptr, 8, out, &length), 0);
        QCOMPARE(comp_tea_decrypt(kEncKey, in, 8, nullptr, &length), 0);
        QCOMPARE(comp_tea_decrypt(kEncKey, in, 8, out, nullptr), 0);
    }

    // Every payload length: the report's layout, and decoding by the power bank's side.
    void requestRoundTripsEveryPayloadLength()
    {
        for (size_t length = 0; length <= 48; ++length) {
            const auto payload = payloadOf(length, 0x30);
            auto report = protocol::encodeFrame(0x31, 0x00, payload.data(), length);
            const QString row = QString("payload %1").arg(length);
            QVERIFY2(report->error.isEmpty() && report->data, qPrintable(row));
            const size_t m = blockLengthFor(length);
            QCOMPARE(report->size, m + 9);
            const uint8_t* r = report->data;
            QVERIFY2(r[0] == 0x00 && r[1] == 0xAA && r[2] == 0x55 && r[4] == m, qPrintable(row));
            QCOMPARE(uint16_t(r[5 + m] | (r[6 + m] << 8)), common::crc16(r + 3, 2 + m));
            QVERIFY2(r[7 + m] == 0x0D && r[8 + m] == 0x0A, qPrintable(row));
            for (size_t i = m + 9; i < protocol::kOutputReportCapacity; ++i)
                QCOMPARE(r[i], uint8_t(0));

            const auto expected = plainFrame(0x31, 0x00, payload);
            // Both as written (report id first) and as a device receives it (report id stripped).
            auto decoded = sim::decodeRequestFrame(r, report->size);
            QVERIFY2(decoded->error.isEmpty(), qPrintable(row + ": " + decoded->error));
            QCOMPARE(toVector(*decoded), expected);
            auto stripped = sim::decodeRequestFrame(r + 1, report->size - 1);
            QCOMPARE(toVector(*stripped), expected);
            // The host cannot read its own requests: they use the other key.
            QVERIFY(protocol::decodeFrame(r + 1, report->size - 1)->size == 0);
        }
    }

    void answerRoundTripsEveryPayloadLength()
    {
        for (size_t length = 0; length <= 48; ++length) {
            const auto payload = payloadOf(length, 0x91);
            auto report = sim::encodeAnswerFrame(0x20, 0x04, uint8_t(length), payload.data(), length);
            QCOMPARE(report->size, protocol::kInputReportLength);
            QCOMPARE(size_t(report->data[3]), blockLengthFor(length));
            auto frame = protocol::decodeFrame(report->data, report->size);
            QVERIFY2(frame->error.isEmpty(), qPrintable(frame->error));
            QCOMPARE(toVector(*frame), plainFrame(0x20, 0x04, payload));
            for (size_t i = frame->size; i < 64; ++i)
                QCOMPARE(frame->data[i], uint8_t(0));
        }
        std::vector<uint8_t> tooLong(49);
        auto refused = sim::encodeAnswerFrame(0x20, 0x04, 0, tooLong.data(), tooLong.size());
        QCOMPARE(refused->error, QString("Payload exceeds HID protocol maximum"));
    }

    void oversizedPayloadIsRefused()
    {
        std::vector<uint8_t> payload(49, 0x5C);
        // The length is refused before the payload is read, so the longer claims are safe here.
        for (size_t length : {size_t(49), size_t(64), size_t(1000)}) {
            auto frame = protocol::encodeFrame(0x11, 0x02, payload.data(), length);
            QCOMPARE(frame->error, QString("Payload exceeds HID protocol maximum"));
            QVERIFY(frame->data == nullptr);
            QCOMPARE(frame->size, size_t(0));
        }
        auto full = protocol::encodeFrame(0x11, 0x02, payload.data(), 48);
        QCOMPARE(full->size, size_t(65));
        QCOMPARE(full->data[4], uint8_t(56));
    }

    void decodeFailures_data()
    {
        QTest::addColumn<std::vector<uint8_t>>("report");
        QTest::addColumn<QString>("message");

        const auto good = [] {
            const auto payload = payloadOf(8, 3);
            auto f = sim::encodeAnswerFrame(0x10, 0x07, 9, payload.data(), payload.size());
            return toVector(*f);
        };
        const auto envelope = [](const std::vector<uint8_t>& plain) {
            auto f = sim::encodeAnswerEnvelope(4, plain.data(), plain.size());
            return toVector(*f);
        };

        const auto valid = good();
        QTest::newRow("too short (7)") << std::vector<uint8_t>(valid.begin(), valid.begin() + 7) << "Frame too short";
        QTest::newRow("too short (0)") << std::vector<uint8_t>() << "Frame too short";
        auto badHeader0 = good();
        badHeader0[0] = 0xAB;
        QTest::newRow("header byte 0") << badHeader0 << "Invalid frame header";
        auto badHeader1 = good();
        badHeader1[1] = 0x56;
        QTest::newRow("header byte 1") << badHeader1 << "Invalid frame header";
        auto overflow = good();
        overflow[3] = 59; // 59 + 6 > 64
        QTest::newRow("length byte beyond report") << overflow << "Frame overflowed";
        QTest::newRow("report cut inside the CRC")
            << std::vector<uint8_t>(valid.begin(), valid.begin() + 4 + valid[3] + 1) << "Frame overflowed";
        auto flipped = good();
        flipped[7] ^= 0x01;
        QTest::newRow("ciphertext bit") << flipped << "CRC mismatch";
        auto seqChanged = good();
        seqChanged[2] ^= 0x80;
        QTest::newRow("sequence byte under the CRC") << seqChanged << "CRC mismatch";

        QTest::newRow("cipher length 0") << envelopeAround({}) << "Decrypt HID data failure";
        QTest::newRow("cipher length 12")
            << envelopeAround(std::vector<uint8_t>(12, 0x44)) << "Decrypt HID data failure";
        QTest::newRow("cipher length 72")
            << envelopeAround(std::vector<uint8_t>(72, 0x44)) << "Decrypt HID data failure";
        QTest::newRow("embedded length too small for block")
            << envelopeAround(encipherBlocks({6, 0, 0xAA, 0x10, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}))
            << "Decrypt HID data failure";
        QTest::newRow("embedded length 0")
            << envelopeAround(encipherBlocks(std::vector<uint8_t>(8, 0))) << "Decrypt HID data failure";

        QTest::newRow("plaintext of 5") << envelope({0xAA, 0x10, 0x07, 0x00, 0x00}) << "Protocol frame to short";
        QTest::newRow("plaintext of 1") << envelope({0xAA}) << "Protocol frame to short";
        auto notAa = plainFrame(0x10, 0x07, {1, 2});
        notAa[0] = 0xAB;
        QTest::newRow("protocol header with matching CRCs") << envelope(notAa) << "Invalid protocol header";
        auto longL = plainFrame(0x10, 0x07, std::vector<uint8_t>(48, 7));
        longL[3] = 49;
        QTest::newRow("payload length 49") << envelope(longL) << "Payload exceeds HID protocol maximum";
        auto shortP = plainFrame(0x10, 0x07, std::vector<uint8_t>(10, 7));
        shortP.resize(15); // L = 10 needs 16 bytes
        QTest::newRow("payload beyond plaintext") << envelope(shortP) << "Protocol frame overflowed";
        auto badCrc = plainFrame(0x10, 0x07, {1, 2, 3});
        badCrc.back() ^= 0x10;
        QTest::newRow("inner CRC") << envelope(badCrc) << "CRC protocol mismatch";
        auto payloadChanged = plainFrame(0x10, 0x07, {1, 2, 3});
        payloadChanged[5] = 9;
        QTest::newRow("payload byte under inner CRC") << envelope(payloadChanged) << "CRC protocol mismatch";
    }
    void decodeFailures()
    {
        QFETCH(std::vector<uint8_t>, report);
        QFETCH(QString, message);
        QVERIFY(codec_test::decodeMessages().contains(message));
        // Exactly sized heap copy, so a read past the end is caught under the address sanitizer.
        auto exact = std::make_unique<uint8_t[]>(report.size() + (report.empty() ? 1 : 0));
        std::copy(report.begin(), report.end(), exact.get());
        auto frame = protocol::decodeFrame(exact.get(), report.size());
        QCOMPARE(frame->error, message);
        QVERIFY(frame->data == nullptr);
        QCOMPARE(frame->size, size_t(0));
    }
    void decodeNullData()
    {
        auto frame = protocol::decodeFrame(nullptr, 64);
        QCOMPARE(frame->error, QString("Frame data is null"));
        QVERIFY(frame->data == nullptr && frame->size == 0);
        QCOMPARE(sim::decodeRequestFrame(nullptr, 65)->error, QString("Frame data is null"));
    }

    void decodeIgnoresSequenceTrailerAndExtraPlaintext()
    {
        // A 14-byte frame fills its block exactly, so two encodings differ only where asked.
        const auto payload = payloadOf(8, 0x61);
        auto a = sim::encodeAnswerFrame(0x12, 0x01, 1, payload.data(), payload.size());
        auto b = sim::encodeAnswerFrame(0x12, 0x01, 200, payload.data(), payload.size());
        auto bytesB = toVector(*b);
        for (size_t i = 6 + bytesB[3]; i < bytesB.size(); ++i)
            bytesB[i] = static_cast<uint8_t>(0xC3 ^ i);
        const auto fa = protocol::decodeFrame(a->data, a->size);
        const auto fb = protocol::decodeFrame(bytesB.data(), bytesB.size());
        QVERIFY(fa->error.isEmpty() && fb->error.isEmpty());
        QCOMPARE(toVector(*fa), toVector(*fb));

        // A report that ends right after its CRC (no trailer) is complete.
        std::vector<uint8_t> bare(bytesB.begin(), bytesB.begin() + 6 + bytesB[3]);
        QCOMPARE(toVector(*protocol::decodeFrame(bare.data(), bare.size())), toVector(*fa));

        // Deciphered bytes beyond L + 6 are kept inside the size.
        auto plain = plainFrame(0x30, 0x00, {5, 6});
        plain.insert(plain.end(), {0xDE, 0xAD, 0xBE});
        auto extra = sim::encodeAnswerEnvelope(0, plain.data(), plain.size());
        auto frame = protocol::decodeFrame(extra->data, extra->size);
        QVERIFY(frame->error.isEmpty());
        QCOMPARE(toVector(*frame), plain);
    }

    void sequenceNumbersAreUniqueAcrossThreads()
    {
        // Empty payloads need no filler, so the threads share only the atomic counter and the logger.
        constexpr int kThreads = 4;
        std::array<std::array<int, 256>, kThreads> counts{};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&counts, t] {
                for (int i = 0; i < 256; ++i) {
                    auto report = protocol::encodeFrame(0x20, 0x01, nullptr, 0);
                    ++counts[t][report->data[3]];
                }
            });
        }
        for (auto& thread : threads)
            thread.join();
        for (int seq = 0; seq < 256; ++seq) {
            int total = 0;
            for (int t = 0; t < kThreads; ++t)
                total += counts[t][seq];
            QVERIFY2(total == kThreads, qPrintable(QString("sequence %1 taken %2 times").arg(seq).arg(total)));
        }
    }
};

QTEST_GUILESS_MAIN(TstFrameCodec)
#include "tst_frame_codec.moc"
