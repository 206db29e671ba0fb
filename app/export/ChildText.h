#pragma once

#include <QString>
#include <string_view>

namespace quirtle {

// Text a child program wrote (its standard error) for showing to the user: UTF-8 when it
// reads as UTF-8, otherwise Shift_JIS, otherwise the locale's encoding; '\n' line breaks.
QString DecodeChildText(std::string_view bytes);

}  // namespace quirtle
