// SPDX-License-Identifier: MIT
// DecryptByte on arbitrary bytes with an arbitrary key, and on real frames
// that the input then damages. Compared with the one-block reference: same
// bytes, same Progress events, with or without a listener.
#include <fuzzer/FuzzedDataProvider.h>

#include <stdexcept>

#include "tests/fuzz/Reference.h"

using reference::Bytes;

namespace {

std::vector<std::int32_t> DecryptHeard(clsBlowfish& c, Bytes& data, bool throwing) {
    std::vector<std::int32_t> events;
    c.OnProgress([&](std::int32_t p) {
        events.push_back(p);
        if (throwing) throw std::runtime_error("listener fault");
    });
    c.DecryptByte(data);
    c.OnProgress(nullptr);
    return events;
}

enum Listener : std::uint8_t { kNone, kListening, kThrowing };

void CheckDecrypt(clsBlowfish& c, const Bytes& cipher, Listener listener) {
    const Bytes expected = reference::DecryptByte(c, cipher);
    Bytes quiet = cipher;
    c.DecryptByte(quiet);
    FUZZ_CHECK(quiet == expected);
    if (listener != kNone) {
        Bytes heard = cipher;
        const auto events = DecryptHeard(c, heard, listener == kThrowing);
        FUZZ_CHECK(heard == expected);
        FUZZ_CHECK(events == reference::ProgressEvents(cipher.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string key = in.ConsumeRandomLengthString(80);
    const bool frame = in.ConsumeBool();
    const auto listener = static_cast<Listener>(in.ConsumeIntegralInRange<int>(kNone, kThrowing));
    clsBlowfish c;
    if (!key.empty()) c.Key(key);

    if (!frame) {
        // Whatever the bytes, with the key given as the argument this time.
        const Bytes cipher = in.ConsumeRemainingBytes<std::uint8_t>();
        Bytes direct = cipher;
        clsBlowfish fresh;
        fresh.DecryptByte(direct, key);
        FUZZ_CHECK(direct == reference::DecryptByte(c, cipher));
        CheckDecrypt(c, cipher, listener);
        return 0;
    }

    // A real frame, checked against the layout, then damaged at will.
    const std::size_t damage = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    const std::size_t where = in.ConsumeIntegral<std::uint16_t>();
    const std::uint8_t what = in.ConsumeIntegral<std::uint8_t>();
    const Bytes plain = in.ConsumeRemainingBytes<std::uint8_t>();
    Bytes cipher = plain;
    std::vector<std::int32_t> events;
    if (listener != kNone) c.OnProgress([&](std::int32_t p) { events.push_back(p); });
    c.EncryptByte(cipher);
    c.OnProgress(nullptr);
    const std::size_t T = (plain.size() + 12 + 7) / 8 * 8;
    FUZZ_CHECK(cipher.size() == T);
    if (listener != kNone) FUZZ_CHECK(events == reference::ProgressEvents(T));
    const Bytes frameBytes = testutil::PlainCbcDecrypt(c, cipher);
    FUZZ_CHECK(reference::LittleEndian(frameBytes, 0) <= 0x7FFFFFFFu);
    FUZZ_CHECK(reference::LittleEndian(frameBytes, 4) <= 0x7FFFFFFFu);
    FUZZ_CHECK(reference::LittleEndian(frameBytes, 8) == plain.size());
    FUZZ_CHECK(Bytes(frameBytes.begin() + 12, frameBytes.begin() + 12 + static_cast<long>(plain.size())) == plain);
    for (std::size_t i = 12 + plain.size(); i < T; ++i) FUZZ_CHECK(frameBytes[i] == 0);
    FUZZ_CHECK(testutil::PlainCbcEncrypt(c, frameBytes) == cipher);

    switch (damage) {
        case 1:  // one byte changed
            cipher[where % cipher.size()] ^= static_cast<std::uint8_t>(what | 1);
            break;
        case 2:  // cut short
            cipher.resize(where % cipher.size());
            break;
        case 3:  // grown
            cipher.resize(cipher.size() + 1 + what % 24, what);
            break;
        default:
            break;
    }
    CheckDecrypt(c, cipher, listener);
    if (damage == 0) {
        Bytes back = cipher;
        c.DecryptByte(back);
        FUZZ_CHECK(back == plain);
    }
    return 0;
}
