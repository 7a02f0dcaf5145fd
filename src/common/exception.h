#pragma once
// The exception of the store's utility classes. It carries the message, the
// unit that threw it ("common/FileManagement", "common/xMutexLock",
// "common/Array") and the line of the throwing statement. Thrown by value,
// caught by reference; everything else in the store reports result codes.

#include <cstdint>
#include <source_location>
#include <string>

namespace qx {

class Exception {
 public:
  Exception(std::string message, std::string source_file, int32_t line);
  virtual ~Exception();

  virtual std::string message() const;
  virtual std::string source_file() const;
  virtual int32_t line() const;
  // The message, a blank when the message is not empty, then, when the source
  // file is not empty, "(" + source file, ":" + line when the line is above
  // 0, and ")". So "m (common/Array)" for line 0.
  virtual std::string description() const;

 private:
  std::string message_;
  std::string source_file_;
  int32_t line_;
};

// Throws an Exception from `unit` with the line of the caller's statement.
[[noreturn]] void ThrowException(const char* unit, std::string message,
                                 std::source_location where = std::source_location::current());

}  // namespace qx
