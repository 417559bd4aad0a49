// RFC 1321 MD5, computed block by block straight from the caller's bytes.
#include "session/md5.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tallyro::session {
namespace {

constexpr std::size_t kBlockSize = 64;
// Where the 64-bit bit count starts in the last block.
constexpr std::size_t kLengthOffset = 56;

// T[i] = floor(2^32 * |sin(i + 1)|), i counted in radians; the RFC fixes them as integers.
constexpr std::array<std::uint32_t, 64> kT = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

struct State {
    std::uint32_t a = 0x67452301;
    std::uint32_t b = 0xefcdab89;
    std::uint32_t c = 0x98badcfe;
    std::uint32_t d = 0x10325476;
};

// The message words are little-endian whatever the host's byte order.
std::uint32_t loadLe32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void storeLe64(unsigned char* p, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

inline std::uint32_t roundF(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (~x & z);
}
inline std::uint32_t roundG(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & z) | (y & ~z);
}
inline std::uint32_t roundH(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return x ^ y ^ z;
}
inline std::uint32_t roundI(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return y ^ (x | ~z);
}

// One RFC 1321 operation: a = b + ((a + fn(b, c, d) + x + t) <<< s).
template <std::uint32_t (*Fn)(std::uint32_t, std::uint32_t, std::uint32_t)>
inline void step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                 std::uint32_t x, std::uint32_t t, int s) {
    a = b + std::rotl(a + Fn(b, c, d) + x + t, s);
}

void transform(State& state, const unsigned char* block) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = loadLe32(block + 4 * i);
    }
    std::uint32_t a = state.a;
    std::uint32_t b = state.b;
    std::uint32_t c = state.c;
    std::uint32_t d = state.d;

    // Each round takes sixteen steps in groups of four, the roles of a, b, c, d rotating
    // within a group; rounds 2 to 4 visit the message words in the order 1+5k, 5+3k, 7k (mod 16).
    for (int k = 0; k < 16; k += 4) {
        step<roundF>(a, b, c, d, x[k], kT[k], 7);
        step<roundF>(d, a, b, c, x[k + 1], kT[k + 1], 12);
        step<roundF>(c, d, a, b, x[k + 2], kT[k + 2], 17);
        step<roundF>(b, c, d, a, x[k + 3], kT[k + 3], 22);
    }
    for (int k = 0; k < 16; k += 4) {
        step<roundG>(a, b, c, d, x[(1 + 5 * k) & 15], kT[16 + k], 5);
        step<roundG>(d, a, b, c, x[(6 + 5 * k) & 15], kT[17 + k], 9);
        step<roundG>(c, d, a, b, x[(11 + 5 * k) & 15], kT[18 + k], 14);
        step<roundG>(b, c, d, a, x[(16 + 5 * k) & 15], kT[19 + k], 20);
    }
    for (int k = 0; k < 16; k += 4) {
        step<roundH>(a, b, c, d, x[(5 + 3 * k) & 15], kT[32 + k], 4);
        step<roundH>(d, a, b, c, x[(8 + 3 * k) & 15], kT[33 + k], 11);
        step<roundH>(c, d, a, b, x[(11 + 3 * k) & 15], kT[34 + k], 16);
        step<roundH>(b, c, d, a, x[(14 + 3 * k) & 15], kT[35 + k], 23);
    }
    for (int k = 0; k < 16; k += 4) {
        step<roundI>(a, b, c, d, x[(7 * k) & 15], kT[48 + k], 6);
        step<roundI>(d, a, b, c, x[(7 + 7 * k) & 15], kT[49 + k], 10);
        step<roundI>(c, d, a, b, x[(14 + 7 * k) & 15], kT[50 + k], 15);
        step<roundI>(b, c, d, a, x[(21 + 7 * k) & 15], kT[51 + k], 21);
    }

    state.a += a;
    state.b += b;
    state.c += c;
    state.d += d;
}

void appendHex(std::string& out, std::uint32_t word) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 4; ++i) {
        const unsigned byte = (word >> (8 * i)) & 0xff;
        out.push_back(kDigits[byte >> 4]);
        out.push_back(kDigits[byte & 0xf]);
    }
}

}  // namespace

std::string Md5HexDigest(std::string_view bytes) {
    State state;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = bytes.size();

    const std::size_t whole = size - size % kBlockSize;
    for (std::size_t offset = 0; offset < whole; offset += kBlockSize) {
        transform(state, data + offset);
    }

    // The tail, the 0x80 marker, zeros and the bit count fill one block, or two when the tail
    // leaves fewer than nine bytes free.
    unsigned char last[2 * kBlockSize] = {};
    const std::size_t tail = size - whole;
    if (tail != 0) {
        std::memcpy(last, data + whole, tail);
    }
    last[tail] = 0x80;
    const std::size_t lastSize = tail < kLengthOffset ? kBlockSize : 2 * kBlockSize;
    // Only the low 64 bits of the bit count are kept, so the shift may wrap by design.
    storeLe64(last + lastSize - 8, static_cast<std::uint64_t>(size) << 3);
    for (std::size_t offset = 0; offset < lastSize; offset += kBlockSize) {
        transform(state, last + offset);
    }

    std::string hex;
    hex.reserve(32);
    appendHex(hex, state.a);
    appendHex(hex, state.b);
    appendHex(hex, state.c);
    appendHex(hex, state.d);
    return hex;
}

}  // namespace tallyro::session
