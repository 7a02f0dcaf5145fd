#pragma once
// Checks the JSON storeadm prints: well-formed, and of the one shape its
// data commands share (an array of objects) or its errors take (one object
// with an "error" string).

#include <string>

namespace qx::test {

// True when `text` is one JSON value (surrounding blanks and one trailing
// line end allowed).
bool IsJson(const std::string& text);

// True when `text` is a JSON array whose every element is an object.
bool IsArrayOfObjects(const std::string& text);

// True when `text` is {"error": "<text>"} and nothing else.
bool IsJsonError(const std::string& text);

}  // namespace qx::test
