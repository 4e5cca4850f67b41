// libFuzzer target for decodeFrame and decodeRequestFrame. Built with clang++ as a project of its
// own (tests/protocol/fuzz); the suite runs a bounded pass of it, and a longer hunt is
//   build/tests/protocol/fuzz/fuzz_decode_frame -max_total_time=600 CORPUS_DIR
//
// The first input byte chooses how the rest becomes a report, so the fuzzer gets past the outer
// CRC and the cipher instead of spending every run on the first checks:
//   0  the bytes as they are
//   1  the bytes with the envelope header and outer CRC made right
//   2  the bytes as cipher text inside a correct envelope
//   3  the bytes as plaintext, enciphered by the power bank's side
//   4  the same with the plaintext header and inner CRC made right: a consistent frame must
//      decode to exactly these bytes
#include "codec_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace tessaravolt;

[[noreturn]] void fail(const char* what, const QString& detail = {})
{
    std::fprintf(stderr, "fuzz_decode_frame: %s %s\n", what, qPrintable(detail));
    std::abort();
}

// Decodes from an exactly sized heap copy, so a read past the end is an address-sanitizer report.
std::unique_ptr<protocol::Frame> decodeExact(const std::vector<uint8_t>& report, bool asRequest)
{
    auto exact = std::make_unique<uint8_t[]>(report.empty() ? 1 : report.size());
    std::copy(report.begin(), report.end(), exact.get());
    auto frame = asRequest ? sim::decodeRequestFrame(exact.get(), report.size())
                           : protocol::decodeFrame(exact.get(), report.size());
    const QString broken = codec_test::checkDecodeResult(*frame);
    if (!broken.isEmpty())
        fail(asRequest ? "request:" : "answer:", broken);
    return frame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0] % 5;
    const std::vector<uint8_t> rest(data + 1, data + size);
    std::vector<uint8_t> report;
    std::vector<uint8_t> expected;

    switch (mode) {
    case 0:
        report = rest;
        break;
    case 1:
        report = rest;
        if (report.size() >= 4) {
            report[0] = 0xAA;
            report[1] = 0x55;
            const size_t m = report[3];
            if (report.size() >= m + 6)
                codec_test::storeLe16(report.data() + 4 + m, common::crc16(report.data() + 2, 2 + m));
        }
        break;
    case 2: {
        // The envelope's length byte holds at most 255; the sequence byte comes from the input too.
        const size_t n = std::min<size_t>(rest.size(), 256);
        if (n == 0)
            return 0;
        report = codec_test::envelopeAround(std::vector<uint8_t>(rest.begin() + 1, rest.begin() + n), rest[0]);
        break;
    }
    case 3:
    case 4: {
        std::vector<uint8_t> plain(rest.begin(), rest.begin() + std::min<size_t>(rest.size(), 54));
        if (plain.empty())
            return 0;
        if (mode == 4 && plain.size() >= 6) {
            plain[0] = 0xAA;
            plain[3] = static_cast<uint8_t>(plain[3] % 49);
            const size_t l = plain[3];
            if (plain.size() >= l + 6) {
                codec_test::storeLe16(plain.data() + 4 + l, common::crc16(plain.data() + 1, 3 + l));
                expected = plain;
            }
        }
        auto enveloped = sim::encodeAnswerEnvelope(0, plain.data(), plain.size());
        if (!enveloped->size)
            fail("the power bank's side refused a plaintext of", QString::number(plain.size()));
        report = codec_test::toVector(*enveloped);
        break;
    }
    }

    const auto answer = decodeExact(report, false);
    if (!expected.empty() && codec_test::toVector(*answer) != expected)
        fail("a consistent frame did not decode to itself:", answer->error);
    decodeExact(report, true);
    return 0;
}
