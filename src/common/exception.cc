#include "common/exception.h"

#include <utility>

namespace qx {

Exception::Exception(std::string message, std::string source_file, int32_t line)
    : message_(std::move(message)), source_file_(std::move(source_file)), line_(line) {}

Exception::~Exception() = default;

std::string Exception::message() const { return message_; }

std::string Exception::source_file() const { return source_file_; }

int32_t Exception::line() const { return line_; }

std::string Exception::description() const {
  std::string text = message_;
  if (!message_.empty()) text += ' ';
  if (!source_file_.empty()) {
    text += '(';
    text += source_file_;
    if (line_ > 0) text += ':' + std::to_string(line_);
    text += ')';
  }
  return text;
}

void ThrowException(const char* unit, std::string message, std::source_location where) {
  throw Exception(std::move(message), unit, static_cast<int32_t>(where.line()));
}

}  // namespace qx
