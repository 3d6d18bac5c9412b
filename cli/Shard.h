// One shard of a run split over several machines or processes: `--shard K/N`
// takes every N-th file of the input list sorted by name (byte order),
// starting with the K-th, K counted from 0 (0 ... N-1, as
// JOB_COMPLETION_INDEX and a Slurm array --array=0-(N-1) number them). Every
// input lands in exactly one shard whatever order the shell listed them in,
// and so every page: a file's pages stay together. O(n log n) in the inputs.
#pragma once

#include <string>
#include <vector>

class Shard {
public:
    Shard() = default;
    Shard(int index, int count);
    // "K/N"; throws CliError naming what is wrong.
    static Shard Parse(const std::string& text);

    int Index() const { return index_; }
    int Count() const { return count_; }
    // This shard's inputs, in sorted order.
    std::vector<std::string> Select(std::vector<std::string> inputs) const;

private:
    int index_ = 0;
    int count_ = 1;
};
