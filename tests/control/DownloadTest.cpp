#include "control/Download.h"

#include "Rig.h"
#include "vtc880/DeviceCodes.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

struct Chunk {
    std::uint32_t address;
    std::uint32_t count;
    bool operator==(const Chunk&) const = default;
};

std::vector<Chunk> chunksOf(const FakeLink& link, std::uint16_t code) {
    std::vector<Chunk> chunks;
    for (const SentFrame& f : link.sent) {
        if (f.code == code) {
            EXPECT_EQ(f.data.size(), 8 + f.chunkCount());
            chunks.push_back({f.chunkAddress(), f.chunkCount()});
        }
    }
    return chunks;
}

// The device memory an image should produce, by byte address.
std::map<std::uint32_t, std::uint8_t> memoryOf(const FileCopy& image) {
    std::map<std::uint32_t, std::uint8_t> memory;
    for (int b = 0; b < image.count; ++b) {
        for (std::uint32_t k = 0; k < image.blocks[b].size; ++k) {
            memory[image.blocks[b].address * 2 + k] = image.blocks[b].data[k];
        }
    }
    return memory;
}

std::optional<std::vector<Poll>> answerTo(const SentFrame& f, std::uint16_t code, std::vector<Poll> polls) {
    if (f.code == code) {
        return polls;
    }
    return std::nullopt;
}

TEST(Download, SendsEveryBlockInChunksThenFinish) {
    Rig rig;
    const FileCopy image = makeImage({{4, 0x50002}, {250, 0x100}, {51, 0x200}});

    EXPECT_EQ(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_THAT(rig.link.events,
                ElementsAre("purge", "send:4454", "send:5446", "send:4146", "purge", "send:4454", "send:5046",
                            "send:5046", "send:5046", "send:5046", "send:5046", "send:4546"));
    // The odd block ends with an odd chunk and starts at its own address, not the running one.
    EXPECT_THAT(chunksOf(rig.link, Code::ProgramChunk),
                ElementsAre(Chunk{0x50002, 4}, Chunk{0x100, 100}, Chunk{0x132, 100}, Chunk{0x164, 50},
                            Chunk{0x200, 51}));
    EXPECT_THAT(rig.link.sent.back().data, ElementsAre(0x03));
    EXPECT_EQ(rig.device.memory, memoryOf(image));
}

TEST(Download, ReportsEveryChunkInStatusTitleAndProgress) {
    Rig rig;
    const FileCopy image = makeImage({{4, 0x50002}, {250, 0x100}});

    EXPECT_EQ(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_THAT(
        callsAfter(rig.sinks, "status:Firmware erased"),
        ElementsAre("max:254", "value:0",                       //
                    "status:Copying 0ko / 0ko  (100%)", "show", //
                    "status:Copying 0ko / 0ko  (1%)", "title: [1%] VTC880 - Firmware Update", "value:4",
                    "repaint",                                  //
                    "status:Firmware updated",                  //
                    "status:Copying 0ko / 0ko  (100%)", "show", //
                    "status:Copying 0ko / 0ko  (40%)", "title: [40%] VTC880 - Firmware Update", "value:104",
                    "repaint", //
                    "status:Copying 0ko / 0ko  (80%)", "title: [80%] VTC880 - Firmware Update", "value:204",
                    "repaint", //
                    "status:Copying 0ko / 0ko  (100%)", "title: [100%] VTC880 - Firmware Update", "value:254",
                    "repaint", //
                    "status:Firmware updated", "title: VTC880 - Firmware Update"));
    EXPECT_TRUE(rig.sinks.messages().empty()) << "the success box belongs to the connect-and-download worker";
}

TEST(Download, KilobyteFiguresAreShiftedByTen) {
    Rig rig;
    const FileCopy image = makeImage({{52000, 0x1000}});

    EXPECT_EQ(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_TRUE(rig.sinks.has("status:Copying 0ko / 50ko  (100%)"));
    EXPECT_TRUE(rig.sinks.has("status:Copying 0ko / 50ko  (1%)")); // 1000 bytes: 1.9 %
    EXPECT_TRUE(rig.sinks.has("status:Copying 1ko / 50ko  (2%)")); // 1100 bytes: 2.1 %
    EXPECT_TRUE(rig.sinks.has("status:Copying 50ko / 50ko  (100%)"));
    EXPECT_EQ(rig.sinks.of("value").back(), "52000");
}

TEST(Download, ErrorReplyToTheSecondBlockStopsWithoutFinish) {
    Rig rig;
    const FileCopy image = makeImage({{4, 0x50002}, {250, 0x100}, {10, 0x300}});
    rig.device.script = [](const SentFrame& f, int nth) {
        return nth == 1 ? answerTo(f, Code::ProgramChunk, {reply(Reply::ErrorReply)}) : std::nullopt;
    };

    EXPECT_NE(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_THAT(chunksOf(rig.link, Code::ProgramChunk), ElementsAre(Chunk{0x50002, 4}, Chunk{0x100, 100}));
    EXPECT_EQ(rig.link.count(Code::Finish), 0);
    EXPECT_THAT(callsAfter(rig.sinks, "repaint"),
                ElementsAre("status:Firmware updated", "status:Copying 0ko / 0ko  (100%)", "show",
                            "status:Firmware update failed !", "box:Firmware update failed !|Error|error",
                            "title: VTC880 - Firmware Update"));
    EXPECT_EQ(rig.sinks.of("value").back(), "4") << "progress stays at the first block";
}

TEST(Download, SilentChunkFailsAfterThreeSeconds) {
    Rig rig;
    const FileCopy image = makeImage({{4, 0x50002}, {10, 0x100}});
    rig.device.script = [](const SentFrame& f, int nth) {
        return nth == 1 ? answerTo(f, Code::ProgramChunk, {}) : std::nullopt;
    };

    const auto start = rig.clock.now();
    EXPECT_NE(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_GE(rig.clock.now() - start, std::chrono::seconds(3));
    EXPECT_LT(rig.clock.now() - start, std::chrono::seconds(4));
    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 2);
    EXPECT_EQ(rig.link.count(Code::Finish), 0);
    EXPECT_EQ(rig.sinks.of("box"), std::vector<std::string>{"Firmware update failed !|Error|error"});
}

// An empty poll has already waited its read time-out: the next poll follows at once, so a reply is
// taken as soon as it arrives. Only a poll that comes back at once without a reply (a line that has
// gone) is followed by a pause, so that the wait never spins.
TEST(Download, PausesOnlyAfterAPollThatDidNotWait) {
    for (const bool quick : {false, true}) {
        Rig rig;
        const FileCopy image = makeImage({{250, 0x100}});
        rig.device.script = [quick](const SentFrame& f, int nth) {
            const std::vector<Poll> polls =
                quick ? std::vector<Poll>{quickPoll(), quickPoll(), reply(Reply::Ack)}
                      : after(2, reply(Reply::Ack));
            return nth == 1 ? answerTo(f, Code::ProgramChunk, polls) : std::nullopt;
        };

        EXPECT_EQ(downloadImage(rig.session, image), Outcome::succeeded);

        EXPECT_EQ(rig.clock.sleeps, quick ? 2 : 0) << "quick: " << quick;
    }
}

TEST(Download, AnyFrameButErrorReplyAcceptsAChunk) {
    Rig rig;
    const FileCopy image = makeImage({{4, 0x50002}});
    rig.device.script = [](const SentFrame& f, int) {
        return answerTo(f, Code::ProgramChunk, {reply('?', {1, 2})});
    };

    EXPECT_EQ(downloadImage(rig.session, image), Outcome::succeeded);
    EXPECT_EQ(rig.link.count(Code::Finish), 1);
}

struct FailedEraseCase {
    const char* name;
    std::function<std::optional<std::vector<Poll>>(const SentFrame&, int)> script;
    const char* eraseStatus;
};

void PrintTo(const FailedEraseCase& c, std::ostream* os) {
    *os << c.name;
}

class FailedErase : public testing::TestWithParam<FailedEraseCase> {};

// Programming over a failed erase could end with "Firmware updated !" on corrupted firmware.
TEST_P(FailedErase, StopsTheDownloadBeforeAnyChunk) {
    const FailedEraseCase& c = GetParam();
    Rig rig;
    rig.device.eraseTimeMs = 5;
    rig.device.script = c.script;
    const FileCopy image = makeImage({{4, 0x50002}, {10, 0x100}});

    EXPECT_NE(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 0);
    EXPECT_EQ(rig.link.count(Code::Finish), 0);
    EXPECT_EQ(rig.sinks.of("status").back(), c.eraseStatus);
    EXPECT_THAT(callsAfter(rig.sinks, "status:" + std::string(c.eraseStatus)),
                ElementsAre("box:Firmware update failed !|Error|error", "title: VTC880 - Firmware Update"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedErase,
    testing::Values(FailedEraseCase{"handshakeSilent",
                                    [](const SentFrame&, int) { return std::optional(std::vector<Poll>{}); },
                                    "Communication time out !"},
                    FailedEraseCase{
                        "noEraseTime",
                        [](const SentFrame& f, int) { return answerTo(f, Code::EraseTimeQuery, {}); },
                        "Communication time out !"},
                    FailedEraseCase{"errorReplyToErase",
                                    [](const SentFrame& f, int) {
                                        return answerTo(f, Code::EraseAll, {reply(Reply::ErrorReply)});
                                    },
                                    "Erasing failed !"},
                    FailedEraseCase{"eraseNeverAnswered",
                                    [](const SentFrame& f, int) { return answerTo(f, Code::EraseAll, {}); },
                                    "Erasing failed !"}),
    [](const testing::TestParamInfo<FailedEraseCase>& info) { return std::string(info.param.name); });

TEST(Download, HandshakeFailingAfterTheEraseSendsNothingMore) {
    Rig rig;
    rig.device.script = [](const SentFrame& f, int nth) {
        return nth == 1 ? answerTo(f, Code::Handshake, {}) : std::nullopt;
    };
    const FileCopy image = makeImage({{4, 0x50002}});

    EXPECT_NE(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 0);
    EXPECT_EQ(rig.link.count(Code::Finish), 0);
    EXPECT_THAT(callsAfter(rig.sinks, "status:Firmware erased"),
                ElementsAre("status:Communication time out !", "max:4", "value:0",
                            "title: VTC880 - Firmware Update"));
}

TEST(Download, ImageWithoutBlocksStillFinishes) {
    Rig rig;
    const FileCopy image;

    EXPECT_EQ(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 0);
    EXPECT_EQ(rig.link.count(Code::Finish), 1);
    EXPECT_THAT(callsAfter(rig.sinks, "status:Firmware erased"),
                ElementsAre("max:0", "value:0", "title: VTC880 - Firmware Update"));
}

TEST(Download, UnreadableImageIsReportedInStatusAndBoxWithItsFullPath) {
    Rig rig;
    reportUnreadableImage(rig.sinks, "firmware.hex", "cannot open the file: check the path");
    EXPECT_THAT(rig.sinks.all(), ElementsAre("status:Coult not open firmware file !",
                                             "box:Coult not open firmware file !|File error|error"));
    const std::string full = (std::filesystem::current_path() / "firmware.hex").string();
    EXPECT_EQ(rig.sinks.messages().at(0).detail, full + ": cannot open the file: check the path");
}

TEST(Download, CancelStopsAtTheChunkWithoutABoxOrFinish) {
    Rig rig;
    const FileCopy image = makeImage({{250, 0x100}});
    rig.device.script = [&](const SentFrame& f, int) {
        if (f.code == Code::ProgramChunk) {
            rig.cancel = true;
        }
        return answerTo(f, Code::ProgramChunk, {});
    };

    EXPECT_NE(downloadImage(rig.session, image), Outcome::succeeded);

    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 1);
    EXPECT_EQ(rig.link.count(Code::Finish), 0);
    EXPECT_EQ(rig.link.pollsSinceSend, 1);
    EXPECT_TRUE(rig.sinks.messages().empty());
}

// A device that answers every chunk at once: the stop request is seen between chunks.
TEST(Download, CancelStopsBetweenChunksWhenEveryReplyComesAtOnce) {
    Rig rig;
    const FileCopy image = makeImage({{250, 0x100}});
    rig.device.script = [&](const SentFrame& f, int) -> std::optional<std::vector<Poll>> {
        if (f.code == Code::ProgramChunk) {
            rig.cancel = true;
        }
        return std::nullopt;
    };

    EXPECT_EQ(downloadImage(rig.session, image), Outcome::interrupted);

    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 1);
    EXPECT_EQ(rig.link.count(Code::Finish), 0);
    EXPECT_TRUE(rig.sinks.messages().empty());
}

// The handshake and the erase-time query give each silent poll longer than the 1 ms of the other
// waits.
TEST(Download, ShortReplyWaitsUseLongerPolls) {
    Rig rig;
    std::vector<std::size_t> firstPollAfter; // of each frame sent
    rig.device.script = [&](const SentFrame&, int) -> std::optional<std::vector<Poll>> {
        firstPollAfter.push_back(rig.link.waits.size());
        return std::nullopt;
    };
    EXPECT_EQ(downloadImage(rig.session, makeImage({{3, 0x100}})), Outcome::succeeded);
    // Frames in order: Handshake, EraseTimeQuery, EraseAll, Handshake, ProgramChunk, then Finish,
    // which is not waited for.
    std::vector<std::chrono::milliseconds> waits;
    for (std::size_t k = 0; k + 1 < firstPollAfter.size(); ++k) {
        waits.push_back(rig.link.waits.at(firstPollAfter[k]));
    }
    const auto reply = pollWait(PollWait::reply);
    const auto chunk = pollWait(PollWait::chunk);
    EXPECT_GT(reply, chunk);
    EXPECT_THAT(waits, ElementsAre(reply, reply, chunk, reply, chunk));
}

} // namespace
