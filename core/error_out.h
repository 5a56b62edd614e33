#pragma once
// How the core reports a failure: a function that can fail returns bool (or
// a result that can be empty) and takes a nullable `std::string* error` as
// its last parameter, which gets a short reason when it fails. No object
// keeps a last error to be asked for later: the reason comes back with the
// call, so it reads at the call site, and two threads using one object never
// see each other's reasons. Where the caller words the reason itself from
// the system's code, the same place holds an `int* error` for the errno value.

#include <string>
#include <utility>

// Gives `error` (when there is one) the reason; false, so that a failing
// path reads `return Fail(error, "why");`.
inline bool Fail(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
    return false;
}
