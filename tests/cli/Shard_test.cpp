// Shards: K/N parsed strictly (counted from 0), and the shards of a list
// cover every input exactly once whatever order the list came in.
#include "cli/Shard.h"
#include "cli/CliError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

TEST(ShardTest, ParsesKOfNCountedFromZero) {
    const Shard shard = Shard::Parse("2/5");
    EXPECT_EQ(shard.Index(), 2);
    EXPECT_EQ(shard.Count(), 5);
    EXPECT_EQ(Shard::Parse("0/1").Count(), 1);
}

TEST(ShardTest, RefusesWhatIsNoShard) {
    for (const char* text : {"", "3", "1/0", "3/3", "-1/3", "a/3", "1/b", "1/3/4", " 1/3", "1/3 "})
        EXPECT_THROW(Shard::Parse(text), CliError) << '"' << text << '"';
}

TEST(ShardTest, EveryInputInExactlyOneShardWhateverTheOrder) {
    std::vector<std::string> inputs;
    for (int i = 0; i < 23; ++i) inputs.push_back("scan-" + std::to_string(i * 7 % 23) + ".tif");
    std::vector<std::string> shuffled = inputs;
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 5, shuffled.end());
    std::map<std::string, int> seen;
    std::size_t largest = 0, smallest = inputs.size();
    for (int k = 0; k < 4; ++k) {
        const std::vector<std::string> mine = Shard(k, 4).Select(inputs);
        EXPECT_EQ(mine, Shard(k, 4).Select(shuffled)) << "shard " << k;
        for (const std::string& input : mine) seen[input]++;
        largest = std::max(largest, mine.size());
        smallest = std::min(smallest, mine.size());
    }
    EXPECT_EQ(seen.size(), inputs.size());
    for (const auto& [input, count] : seen) EXPECT_EQ(count, 1) << input;
    EXPECT_LE(largest - smallest, 1u);  // dealt out in turn
}

}  // namespace
