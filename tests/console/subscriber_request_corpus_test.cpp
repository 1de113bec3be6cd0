// The subscriber service's fuzz entry point over extreme numbers for every request and over random
// step sequences, so every build drives the service the way the fuzzer does.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "camera_records/subscriber_protocol.h"
#include "fuzz/subscriber_request_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace kestrom::fuzz {
namespace {

namespace sp = subscriber_protocol;
using Bytes = std::vector<std::uint8_t>;


void step(Bytes& bytes, std::uint8_t op, std::int64_t wParam, std::int64_t lParam) {
    bytes.push_back(op);
    for (std::int64_t v : {wParam, lParam})
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i)));
}
std::uint8_t request(std::uint32_t message) { return static_cast<std::uint8_t>(message - sp::kFrameBlockHandle); }

class SubscriberRequestCorpus : public ::testing::Test {
  protected:
    void TearDown() override { endRequestConsole(); }
    void run(const Bytes& bytes, const std::string& what) {
        ASSERT_EQ(subscriberRequestFault(bytes.data(), bytes.size()), "") << what;
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
};

TEST_F(SubscriberRequestCorpus, EveryRequestWithExtremeNumbersKeepsTheRules) {
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    const std::int64_t numbers[] = {kMin, kMin + 1, -2, -1, 0, 1, 4, 5, 10, 11, 0x7fffffff, 0x80000000, kMax};
    for (std::uint32_t message = sp::kFrameBlockHandle; message <= sp::kGainFactor; ++message) {
        Bytes bytes;
        step(bytes, request(sp::kConnect), 0x10001, 0);
        for (std::int64_t w : numbers)
            for (std::int64_t l : numbers) step(bytes, request(message), w, l);
        step(bytes, kEvents, 0, 0);
        run(bytes, "request " + std::to_string(message));
    }
}

TEST_F(SubscriberRequestCorpus, CamerasComingAndGoingUnderRequestsKeepTheRules) {
    Bytes bytes;
    step(bytes, request(sp::kFindSerial), 0x10001, 7001);
    step(bytes, request(sp::kConnect), 0x10001, 0);
    step(bytes, kFrame, 1, 0);
    step(bytes, kEvents, 0, 0);
    step(bytes, kDetach, 1, 0);
    step(bytes, kEvents, 0, 0);
    step(bytes, request(sp::kStart), 0x10001, 2);
    step(bytes, request(sp::kFrameBlockHandle), 1, 0);
    step(bytes, kAttach, 1, 0);
    step(bytes, kEvents, 0, 0);
    step(bytes, request(sp::kFindSerial), 0x10001, 7001);
    step(bytes, kCommandText, 0x2f2f2f2f2f2f2f2f, 0x2f2f2f2f2f2f2f2f);   // "////////////////", unterminated
    step(bytes, request(sp::kLoadSetup), 0x10001, 1);
    step(bytes, kDetach, 0, 0);
    step(bytes, kDetach, 1, 0);
    step(bytes, request(sp::kCalibrate), 0x10001, 1);
    step(bytes, request(sp::kGainFactor), 0x10001, -1);
    step(bytes, kEvents, 0, 0);
    step(bytes, kAttach, 0, 0);
    step(bytes, kAttach, 1, 0);
    step(bytes, kEvents, 0, 0);
    run(bytes, "cameras coming and going");
}

TEST_F(SubscriberRequestCorpus, RandomStepSequencesKeepTheRules) {
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 150; ++i) {
        Bytes bytes(random() % (17 * 40 + 16));
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        // Small numbers reach the slots and windows that exist; raw ones their edges.
        for (std::size_t at = 0; at + 17 <= bytes.size(); at += 17)
            if (random() % 2)
                for (std::size_t k = at + 2; k < at + 17; ++k)
                    if (k != at + 9) bytes[k] = 0;
        run(bytes, "sequence " + std::to_string(i));
    }
}

}  // namespace
}  // namespace kestrom::fuzz
