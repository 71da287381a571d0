#include "sha256.h"

#include <bit>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace builder {
namespace {

constexpr std::array<std::uint32_t, 64> ROUND_CONSTANTS = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<std::uint32_t, 8> INITIAL_STATE = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

void compress(std::array<std::uint32_t, 8>& state, const std::uint8_t* block) {
    std::array<std::uint32_t, 64> w{};
    for (std::size_t i = 0; i < 16; ++i) {
        w[i] = (std::uint32_t{block[4 * i]} << 24) | (std::uint32_t{block[4 * i + 1]} << 16) |
               (std::uint32_t{block[4 * i + 2]} << 8) | std::uint32_t{block[4 * i + 3]};
    }
    for (std::size_t i = 16; i < 64; ++i) {
        const std::uint32_t s0 = std::rotr(w[i - 15], 7) ^ std::rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = std::rotr(w[i - 2], 17) ^ std::rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    auto [a, b, c, d, e, f, g, h] = state;
    for (std::size_t i = 0; i < 64; ++i) {
        const std::uint32_t sum1 = std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25);
        const std::uint32_t choose = (e & f) ^ (~e & g);
        const std::uint32_t t1 = h + sum1 + choose + ROUND_CONSTANTS[i] + w[i];
        const std::uint32_t sum0 = std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22);
        const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
        const std::uint32_t t2 = sum0 + majority;
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

#if defined(__x86_64__)
// The same rounds on the processor's SHA extensions (about ten times the
// speed of the portable code), state kept as ABEF and CDGH.
__attribute__((target("sha,sse4.1"))) void compress_with_sha_extensions(std::array<std::uint32_t, 8>& state,
                                                                        const std::uint8_t* data, std::size_t blocks) {
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
    __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
    for (; blocks != 0; --blocks, data += 64) {
        const __m128i abef_before = abef;
        const __m128i cdgh_before = cdgh;
        __m128i words[4];  // words[k % 4]: message words 4k to 4k+3
        for (std::size_t k = 0; k < 16; ++k) {
            if (k < 4) {
                words[k] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k)), byte_swap);
            } else {
                __m128i next = _mm_sha256msg1_epu32(words[k % 4], words[(k + 1) % 4]);
                next = _mm_add_epi32(next, _mm_alignr_epi8(words[(k + 3) % 4], words[(k + 2) % 4], 4));
                words[k % 4] = _mm_sha256msg2_epu32(next, words[(k + 3) % 4]);
            }
            __m128i message = _mm_add_epi32(
                words[k % 4], _mm_loadu_si128(reinterpret_cast<const __m128i*>(&ROUND_CONSTANTS[4 * k])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abef_before);
        cdgh = _mm_add_epi32(cdgh, cdgh_before);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    dcba = _mm_blend_epi16(feba, dchg, 0xF0);
    hgfe = _mm_alignr_epi8(dchg, feba, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

bool has_sha_extensions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_SSE4_1) == 0 || (c & bit_SSSE3) == 0) {
        return false;
    }
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_SHA) != 0;
}
#endif

void compress_blocks(std::array<std::uint32_t, 8>& state, const std::uint8_t* data, std::size_t blocks) {
#if defined(__x86_64__)
    static const bool extensions = has_sha_extensions();
    if (extensions) {
        compress_with_sha_extensions(state, data, blocks);
        return;
    }
#endif
    for (std::size_t i = 0; i < blocks; ++i) {
        compress(state, data + 64 * i);
    }
}

}  // namespace

std::array<std::uint8_t, 32> sha256(std::string_view bytes) {
    std::array<std::uint32_t, 8> state = INITIAL_STATE;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::size_t full_blocks = bytes.size() / 64;
    compress_blocks(state, data, full_blocks);

    // Padding: 0x80, zeros, then the message length in bits, big-endian; one
    // or two final blocks.
    std::array<std::uint8_t, 128> tail{};
    const std::size_t rest = bytes.size() % 64;
    for (std::size_t i = 0; i < rest; ++i) {
        tail[i] = data[64 * full_blocks + i];
    }
    tail[rest] = 0x80;
    const std::size_t tail_length = rest < 56 ? 64 : 128;
    const std::uint64_t bit_length = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (std::size_t i = 0; i < 8; ++i) {
        tail[tail_length - 1 - i] = static_cast<std::uint8_t>(bit_length >> (8 * i));
    }
    compress_blocks(state, tail.data(), tail_length / 64);

    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < 8; ++i) {
        for (std::size_t k = 0; k < 4; ++k) {
            digest[4 * i + k] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * k));
        }
    }
    return digest;
}

std::string sha256_hex(std::string_view bytes) {
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string text;
    text.reserve(64);
    for (const std::uint8_t byte : sha256(bytes)) {
        text.push_back(DIGITS[byte >> 4]);
        text.push_back(DIGITS[byte & 0x0F]);
    }
    return text;
}

}  // namespace builder
