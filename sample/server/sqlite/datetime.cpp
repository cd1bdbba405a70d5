#include "datetime.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace tds::sqlite {

namespace {

struct Moment {
    int year = 1900, month = 1, day = 1;
    std::int64_t micros = 0; // since midnight
    bool hasDate = false;
};

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : days[m - 1];
}

class Reader {
  public:
    explicit Reader(const std::string& s) : s_(s) {}
    bool end() const { return i_ >= s_.size(); }
    char peek() const { return end() ? '\0' : s_[i_]; }
    bool take(char c) {
        if (peek() != c)
            return false;
        ++i_;
        return true;
    }
    void blanks() {
        while (!end() && std::isspace(static_cast<unsigned char>(s_[i_])))
            ++i_;
    }
    // Up to `most` digits; -1 when there are fewer than `least`.
    int number(int least, int most, int* count = nullptr) {
        int n = 0, v = 0;
        while (n < most && !end() && std::isdigit(static_cast<unsigned char>(s_[i_]))) {
            v = v * 10 + (s_[i_++] - '0');
            ++n;
        }
        if (count)
            *count = n;
        return n >= least ? v : -1;
    }

  private:
    const std::string& s_;
    std::size_t i_ = 0;
};

bool readDate(Reader& r, Moment& m) {
    const int first = r.number(1, 4);
    if (first < 0)
        return false;
    if (r.take('-')) { // YYYY-MM-DD
        m.year = first;
        m.month = r.number(1, 2);
        if (!r.take('-'))
            return false;
        m.day = r.number(1, 2);
    } else if (r.take('/')) { // MM/DD/YYYY, the default date format mdy
        m.month = first;
        m.day = r.number(1, 2);
        if (!r.take('/'))
            return false;
        m.year = r.number(4, 4);
    } else {
        return false;
    }
    m.hasDate = true;
    return m.year >= 1 && m.month >= 1 && m.month <= 12 && m.day >= 1 &&
           m.day <= daysIn(m.year, m.month);
}

bool readTime(Reader& r, Moment& m) {
    const int h = r.number(1, 2);
    if (h < 0 || !r.take(':'))
        return false;
    const int mi = r.number(2, 2);
    int s = 0;
    std::int64_t fraction = 0;
    if (r.take(':')) {
        s = r.number(2, 2);
        if (r.take('.') || r.take(':')) {
            int n = 0;
            for (; n < 6 && std::isdigit(static_cast<unsigned char>(r.peek())); ++n)
                fraction = fraction * 10 + (r.number(1, 1));
            for (int k = n; k < 6; ++k)
                fraction *= 10;
            if (std::isdigit(static_cast<unsigned char>(r.peek())) && r.number(1, 1) >= 5)
                ++fraction; // a 7th digit rounds to the microsecond
            while (std::isdigit(static_cast<unsigned char>(r.peek())))
                r.number(1, 1);
        }
    }
    if (h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    m.micros = ((std::int64_t(h) * 60 + mi) * 60 + s) * 1000000 + fraction;
    return true;
}

std::optional<Moment> parse(const std::string& literal) {
    Reader r(literal);
    Moment m;
    r.blanks();
    const bool timeFirst = literal.find(':') != std::string::npos &&
                           literal.find('-') == std::string::npos &&
                           literal.find('/') == std::string::npos;
    if (!timeFirst) {
        if (!readDate(r, m))
            return std::nullopt;
        if (!r.take('T'))
            r.blanks();
    }
    if (!r.end() && !readTime(r, m))
        return std::nullopt;
    r.blanks();
    if (!r.end())
        return std::nullopt;
    return m;
}

void nextDay(Moment& m) {
    if (++m.day > daysIn(m.year, m.month)) {
        m.day = 1;
        if (++m.month > 12) {
            m.month = 1;
            ++m.year;
        }
    }
}

std::string formatDate(const Moment& m) {
    char b[16];
    std::snprintf(b, sizeof b, "%04d-%02d-%02d", m.year, m.month, m.day);
    return b;
}

std::string formatTime(std::int64_t micros, int digits) {
    const std::int64_t seconds = micros / 1000000;
    char b[32];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60),
                  int(seconds % 60));
    std::string out = b;
    if (digits == 3)
        std::snprintf(b, sizeof b, ".%03d", int(micros % 1000000 / 1000));
    else
        std::snprintf(b, sizeof b, ".%06d", int(micros % 1000000));
    return out + b;
}

constexpr std::int64_t dayMicros = 86400LL * 1000000;

// To the 1/300 s Adaptive Server keeps, shown as the millisecond it displays.
std::int64_t toTicks(std::int64_t micros) {
    const std::int64_t ticks = (micros * 300 + 500000) / 1000000;
    const std::int64_t ms = (ticks * 1000 + 150) / 300;
    return ms * 1000;
}

} // namespace

std::optional<std::string> canonicalDateTime(const std::string& literal, AseType type) {
    std::optional<Moment> parsed = parse(literal);
    if (!parsed)
        return std::nullopt;
    Moment m = *parsed;
    switch (type) {
    case AseType::Date:
        return formatDate(m);
    case AseType::Time: {
        std::int64_t t = toTicks(m.micros);
        if (t >= dayMicros)
            t = dayMicros - 3000; // the last 1/300 s of the day
        return formatTime(t, 3);
    }
    case AseType::BigDateTime:
        return formatDate(m) + " " + formatTime(m.micros, 6);
    case AseType::SmallDateTime: {
        std::int64_t minute = (m.micros + 30 * 1000000) / (60 * 1000000);
        if (minute >= 24 * 60) {
            minute -= 24 * 60;
            nextDay(m);
        }
        if (m.year < 1900 ||
            (m.year > 2079 || (m.year == 2079 && (m.month > 6 || (m.month == 6 && m.day > 6)))))
            return std::nullopt;
        return formatDate(m) + " " + formatTime(minute * 60 * 1000000, 3);
    }
    default: { // datetime
        std::int64_t t = toTicks(m.micros);
        if (t >= dayMicros) {
            t -= dayMicros;
            nextDay(m);
        }
        if (m.year < 1753 || m.year > 9999)
            return std::nullopt;
        return formatDate(m) + " " + formatTime(t, 3);
    }
    }
}

} // namespace tds::sqlite
