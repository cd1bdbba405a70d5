#pragma once

// The one place that renders what a cell shows of its value: at most kShownCharacters
// characters of a text, read from its first bytes only (so a cell costs the same to show
// whatever it holds), and binary values as 0x and upper-case hex; an ellipsis says there is
// more.

#include <QString>
#include <cstddef>
#include <string_view>

namespace model {

inline constexpr int kShownCharacters = 256;
inline constexpr std::size_t kShownBinaryBytes = 256;

// The bytes as 0x and hex, at most `most` of them.
QString hexText(std::string_view bytes, std::size_t most = kShownBinaryBytes);
// A text's first kShownCharacters characters, never splitting one.
QString shownText(std::string_view bytes);

} // namespace model
