// What the user is told of a failure.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace kestrane {

// A failure whose reason is already written for the user, in French.
class UserError : public std::runtime_error {
public:
    explicit UserError(std::wstring message) : std::runtime_error("refused"), message_(std::move(message)) {}
    const std::wstring& Message() const noexcept { return message_; }

private:
    std::wstring message_;
};

// The system's own words for a Win32 error (in the language of the system), without the final line end;
// empty when the system has none.
std::wstring SystemMessage(unsigned long error);

// The reason of the exception being handled, for the user. Call it only inside a catch block.
std::wstring CurrentExceptionText();

// What the user is told of a failure to read or write a file: the file and the system's own words for
// the error; for any other failure, its reason.
std::wstring FileFailureReason(const std::exception& failure);

}  // namespace kestrane
