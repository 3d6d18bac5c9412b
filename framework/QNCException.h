// The exception of the image algorithms: a narrow text and a message id (0
// when none applies). At an interface boundary one with a message id becomes
// that message ("Invalid image dimensions" for a page too small, 2165); one
// without becomes the catch-all "Unknown error in %s." failure.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class QNCException : public std::exception {
public:
    QNCException(std::string text, std::int32_t messageId = 0);
    const char* what() const noexcept override;
    std::int32_t MessageId() const { return messageId_; }

private:
    std::string text_;
    std::int32_t messageId_;
};
