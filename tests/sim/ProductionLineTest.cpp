#include "sim/ProductionLine.h"

#include "../common/TempDirectory.h"
#include "Rig.h"
#include "sim/SimOptions.h"

#include <filesystem>
#include <set>

using namespace vtc880;

namespace simtest {
namespace {

namespace fs = std::filesystem;

// What the socket's link leads to now; empty when there is none.
std::string linkTarget(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.string();
}

// The board on the socket answers a Handshake in update mode: Ack from a sound board, nothing from a
// silent one.
bool answersHandshake(const std::string& port) {
    SlavePort line(port);
    if (!line.isOpen()) {
        return false;
    }
    line.write(std::string(Preamble::firmwareUpdate) + Preamble::enterUpdate);
    std::this_thread::sleep_for(300ms);
    line.write(commandFrame(Code::Handshake));
    return line.readReply(1000ms).frame == ackFrame;
}

struct Socket {
    fs::path dir = makeTempDirectory("vtc880-line-");
    fs::path link = dir / "usb-0:1.2:1.0-port0";
    ~Socket() { fs::remove_all(dir); }
};

// Boards come and go on the socket: each appearance is a new device behind the same link, the link is
// absent between two boards, and the faults apply to every K-th board only.
TEST(ProductionLine, BoardsComeAndGoWithTheirFaultsPerAppearance) {
    Socket socket;
    sim::Config config;
    config.linkPath = socket.link.string();
    config.silent = true;
    config.line.unplugAfter = 1200ms;
    config.line.boards = 3;
    config.line.faultsEvery = 2;
    sim::ProductionLine line(config);
    ASSERT_TRUE(line.start()) << line.error();

    std::vector<bool> answered;
    std::set<std::string> ports;
    for (int board = 1; board <= 3; ++board) {
        ASSERT_TRUE(eventually([&] { return !linkTarget(socket.link).empty(); }, 3000ms))
            << "board " << board;
        const std::string port = linkTarget(socket.link);
        ports.insert(port);
        answered.push_back(answersHandshake(port));
        ASSERT_TRUE(eventually([&] { return linkTarget(socket.link).empty(); }, 3000ms))
            << "board " << board << " was not unplugged";
        EXPECT_FALSE(SlavePort(port).isOpen() && answersHandshake(port))
            << "an unplugged board still answers";
    }
    EXPECT_EQ(answered, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(eventually([&] { return line.done(); }));
    const std::vector<sim::Board> boards = line.boards();
    ASSERT_EQ(boards.size(), 3u);
    EXPECT_FALSE(boards[0].faulty);
    EXPECT_TRUE(boards[1].faulty);
    EXPECT_FALSE(boards[2].faulty);
    for (const sim::Board& board : boards) {
        EXPECT_FALSE(board.plugged);
    }
    EXPECT_EQ(boards[0].frames, (std::vector<std::uint16_t>{Code::Handshake}));
}

// A board that got Finish is pulled soon after, and the next is plugged at its time.
TEST(ProductionLine, UnplugsAfterFinishAndPlugsTheNextAtItsTime) {
    Socket socket;
    sim::Config config;
    config.linkPath = socket.link.string();
    config.line.unplugAfterFinish = true;
    config.line.plugEvery = 1500ms;
    config.line.boards = 2;
    sim::ProductionLine line(config);
    ASSERT_TRUE(line.start()) << line.error();
    ASSERT_TRUE(eventually([&] { return !linkTarget(socket.link).empty(); }));
    const auto plugged = std::chrono::steady_clock::now();
    {
        SlavePort port(linkTarget(socket.link));
        port.write(std::string(Preamble::firmwareUpdate) + Preamble::enterUpdate);
        std::this_thread::sleep_for(300ms);
        port.write(commandFrame(Code::Finish, {finishSelector}));
    }
    ASSERT_TRUE(eventually([&] { return linkTarget(socket.link).empty(); }, 1000ms)) << "pulled after Finish";
    EXPECT_LT(std::chrono::steady_clock::now() - plugged, 1400ms) << "before its next board's time";
    ASSERT_TRUE(eventually([&] { return !linkTarget(socket.link).empty(); }, 3000ms)) << "the second board";
    EXPECT_GE(std::chrono::steady_clock::now() - plugged, 1400ms);
    EXPECT_TRUE(line.boards()[0].finished);
    EXPECT_TRUE(eventually([&] { return line.done(); }, 5000ms))
        << "the second never gets Finish: pulled at its time";
}

TEST(ProductionLine, NeedsTheSocketsName) {
    sim::Config config;
    config.line.boards = 1;
    sim::ProductionLine line(config);
    EXPECT_FALSE(line.start());
    EXPECT_NE(line.error().find("--link-path"), std::string::npos);
}

TEST(ProductionLine, DurationsAreReadWithTheirUnit) {
    using std::chrono::milliseconds;
    EXPECT_EQ(sim::parseDuration("5s"), milliseconds(5000));
    EXPECT_EQ(sim::parseDuration("500ms"), milliseconds(500));
    EXPECT_EQ(sim::parseDuration("1.5s"), milliseconds(1500));
    EXPECT_EQ(sim::parseDuration("2m"), milliseconds(120000));
    EXPECT_EQ(sim::parseDuration("3"), milliseconds(3000));
    for (const char* bad : {"", "s", "-1s", "1h", "1e3s", "abc", "1.2.3s", "100000m"}) {
        EXPECT_FALSE(sim::parseDuration(bad)) << bad;
    }
}

} // namespace
} // namespace simtest
