#include "SimRig.h"
#include "link/RS232.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

const std::string missingPort = "/dev/vtc880-no-such-port";

TEST(Command, BusyPortSaysAnotherProgramHoldsIt) {
    SimRig rig;
    RS232 holder(rig.device.portPath(), Speed::update);
    ASSERT_FALSE(holder.error);

    rig.command.connect();

    ASSERT_EQ(rig.sinks.messages().size(), 1u);
    EXPECT_EQ(rig.sinks.messages().at(0).caption, "Error: connect");
    EXPECT_THAT(rig.sinks.messages().at(0).detail, HasSubstr("busy"));
}

// Two workers never share the port, whichever starter is used.
TEST(Command, NoSecondWorkerWhileOneRuns) {
    SimRig rig;
    rig.command.connect(); // a connect run takes its settling pause: still running below

    rig.command.download();
    rig.command.verify();
    rig.command.eraseAll();
    rig.command.connectAndDownload();
    EXPECT_FALSE(rig.command.changeBaudRate()) << "the speed switch would take the worker's port";
    EXPECT_TRUE(rig.command.busy());
    rig.finish();

    EXPECT_THAT(rig.device.frameCodes(), ElementsAre(Code::Handshake));
    EXPECT_THAT(rig.sinks.of("status"), ElementsAre("Connecting to VTC880 ...", "VTC880 Connected"));
    EXPECT_TRUE(rig.sinks.of("box").empty());
    EXPECT_EQ(rig.command.baudRate(), Speed::update);
}

// connect() leaves its link open; the next starter closes it and opens its own.
TEST(Command, ConnectThenDownload) {
    SimRig rig;
    rig.command.connect();
    rig.finish();
    rig.command.download();
    rig.finish();
    ASSERT_TRUE(eventually([&] { return rig.device.finished(); }));

    EXPECT_THAT(rig.device.frameCodes(),
                ElementsAre(Code::Handshake, Code::Handshake, Code::EraseTimeQuery, Code::EraseAll,
                            Code::Handshake, Code::ProgramChunk, Code::ProgramChunk, Code::ProgramChunk,
                            Code::ProgramChunk, Code::ProgramChunk, Code::Finish));
    EXPECT_TRUE(rig.holds(SimRig::standardImage()));
    EXPECT_TRUE(rig.sinks.of("box").empty()) << "download() alone shows no success box";
    EXPECT_EQ(rig.sinks.of("status").back(), "Firmware updated");
    EXPECT_TRUE(rig.portFree());
}

TEST(Command, EraseAllUsesAnOpenLinkOrOpensOne) {
    SimRig rig;
    rig.command.connect();
    rig.finish();
    rig.command.eraseAll(); // on the link connect() left open
    rig.finish();
    EXPECT_EQ(rig.sinks.of("status").back(), "Firmware erased");
    EXPECT_FALSE(rig.portFree()) << "an erase started on its own leaves the link open";

    rig.command.verify(); // ends by destroying the link
    rig.finish();
    ASSERT_TRUE(rig.portFree());
    rig.command.eraseAll();
    rig.finish();

    EXPECT_EQ(rig.sinks.of("status").back(), "Firmware erased");
    EXPECT_TRUE(rig.sinks.of("box").empty());
    EXPECT_EQ(rig.frames(Code::EraseAll).size(), 2u);
}

struct VerifyRow {
    const char* name;
    std::int64_t corruptByte; // index into the first block, or -1
    const char* status;
    std::size_t verifyFrames;
};
void PrintTo(const VerifyRow& row, std::ostream* os) {
    *os << row.name;
}

class VerifyOnDevice : public testing::TestWithParam<VerifyRow> {};

TEST_P(VerifyOnDevice, ComparesTheDeviceWithTheImage) {
    const VerifyRow& row = GetParam();
    static const FileCopy image = makeImage({{250, 0x100}, {51, 0x200}});
    SimRig rig(deviceAtUpdateSpeed(), nullptr, image);
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        std::vector<std::uint8_t> bytes(block.data.get(), block.data.get() + block.size);
        if (b == 0 && row.corruptByte >= 0) {
            bytes[std::size_t(row.corruptByte)] ^= 0x5A;
        }
        rig.device.setMemory(block.address, bytes);
    }

    rig.command.connect(); // puts the device in update mode
    rig.finish();
    rig.command.verify();
    rig.finish();

    EXPECT_EQ(rig.sinks.of("status").back(), row.status);
    EXPECT_EQ(rig.frames(Code::VerifyChunk).size(), row.verifyFrames);
    EXPECT_TRUE(rig.sinks.of("box").empty());
    EXPECT_TRUE(rig.sinks.of("title").empty());
    EXPECT_TRUE(rig.portFree());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VerifyOnDevice,
    testing::Values(VerifyRow{"allEqual", -1, "Verification passed", 4},
                    VerifyRow{"differenceInSecondChunkOfFirstBlock", 150, "Verification failed", 2}),
    [](const testing::TestParamInfo<VerifyRow>& info) { return std::string(info.param.name); });

} // namespace
