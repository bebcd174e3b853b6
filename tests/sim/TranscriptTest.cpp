#include "sim/Transcript.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

sim::Received entry(int n, std::size_t dataBytes = 0) {
    sim::Received r;
    r.kind = sim::Received::Kind::frame;
    r.code = std::uint16_t(n);
    r.data.assign(dataBytes, 0);
    return r;
}

TEST(Transcript, KeepsEntriesInOrderUpToItsLimits) {
    sim::Transcript byCount(3, std::size_t(1) << 20);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(byCount.append(entry(i)), i < 3);
    EXPECT_EQ(byCount.size(), 3u);
    EXPECT_EQ(byCount.dropped(), 2u);
    const std::vector<sim::Received> kept = byCount.from(1);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].code, 1);
    EXPECT_EQ(kept[1].code, 2);
    EXPECT_TRUE(byCount.from(7).empty());

    sim::Transcript byBytes(100, 64 * 1024);
    EXPECT_TRUE(byBytes.append(entry(0, 1000)));
    EXPECT_FALSE(byBytes.append(entry(1, 64 * 1024)));
    EXPECT_TRUE(byBytes.append(entry(2, 1000))) << "a smaller entry still fits";
    EXPECT_EQ(byBytes.size(), 2u);
}

// One thread appends past a block boundary while another reads: every entry read is whole and in order.
TEST(Transcript, CanBeReadWhileItGrows) {
    sim::Transcript transcript;
    const int count = int(sim::Transcript::blockEntries) * 3;
    std::thread writer([&] {
        for (int i = 0; i < count; ++i)
            transcript.append(entry(i, 3));
    });
    std::size_t seen = 0;
    while (seen < std::size_t(count)) {
        for (const sim::Received& r : transcript.from(seen)) {
            ASSERT_EQ(r.code, std::uint16_t(seen));
            ASSERT_EQ(r.data.size(), 3u);
            ++seen;
        }
    }
    writer.join();
}

} // namespace
