#include "control/Verify.h"

#include "Rig.h"
#include "vtc880/DeviceCodes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::ElementsAre;

// A device whose memory already holds `image`.
void load(FakeDevice& device, const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        for (std::uint32_t k = 0; k < image.blocks[b].size; ++k) {
            device.memory[image.blocks[b].address * 2 + k] = image.blocks[b].data[k];
        }
    }
}

std::vector<std::uint32_t> verifiedAddresses(const FakeLink& link) {
    std::vector<std::uint32_t> addresses;
    for (const SentFrame& f : link.sent) {
        if (f.code == Code::VerifyChunk) {
            addresses.push_back(f.chunkAddress());
        }
    }
    return addresses;
}

TEST(Verify, AllEqualComparesEveryBlock) {
    Rig rig;
    const FileCopy image = makeImage({{250, 0x100}, {3, 0x500}});
    load(rig.device, image);

    EXPECT_EQ(verifyImage(rig.session, image), VerifyResult::passed);

    EXPECT_THAT(rig.link.events,
                ElementsAre("purge", "send:4454", "send:5646", "send:5646", "send:5646", "send:5646"));
    EXPECT_THAT(verifiedAddresses(rig.link), ElementsAre(0x100, 0x132, 0x164, 0x500));
    EXPECT_THAT(rig.sinks.all(),
                ElementsAre("status:Connecting to VTC880 ...",                          //
                            "status:Verifying 0ko / 0ko", "show", "max:250", "value:0", //
                            "status:Verifying 0ko / 0ko", "value:100", "repaint",       //
                            "status:Verifying 0ko / 0ko", "value:200", "repaint",       //
                            "status:Verifying 0ko / 0ko", "value:250", "repaint",       //
                            "status:Verification passed",                               //
                            "status:Verifying 0ko / 0ko", "show", "max:3", "value:0",   //
                            "status:Verifying 0ko / 0ko", "value:3", "repaint",
                            "status:Verification passed"));
    EXPECT_EQ(rig.clock.sleptMs, 4) << "1 ms after each chunk";
}

TEST(Verify, DifferenceInTheSecondChunkStopsVerifying) {
    Rig rig;
    const FileCopy image = makeImage({{250, 0x100}, {3, 0x500}});
    load(rig.device, image);
    rig.device.memory[0x100 * 2 + 150] ^= 0xFF;

    EXPECT_EQ(verifyImage(rig.session, image), VerifyResult::differs);

    EXPECT_THAT(verifiedAddresses(rig.link), ElementsAre(0x100, 0x132));
    EXPECT_EQ(rig.sinks.of("status").back(), "Verification failed");
    EXPECT_TRUE(rig.sinks.messages().empty());
    EXPECT_TRUE(rig.sinks.of("title").empty());
}

struct VerifyWaitCase {
    const char* name;
    int silentPolls; // before the reply to the first block's last chunk (each costs 1 ms)
    VerifyResult result;
    std::size_t chunks;
};

void PrintTo(const VerifyWaitCase& c, std::ostream* os) {
    *os << c.name;
}

class VerifyWait : public testing::TestWithParam<VerifyWaitCase> {};

// A chunk's reply may take as long as the line needs (a 100-byte request alone takes about 10 ms at
// 115200), up to three seconds as when programming; and "Verification passed" means the whole image
// was compared: the next blocks are still verified after a slow reply.
TEST_P(VerifyWait, ThreeSecondsPerChunk) {
    const VerifyWaitCase& c = GetParam();
    Rig rig;
    const FileCopy image = makeImage({{150, 0x100}, {3, 0x500}});
    load(rig.device, image);
    rig.device.script = [&](const SentFrame& f, int nth) -> std::optional<std::vector<Poll>> {
        if (f.code == Code::VerifyChunk && nth == 1) {
            return after(c.silentPolls, reply(Reply::Ack));
        }
        return std::nullopt;
    };

    EXPECT_EQ(verifyImage(rig.session, image), c.result);

    EXPECT_EQ(verifiedAddresses(rig.link).size(), c.chunks);
    EXPECT_EQ(rig.sinks.of("status").back(),
              c.result == VerifyResult::passed ? "Verification passed" : "Verification failed");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerifyWait,
    testing::Values(VerifyWaitCase{"replyOnTenthPoll", 9, VerifyResult::passed, 3},
                    VerifyWaitCase{"replyAfterFortyMilliseconds", 40, VerifyResult::passed, 3},
                    VerifyWaitCase{"noReplyWithinThreeSeconds", 3100, VerifyResult::differs, 2}),
    [](const testing::TestParamInfo<VerifyWaitCase>& info) { return std::string(info.param.name); });

TEST(Verify, SilentDeviceTimesOutAtTheHandshake) {
    Rig rig;
    rig.device.script = [](const SentFrame&, int) { return std::optional(std::vector<Poll>{}); };
    const FileCopy image = makeImage({{3, 0x500}});

    EXPECT_EQ(verifyImage(rig.session, image), VerifyResult::handshakeFailed);

    EXPECT_THAT(rig.sinks.all(),
                ElementsAre("status:Connecting to VTC880 ...", "status:Communication time out !"));
    EXPECT_EQ(rig.link.count(Code::VerifyChunk), 0);
}

TEST(Verify, NoBlocksSendsNothingAfterTheHandshake) {
    Rig rig;
    EXPECT_EQ(verifyImage(rig.session, FileCopy{}), VerifyResult::passed);
    EXPECT_THAT(rig.link.codes(), ElementsAre(Code::Handshake));
    EXPECT_THAT(rig.sinks.all(), ElementsAre("status:Connecting to VTC880 ..."));
}

} // namespace
