#include "cli/Shard.h"

#include "cli/CliError.h"

#include <algorithm>
#include <charconv>

namespace {

bool ParseNumber(std::string_view text, int* value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

Shard::Shard(int index, int count) : index_(index), count_(count) {}

Shard Shard::Parse(const std::string& text) {
    const std::size_t slash = text.find('/');
    int index = -1, count = 0;
    if (slash == std::string::npos || !ParseNumber(std::string_view(text).substr(0, slash), &index) ||
        !ParseNumber(std::string_view(text).substr(slash + 1), &count))
        throw CliError("--shard " + text + ": expected K/N, shard K of N counted from 0 (0/4 ... 3/4)");
    if (count < 1) throw CliError("--shard " + text + ": the number of shards must be at least 1");
    if (index < 0 || index >= count)
        throw CliError("--shard " + text + ": shards are counted from 0, so K must be 0 ... " +
                       std::to_string(count - 1) + " (with a 1-based task id, pass $((ID - 1)))");
    return Shard(index, count);
}

std::vector<std::string> Shard::Select(std::vector<std::string> inputs) const {
    std::sort(inputs.begin(), inputs.end());
    std::vector<std::string> mine;
    for (std::size_t i = static_cast<std::size_t>(index_); i < inputs.size(); i += static_cast<std::size_t>(count_))
        mine.push_back(std::move(inputs[i]));
    return mine;
}
