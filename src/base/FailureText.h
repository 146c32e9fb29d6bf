// What the user is told of a failure.
#pragma once

#include <exception>
#include <string>

namespace kestrane {

// The reason of the exception being handled, for the user. Call it only inside a catch block.
std::wstring CurrentExceptionText();

// What the user is told of a failure to read or write a file: the file and the system's own words for
// the error; for any other failure, its reason.
std::wstring FileFailureReason(const std::exception& failure);

}  // namespace kestrane
