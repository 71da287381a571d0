#include "punycode.h"

#include <cstdint>
#include <limits>

namespace builder {
namespace {

constexpr std::uint32_t BASE = 36;
constexpr std::uint32_t TMIN = 1;
constexpr std::uint32_t TMAX = 26;
constexpr std::uint32_t SKEW = 38;
constexpr std::uint32_t DAMP = 700;
constexpr std::uint32_t INITIAL_BIAS = 72;
constexpr std::uint32_t INITIAL_N = 0x80;
constexpr std::uint32_t MAX_INT = std::numeric_limits<std::uint32_t>::max();

char encode_digit(std::uint32_t digit) {
    return static_cast<char>(digit < 26 ? 'a' + digit : '0' + (digit - 26));
}

std::uint32_t adapt(std::uint32_t delta, std::uint32_t point_count, bool first_time) {
    delta = first_time ? delta / DAMP : delta / 2;
    delta += delta / point_count;
    std::uint32_t k = 0;
    while (delta > ((BASE - TMIN) * TMAX) / 2) {
        delta /= BASE - TMIN;
        k += BASE;
    }
    return k + (((BASE - TMIN + 1) * delta) / (delta + SKEW));
}

}  // namespace

std::optional<std::string> punycode_encode(std::u32string_view code_points) {
    std::string output;
    for (const char32_t c : code_points) {
        if (c < INITIAL_N) {
            output.push_back(static_cast<char>(c));
        }
    }
    const auto basic_count = static_cast<std::uint32_t>(output.size());
    if (basic_count > 0) {
        output.push_back('-');
    }
    if (code_points.size() >= MAX_INT) {
        return std::nullopt;
    }
    const auto input_length = static_cast<std::uint32_t>(code_points.size());

    std::uint32_t n = INITIAL_N;
    std::uint32_t delta = 0;
    std::uint32_t bias = INITIAL_BIAS;
    std::uint32_t handled = basic_count;
    while (handled < input_length) {
        // The smallest code point not yet handled.
        std::uint32_t m = MAX_INT;
        for (const char32_t c : code_points) {
            if (c >= n && c < m) {
                m = c;
            }
        }
        if (m - n > (MAX_INT - delta) / (handled + 1)) {
            return std::nullopt;
        }
        delta += (m - n) * (handled + 1);
        n = m;
        for (const char32_t c : code_points) {
            if (c < n) {
                if (delta == MAX_INT) {
                    return std::nullopt;
                }
                ++delta;
            }
            if (c == n) {
                std::uint32_t q = delta;
                for (std::uint32_t k = BASE;; k += BASE) {
                    const std::uint32_t t = k <= bias ? TMIN : (k >= bias + TMAX ? TMAX : k - bias);
                    if (q < t) {
                        break;
                    }
                    output.push_back(encode_digit(t + (q - t) % (BASE - t)));
                    q = (q - t) / (BASE - t);
                }
                output.push_back(encode_digit(q));
                bias = adapt(delta, handled + 1, handled == basic_count);
                delta = 0;
                ++handled;
            }
        }
        if (delta == MAX_INT) {
            return std::nullopt;
        }
        ++delta;
        ++n;
    }
    return output;
}

}  // namespace builder
