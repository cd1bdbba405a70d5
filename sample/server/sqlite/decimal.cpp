#include "decimal.h"

#include <algorithm>

namespace tds::sqlite {

namespace {

constexpr int maxDigits = 38;

u128 pow10(int n) {
    u128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

} // namespace

std::optional<Decimal> Decimal::parse(const std::string& text) {
    Decimal d;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        d.negative = text[i++] == '-';
    bool point = false, any = false;
    int significant = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        any = true;
        if (significant == 0 && c == '0' && !point)
            continue;
        if (significant >= maxDigits)
            return std::nullopt; // more digits than any numeric holds
        d.magnitude = d.magnitude * 10 + unsigned(c - '0');
        if (d.magnitude != 0 || point)
            ++significant;
        if (point)
            ++d.scale;
    }
    if (!any)
        return std::nullopt;
    if (d.magnitude == 0)
        d.negative = false;
    return d;
}

Decimal Decimal::fromInteger(std::int64_t value) {
    Decimal d;
    d.negative = value < 0;
    d.magnitude = d.negative ? static_cast<u128>(-(value + 1)) + 1 : static_cast<u128>(value);
    return d;
}

int Decimal::digits() const {
    int n = 0;
    for (u128 m = magnitude; m != 0; m /= 10)
        ++n;
    return std::max(n, 1);
}

bool Decimal::rescale(int target, Decimal& rounded) const {
    rounded = *this;
    rounded.scale = target;
    if (target >= scale) {
        if (target - scale + digits() > maxDigits)
            return false;
        rounded.magnitude = magnitude * pow10(target - scale);
        return true;
    }
    const u128 divisor = pow10(scale - target);
    const u128 kept = magnitude / divisor;
    const u128 dropped = magnitude % divisor;
    rounded.magnitude = kept + (dropped * 2 >= divisor ? 1 : 0);
    if (rounded.magnitude == 0)
        rounded.negative = false;
    return dropped == 0;
}

bool Decimal::fitsInt64() const {
    Decimal whole;
    if (!rescale(0, whole))
        return false;
    const u128 limit = negative ? u128(INT64_MAX) + 1 : u128(INT64_MAX);
    return whole.magnitude <= limit;
}

std::int64_t Decimal::toInt64() const {
    Decimal whole;
    rescale(0, whole);
    if (whole.negative)
        return whole.magnitude == u128(INT64_MAX) + 1 ? INT64_MIN
                                                      : -static_cast<std::int64_t>(whole.magnitude);
    return static_cast<std::int64_t>(whole.magnitude);
}

std::string Decimal::toString() const {
    std::string digitsText;
    for (u128 m = magnitude; m != 0; m /= 10)
        digitsText.insert(digitsText.begin(), char('0' + int(m % 10)));
    if (int(digitsText.size()) <= scale)
        digitsText.insert(0, std::size_t(scale + 1 - int(digitsText.size())), '0');
    if (scale > 0)
        digitsText.insert(digitsText.size() - std::size_t(scale), 1, '.');
    return (negative ? "-" : "") + digitsText;
}

} // namespace tds::sqlite
