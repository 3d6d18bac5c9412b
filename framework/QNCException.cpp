// An algorithm's own error: its text and the message id the process reports. O(1).
#include "framework/QNCException.h"

QNCException::QNCException(std::string text, std::int32_t messageId) : text_(std::move(text)), messageId_(messageId) {}

const char* QNCException::what() const noexcept { return text_.c_str(); }
