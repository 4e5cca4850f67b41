// Bounded randomised decoding: random and mutated input reports must never crash or break the
// result's invariants. Deterministic seed; the fuzz target explores further.
#include "codec_test_support.h"

#include <QtTest>

#include <random>

using namespace tessaravolt;
using namespace codec_test;

namespace {

constexpr int kRounds = 200000;

} // namespace

class TstFrameCodecRandom : public QObject
{
    Q_OBJECT

private slots:
    void randomAndMutatedReportsDecodeSafely()
    {
        std::mt19937 rng(0x7E55A);
        auto byte = [&rng] { return static_cast<uint8_t>(rng()); };
        auto below = [&rng](size_t n) { return n == 0 ? size_t(0) : size_t(rng() % n); };
        int successes = 0;
        QHash<QString, int> seen;

        for (int round = 0; round < kRounds; ++round) {
            std::vector<uint8_t> report;
            switch (round % 4) {
            case 0: { // noise, sometimes with a valid header
                report.resize(below(80));
                for (auto& b : report)
                    b = byte();
                if (report.size() >= 2 && (rng() & 1)) {
                    report[0] = 0xAA;
                    report[1] = 0x55;
                }
                break;
            }
            case 1: { // a valid answer with bytes flipped and the length byte or size changed
                std::vector<uint8_t> payload(below(49));
                for (auto& b : payload)
                    b = byte();
                report = toVector(*sim::encodeAnswerFrame(byte(), byte(), byte(), payload.data(), payload.size()));
                for (size_t n = below(4); n > 0; --n)
                    report[below(report.size())] ^= static_cast<uint8_t>(1u << below(8));
                if (rng() % 8 == 0)
                    report[3] = byte();
                report.resize(below(72));
                break;
            }
            case 2: { // random cipher text under a correct outer CRC: reaches the decipher step
                std::vector<uint8_t> cipher(rng() % 3 == 0 ? below(80) : 8 * (1 + below(8)));
                for (auto& b : cipher)
                    b = byte();
                report = envelopeAround(cipher, byte());
                report.resize(report.size() - below(3));
                break;
            }
            default: { // mutated plaintext, properly enciphered: reaches the inner checks
                std::vector<uint8_t> payload(below(49));
                for (auto& b : payload)
                    b = byte();
                auto plain = plainFrame(byte(), byte(), payload);
                switch (below(4)) {
                case 0:
                    plain[below(plain.size())] = byte();
                    break;
                case 1:
                    plain[3] = byte();
                    break;
                case 2:
                    plain.resize(1 + below(plain.size()));
                    break;
                default:
                    plain.push_back(byte());
                    break;
                }
                if (plain.size() > 54)
                    plain.resize(54);
                report = toVector(*sim::encodeAnswerEnvelope(byte(), plain.data(), plain.size()));
                break;
            }
            }

            // Exactly sized heap copy: reading one byte too far is an address-sanitizer error.
            auto exact = std::make_unique<uint8_t[]>(std::max<size_t>(report.size(), 1));
            std::copy(report.begin(), report.end(), exact.get());
            const auto frame = protocol::decodeFrame(exact.get(), report.size());
            const QString broken = checkDecodeResult(*frame);
            QVERIFY2(broken.isEmpty(), qPrintable(QString("round %1: %2").arg(round).arg(broken)));
            if (frame->error.isEmpty())
                ++successes;
            ++seen[frame->error];

            const auto request = sim::decodeRequestFrame(exact.get(), report.size());
            QVERIFY2(checkDecodeResult(*request).isEmpty(), qPrintable(QString("round %1 (request)").arg(round)));
        }
        // The mix must reach every check, or the rounds prove little.
        for (const QString& message : decodeMessages())
            if (message != "Frame data is null")
                QVERIFY2(seen.value(message) > 0, qPrintable("never reached: " + message));
        QVERIFY(successes > 0);
    }
};

QTEST_GUILESS_MAIN(TstFrameCodecRandom)
#include "tst_frame_codec_random.moc"
