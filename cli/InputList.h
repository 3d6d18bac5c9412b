// The input files of a run: named on the command line, one a line from
// standard input ("-") or from a list file (--from-file), and checked before
// any is opened: a folder, a FIFO, a device or a socket is refused by its
// kind without opening it (a FIFO would block), an unreadable file by
// "permission denied". O(inputs).
#pragma once

#include <istream>
#include <string>
#include <vector>

class InputList {
public:
    // One path a line; blank lines skipped, a trailing '\r' dropped.
    static std::vector<std::string> Read(std::istream& in);
    // Command-line inputs with "-" replaced by the lines of `standardInput`
    // and the lines of `listFile` (when given) appended; throws CliError when
    // the list file cannot be read.
    static std::vector<std::string> Gather(const std::vector<std::string>& arguments, std::istream& standardInput,
                                           const std::string& listFile);
    // Why an input cannot be read ("no such file", "is a folder", "is a FIFO
    // (special file)", "permission denied"), or "" when it is a readable file.
    static std::string Refusal(const std::string& path);
};
