#pragma once
// What the user wrote, as messages quote it: control characters escaped and long text cut, so
// that every message stays one line of bounded length whatever the input held.
#include <cstddef>
#include <string>

namespace sim {

// At most `limit` bytes of text (cut on a UTF-8 character boundary, "..." marking the cut), with
// control characters written as \n, \t, \r or \xNN.
std::string excerpt(const std::string& text, size_t limit = 60);

// A whole message as one line of at most `limit` bytes: control characters escaped, the middle
// of an overlong message left out (its start names what is wrong, its end often says why).
std::string oneLine(const std::string& message, size_t limit = 1000);

}  // namespace sim
