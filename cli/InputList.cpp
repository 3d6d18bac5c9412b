// stat and access only: nothing here opens an input.
#include "cli/InputList.h"

#include "cli/CliError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

std::vector<std::string> InputList::Read(std::istream& in) {
    std::vector<std::string> paths;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) paths.push_back(line);
    }
    return paths;
}

std::vector<std::string> InputList::Gather(const std::vector<std::string>& arguments, std::istream& standardInput,
                                           const std::string& listFile) {
    std::vector<std::string> inputs;
    bool readStandardInput = false;
    for (const std::string& argument : arguments) {
        if (argument != "-") {
            inputs.push_back(argument);
        } else if (!readStandardInput) {
            readStandardInput = true;
            for (std::string& path : Read(standardInput)) inputs.push_back(std::move(path));
        }
    }
    if (!listFile.empty()) {
        const std::string refusal = Refusal(listFile);
        if (!refusal.empty()) throw CliError("--from-file " + listFile + ": " + refusal);
        std::ifstream in(listFile);
        if (!in) throw CliError("--from-file " + listFile + ": cannot read the list");
        for (std::string& path : Read(in)) inputs.push_back(std::move(path));
    }
    return inputs;
}

std::string InputList::Refusal(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return "no such file";
        if (errno == EACCES) return "permission denied";
        return std::strerror(errno);
    }
    if (S_ISDIR(info.st_mode)) return "is a folder";
    if (S_ISFIFO(info.st_mode)) return "is a FIFO (special file), not an image file";
    if (S_ISSOCK(info.st_mode)) return "is a socket (special file), not an image file";
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "is a device (special file), not an image file";
    if (!S_ISREG(info.st_mode)) return "is not a regular file";
    if (::access(path.c_str(), R_OK) != 0) return errno == EACCES ? "permission denied" : std::strerror(errno);
    return "";
}
