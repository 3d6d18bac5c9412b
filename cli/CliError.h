// The two ways the command refuses to go on: a usage error (a wrong option,
// process, property, job file or report path; exit code 2, nothing touched)
// and a run failure found after work began (a report or folder that cannot
// be written; exit code 1). Header only.
#pragma once

#include <stdexcept>

struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct RunFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};
