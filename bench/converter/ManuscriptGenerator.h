// A deterministic, mostly Japanese manuscript that uses every line and inline form.
#pragma once

#include <cstddef>
#include <string>

namespace quirtle {

// Returns a Shift_JIS manuscript with CR LF line breaks of about `size` bytes (never
// less); the same size always gives the same bytes.
std::string GenerateManuscript(std::size_t size);

// A generated Shift_JIS manuscript in UTF-8 (empty when it cannot be recoded).
std::string InUtf8(const std::string& shiftJis);

}  // namespace quirtle
