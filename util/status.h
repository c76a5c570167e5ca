// How a call that can fail went: every such call, from the system's file
// calls up to the end of a run, gives one Status. A failure says what went
// wrong (the file is missing, could not be read or written, or cannot go
// into an archive), which file it is about as the report names it, and why,
// in the system's own words where the system failed a call.
//
// The system's layer makes the cause where the call fails; the layers above
// pass the status on and name the file (about()), so that the report tells
// the modder what to do.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace util {

class [[nodiscard]] Status {
 public:
  enum class Code : unsigned char {
    kOk,
    kMissing,     // nothing has the name
    kUnreadable,  // something has the name, but it could not be read
    kUnwritable,  // it could not be written, or put in place
    kRefused,     // an image file the archive cannot hold
  };

  Status() = default;  // success
  static Status missing(std::string cause) { return {Code::kMissing, std::move(cause)}; }
  static Status unreadable(std::string cause) { return {Code::kUnreadable, std::move(cause)}; }
  static Status unwritable(std::string cause) { return {Code::kUnwritable, std::move(cause)}; }
  static Status refused(std::string cause) { return {Code::kRefused, std::move(cause)}; }
  static Status failure(Code code, std::string cause) { return {code, std::move(cause)}; }

  Status(Status&&) noexcept = default;
  Status& operator=(Status&&) noexcept = default;
  Status(const Status& other)
      : failure_(other.failure_ ? std::make_unique<Failure>(*other.failure_) : nullptr) {}
  Status& operator=(const Status& other) {
    if (this != &other) *this = Status(other);
    return *this;
  }

  bool ok() const { return failure_ == nullptr; }
  Code code() const { return failure_ ? failure_->code : Code::kOk; }
  // The file as the report names it; empty until a layer names it.
  const std::string& file() const { return failure_ ? failure_->file : empty(); }
  const std::string& cause() const { return failure_ ? failure_->cause : empty(); }

  // Names the file a failure is about, unless a layer below named it.
  Status&& about(std::string_view file) && {
    if (failure_ && failure_->file.empty()) failure_->file = file;
    return std::move(*this);
  }

 private:
  // A success holds nothing, so that passing one on costs no more than a
  // pointer.
  struct Failure {
    Code code;
    std::string file;
    std::string cause;
  };

  Status(Code code, std::string cause)
      : failure_(std::make_unique<Failure>(Failure{code, {}, std::move(cause)})) {}
  static const std::string& empty() {
    static const std::string nothing;
    return nothing;
  }

  std::unique_ptr<Failure> failure_;
};

// The causes the programs give by their own rules, where no call failed.
namespace cause {
inline constexpr std::string_view kReadOnly = "The file is read-only";
inline constexpr std::string_view kFolder = "There is a folder of that name";
inline constexpr std::string_view kLink = "There is a link of that name";
inline constexpr std::string_view kNotAFile = "There is something of that name that is not a file";
inline constexpr std::string_view kGotShorter = "The file got shorter while it was read";
}  // namespace cause

}  // namespace util
