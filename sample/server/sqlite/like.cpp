#include "like.h"

#include "convert.h"

#include <string>
#include <vector>

namespace tds::sqlite {

namespace {

std::u32string decoded(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = extra == 0   ? b
                     : extra == 1 ? (b & 0x1F)
                     : extra == 2 ? (b & 0x0F)
                                  : (b & 0x07);
        std::size_t j = 1;
        for (; j <= std::size_t(extra) && i + j < text.size(); ++j)
            c = (c << 6) | (static_cast<unsigned char>(text[i + j]) & 0x3F);
        out += c;
        i += j;
    }
    return out;
}

// One place of a pattern: a run of any characters, or one character of a set.
struct Piece {
    bool run = false;
    bool any = false;     // `_`
    bool negated = false; // `[^...]`
    std::vector<std::pair<char32_t, char32_t>> ranges;

    bool takes(char32_t c) const {
        if (any)
            return true;
        bool in = false;
        for (const auto& [low, high] : ranges)
            in = in || (c >= low && c <= high);
        return in != negated;
    }
};

std::vector<Piece> pieces(const std::u32string& p, char32_t escape, bool escaping) {
    std::vector<Piece> out;
    for (std::size_t i = 0; i < p.size(); ++i) {
        Piece piece;
        const char32_t c = p[i];
        if (escaping && c == escape && i + 1 < p.size()) {
            piece.ranges.push_back({p[i + 1], p[i + 1]});
            ++i;
        } else if (c == U'%') {
            piece.run = true;
        } else if (c == U'_') {
            piece.any = true;
        } else if (c == U'[' && p.find(U']', i + 2) != std::u32string::npos) {
            std::size_t j = i + 1;
            if (p[j] == U'^' && j + 1 < p.size() && p.find(U']', j + 2) != std::u32string::npos) {
                piece.negated = true;
                ++j;
            }
            // A "]" right after the opening bracket stands for itself.
            bool first = true;
            for (; j < p.size() && (first || p[j] != U']'); ++j, first = false) {
                if (escaping && p[j] == escape && j + 1 < p.size()) {
                    ++j;
                    piece.ranges.push_back({p[j], p[j]});
                } else if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
                    piece.ranges.push_back({p[j], p[j + 2]});
                    j += 2;
                } else {
                    piece.ranges.push_back({p[j], p[j]});
                }
            }
            i = j;
        } else {
            piece.ranges.push_back({c, c});
        }
        out.push_back(std::move(piece));
    }
    return out;
}

} // namespace

bool likeMatches(std::string_view value, std::string_view pattern, std::string_view escape) {
    const std::u32string v = decoded(value);
    const std::u32string e = decoded(escape);
    const std::vector<Piece> p = pieces(decoded(pattern), e.empty() ? 0 : e[0], !e.empty());
    // Each single place takes one character; on a mismatch the last run takes one more.
    std::size_t vi = 0, pi = 0, runAt = std::string::npos, runFrom = 0;
    while (vi < v.size()) {
        if (pi < p.size() && p[pi].run) {
            runAt = pi++;
            runFrom = vi;
        } else if (pi < p.size() && p[pi].takes(v[vi])) {
            ++pi;
            ++vi;
        } else if (runAt != std::string::npos) {
            pi = runAt + 1;
            vi = ++runFrom;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi].run)
        ++pi;
    return pi == p.size();
}

void registerLikeFunction(sqlite3* db) {
    auto like = [](sqlite3_context* ctx, int, sqlite3_value** args) {
        if (sqlite3_value_type(args[0]) == SQLITE_NULL ||
            sqlite3_value_type(args[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        const std::string escape =
            sqlite3_value_type(args[2]) == SQLITE_NULL ? std::string() : valueText(args[2]);
        sqlite3_result_int(ctx,
                           likeMatches(valueText(args[0]), valueText(args[1]), escape) ? 1 : 0);
    };
    sqlite3_create_function(db, "qv_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, like,
                            nullptr, nullptr);
}

} // namespace tds::sqlite
