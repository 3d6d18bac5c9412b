// The ways the command refuses to go on, each with its exit code: a usage
// error (a wrong option, process, property, job file or report path; 2,
// nothing touched), a missing dependency (the process module cannot be
// loaded, the image library lacks a codec; 3), an output that cannot be
// written (the output folder cannot be made or written, the disk is full;
// 4) and any other failure found after work began (1). Header only.
#pragma once

#include <stdexcept>

struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct RunFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct DependencyFailure : RunFailure {
    using RunFailure::RunFailure;
};

struct OutputFailure : RunFailure {
    using RunFailure::RunFailure;
};
