#pragma once

// Exact decimal values of up to 38 digits, as Adaptive Server's numeric holds them.

#include <cstdint>
#include <optional>
#include <string>

namespace tds::sqlite {

using u128 = unsigned __int128;

struct Decimal {
    bool negative = false;
    u128 magnitude = 0; // the digits without the point
    int scale = 0;      // digits after the point

    // "-12.50", "+3", ".5", "7." ; no exponent.
    static std::optional<Decimal> parse(const std::string& text);
    static Decimal fromInteger(std::int64_t value);

    int digits() const; // significant digits before and after the point, at least 1
    int integerDigits() const { return digits() > scale ? digits() - scale : 0; }
    // The same value with `scale` digits after the point; false when digits would be
    // dropped that are not zero (`rounded` then holds it rounded half away from zero).
    bool rescale(int scale, Decimal& rounded) const;
    bool fitsInt64() const;
    std::int64_t toInt64() const; // of the value with scale 0; only when fitsInt64()
    std::string toString() const; // exactly `scale` digits after the point
    bool isZero() const { return magnitude == 0; }
};

} // namespace tds::sqlite
