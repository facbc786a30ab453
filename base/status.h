// Status: the outcome of an operation at a module boundary: success, or an
// error code with the message the user is shown. Messages keep the system's
// own texts; the code says what kind of failure it was, so that a caller can
// react without parsing the text.
//
// Thread safety: a value type; copies are independent.
#pragma once

#include <string>
#include <utility>

namespace tellwen {

class Status {
 public:
  enum class Code {
    kOk = 0,
    kInvalidArgument,  // the caller's input (a setting, a file's content) is wrong
    kNotFound,         // a file, object or name that should be there is not
    kIoError,          // the system refused a read, a write or a socket call
    kUnavailable,      // a peer or a service did not answer
  };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status InvalidArgument(std::string message) {
    return Status(Code::kInvalidArgument, std::move(message));
  }
  static Status NotFound(std::string message) {
    return Status(Code::kNotFound, std::move(message));
  }
  static Status IoError(std::string message) { return Status(Code::kIoError, std::move(message)); }
  static Status Unavailable(std::string message) {
    return Status(Code::kUnavailable, std::move(message));
  }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // The message to show; "" when ok.
  const std::string& message() const { return message_; }

 private:
  Status(Code code, std::string message) : code_(code), message_(std::move(message)) {}

  Code code_ = Code::kOk;
  std::string message_;
};

}  // namespace tellwen
