#include "../control/TempImage.h"
#include "HostileDevice.h"
#include "JobRig.h"
#include "vtc880/DeviceCodes.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

// How long the flood from the first byte lasts: a few seconds by default, a minute or more on request.
std::chrono::seconds floodDuration() {
    const char* seconds = std::getenv("VTC880_HOSTILE_SECONDS");
    const int n = seconds ? std::atoi(seconds) : 0;
    return std::chrono::seconds(n > 0 ? n : 3);
}

void expectEndedAndFreed(const JobRun& run, const std::string& port, std::size_t heldByDevice) {
    EXPECT_LT(run.took, std::chrono::seconds(60)) << "a generous bound";
    EXPECT_NE(run.result.outcome, Outcome::succeeded);
    EXPECT_EQ(descriptorsOn(port), heldByDevice);
    EXPECT_TRUE(reopens(port));
}

// Random bytes at full speed from before the first command: every operation, one after the other on
// the same line for the whole flood, ends with "no answer" and leaves the port free.
TEST(HostileLine, FloodFromTheFirstByte) {
    HostileDevice device;
    std::string error;
    ASSERT_TRUE(device.start(error)) << error;
    TempImage file(testImage());
    const std::size_t held = descriptorsOn(device.portPath());
    const auto end = std::chrono::steady_clock::now() + floodDuration();
    int jobs = 0;
    do {
        const Operation operation = jobs % 3 == 0   ? Operation::update
                                    : jobs % 3 == 1 ? Operation::verify
                                                    : Operation::erase;
        JobRun run;
        runOn(run, operation, false, device.portPath(), file.path());
        SCOPED_TRACE("job " + std::to_string(jobs));
        expectEndedAndFreed(run, device.portPath(), held);
        EXPECT_EQ(run.result.outcome, Outcome::noAnswer);
        EXPECT_EQ(run.sinks.of("status").back(), "VTC880 Disconnected !");
        ++jobs;
    } while (std::chrono::steady_clock::now() < end && !testing::Test::HasFailure());
    EXPECT_GT(device.bytesSent(), 100'000u) << "the flood ran";
}

struct TurnCase {
    const char* name;
    std::uint16_t turnAt;
    Operation operation;
    bool verify;
    Outcome outcome;
};

void PrintTo(const TurnCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileTurn : public testing::TestWithParam<TurnCase> {};

// A device that answers well and then floods the line in the middle of a wait: the wait ends within
// its bound with the failure of that step, and no Finish follows.
TEST_P(HostileTurn, TheWaitEndsWithItsFailure) {
    const TurnCase& c = GetParam();
    HostileDevice device(c.turnAt);
    std::string error;
    ASSERT_TRUE(device.start(error)) << error;
    TempImage file(testImage());
    const std::size_t held = descriptorsOn(device.portPath());

    JobRun run;
    runOn(run, c.operation, c.verify, device.portPath(), file.path());

    EXPECT_TRUE(device.flooding());
    EXPECT_EQ(run.result.outcome, c.outcome);
    expectEndedAndFreed(run, device.portPath(), held);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileTurn,
    testing::Values(
        TurnCase{"atEraseTimeQuery", Code::EraseTimeQuery, Operation::erase, false, Outcome::noAnswer},
        TurnCase{"atEraseAll", Code::EraseAll, Operation::update, false, Outcome::eraseFailed},
        TurnCase{"atChunk", Code::ProgramChunk, Operation::update, false, Outcome::programmingFailed},
        TurnCase{"atVerifyAfterProgramming", Code::VerifyChunk, Operation::update, true,
                 Outcome::verifyFailed},
        TurnCase{"atVerify", Code::VerifyChunk, Operation::verify, false, Outcome::verifyFailed}),
    [](const testing::TestParamInfo<TurnCase>& info) { return std::string(info.param.name); });

} // namespace
