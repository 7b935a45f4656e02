#include "scan/png_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace idr::scan {
namespace {

// ---------------------------------------------------------------- checksums

// The stream's checksums are our own: zlib's are not linked into the
// reading programs at start (it comes only with libspng, loaded with the
// first scan), and its Adler-32 goes a byte at a time.

// Adler-32 of the zlib stream. 5552 bytes is the most before the 32-bit
// sums could overflow (zlib's NMAX). Sixteen bytes at a time, the running
// sums of a chunk follow from its byte sum and its weighted sum (byte i
// counts 16 - i times), which need no chain of additions byte to byte.
std::uint32_t adler32(const std::uint8_t* p, std::size_t n) {
    constexpr std::uint32_t kBase = 65521;
    constexpr std::size_t kMost = 5552;
    std::uint32_t a = 1, b = 0;
    while (n > 0) {
        std::size_t k = std::min(n, kMost);
        n -= k;
#if defined(__SSE2__)
        const std::size_t blocks = k / 16;
        if (blocks > 0) {
            const __m128i zero = _mm_setzero_si128();
            const __m128i weights_lo = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
            const __m128i weights_hi = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
            __m128i sum = zero;       // bytes so far (two 64-bit halves)
            __m128i sum_before = zero;  // the byte sums before each block, added up
            __m128i weighted = zero;  // four 32-bit lanes
            for (std::size_t j = 0; j < blocks; ++j, p += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                sum_before = _mm_add_epi64(sum_before, sum);
                sum = _mm_add_epi64(sum, _mm_sad_epu8(v, zero));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weights_lo));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weights_hi));
            }
            alignas(16) std::uint64_t s[2], before[2];
            alignas(16) std::uint32_t w[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(s), sum);
            _mm_store_si128(reinterpret_cast<__m128i*>(before), sum_before);
            _mm_store_si128(reinterpret_cast<__m128i*>(w), weighted);
            const std::uint64_t bytes = s[0] + s[1];
            const std::uint64_t b_wide = b + 16 * (blocks * static_cast<std::uint64_t>(a) + before[0] + before[1]) +
                                         w[0] + w[1] + w[2] + w[3];
            a = static_cast<std::uint32_t>((a + bytes) % kBase);
            b = static_cast<std::uint32_t>(b_wide % kBase);
            k -= blocks * 16;
        }
#endif
        for (; k > 0; --k) {
            a += *p++;
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return b << 16 | a;
}

// Eight tables: eight bytes of a chunk at a time (slicing by eight).
constexpr std::array<std::array<std::uint32_t, 256>, 8> crc_tables() {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t n = 0; n < 256; ++n) t[k][n] = t[0][t[k - 1][n] & 255] ^ (t[k - 1][n] >> 8);
    return t;
}
constexpr auto kCrc = crc_tables();

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t c = 0xffffffffu;
    for (; n >= 8; n -= 8, p += 8) {
        std::uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        if constexpr (std::endian::native == std::endian::big) {
            lo = __builtin_bswap32(lo);
            hi = __builtin_bswap32(hi);
        }
        lo ^= c;
        c = kCrc[7][lo & 255] ^ kCrc[6][(lo >> 8) & 255] ^ kCrc[5][(lo >> 16) & 255] ^ kCrc[4][lo >> 24] ^
            kCrc[3][hi & 255] ^ kCrc[2][(hi >> 8) & 255] ^ kCrc[1][(hi >> 16) & 255] ^ kCrc[0][hi >> 24];
    }
    for (; n > 0; --n) c = kCrc[0][(c ^ *p++) & 255] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

// ---------------------------------------------------------------- deflate tables

constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr std::size_t kWindow = 32768;
constexpr int kLitLenCodes = 286;
constexpr int kDistCodes = 30;
constexpr int kEndOfBlock = 256;

struct CodeTables {
    std::array<std::uint8_t, kMaxMatch + 1> length_code{};  // length -> code - 257
    std::array<std::uint16_t, 29> length_base{};
    std::array<std::uint8_t, 29> length_extra{};
    std::array<std::uint8_t, 512> dist_code{};  // see dist_code_of
    std::array<std::uint16_t, kDistCodes> dist_base{};
    std::array<std::uint8_t, kDistCodes> dist_extra{};
};

constexpr CodeTables code_tables() {
    CodeTables t{};
    int base = 3;
    for (int code = 0; code < 28; ++code) {
        const int extra = code < 8 ? 0 : (code - 4) / 4;
        t.length_base[static_cast<std::size_t>(code)] = static_cast<std::uint16_t>(base);
        t.length_extra[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(extra);
        for (int k = 0; k < (1 << extra); ++k) t.length_code[static_cast<std::size_t>(base + k)] = static_cast<std::uint8_t>(code);
        base += 1 << extra;
    }
    // 258 has a code of its own (285), not the last one of code 284's range.
    t.length_base[28] = 258;
    t.length_extra[28] = 0;
    t.length_code[258] = 28;
    int dist = 1;
    for (int code = 0; code < kDistCodes; ++code) {
        const int extra = code < 4 ? 0 : (code - 2) / 2;
        t.dist_base[static_cast<std::size_t>(code)] = static_cast<std::uint16_t>(dist);
        t.dist_extra[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(extra);
        for (int k = 0; k < (1 << extra); ++k) {
            const int d = dist + k - 1;  // 0-based
            if (d < 256) {
                t.dist_code[static_cast<std::size_t>(d)] = static_cast<std::uint8_t>(code);
            } else {
                t.dist_code[static_cast<std::size_t>(256 + (d >> 7))] = static_cast<std::uint8_t>(code);
            }
        }
        dist += 1 << extra;
    }
    return t;
}
constexpr CodeTables kCodes = code_tables();

inline int dist_code_of(std::uint32_t dist) {
    const std::uint32_t d = dist - 1;
    return d < 256 ? kCodes.dist_code[d] : kCodes.dist_code[256 + (d >> 7)];
}

// ---------------------------------------------------------------- matching

// One symbol of the parse: a literal byte, or a match (bit 31) kept as
// deflate codes it: its length code (bits 23..27, less 257), its distance
// code (bits 18..22), and the extra bits of each (bits 13..17 and 0..12).
constexpr std::uint32_t kMatchFlag = 1u << 31;

inline std::uint32_t match_symbol(int length, std::size_t dist) {
    const std::uint32_t lc = kCodes.length_code[static_cast<std::size_t>(length)];
    const auto dc = static_cast<std::uint32_t>(dist_code_of(static_cast<std::uint32_t>(dist)));
    const std::uint32_t length_extra = static_cast<std::uint32_t>(length) - kCodes.length_base[lc];
    const std::uint32_t dist_extra = static_cast<std::uint32_t>(dist) - kCodes.dist_base[dc];
    return kMatchFlag | lc << 23 | dc << 18 | length_extra << 13 | dist_extra;
}
inline std::size_t length_code_of(std::uint32_t symbol) { return (symbol >> 23) & 31; }
inline std::size_t dist_code_of_symbol(std::uint32_t symbol) { return (symbol >> 18) & 31; }

// How many bytes from `a` equal those `dist` before, up to `most`.
inline int match_length(const std::uint8_t* a, std::size_t dist, int most) {
    const std::uint8_t* b = a - dist;
    int n = 0;
    while (n + 8 <= most) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + __builtin_ctzll(x ^ y) / 8;
        n += 8;
    }
    while (n < most && a[n] == b[n]) ++n;
    return n;
}

constexpr int kHashBits = 15;

// Greedy: at each byte the longest of three candidates (the pixel before,
// the pixel above, the last place these four bytes began), a literal when
// none gives three bytes. Inside a match nothing is looked at. Most
// candidates differ at once: their first three bytes are compared before
// the match is measured.
//
// The parse goes a block's worth of symbols at a time, so that they are
// coded while still in the cache.
class Parser {
public:
    Parser(const std::uint8_t* data, std::size_t n, std::size_t pixel, std::size_t row)
        : data_(data), n_(n), last_(std::size_t{1} << kHashBits, -1), candidates_{pixel, row <= kWindow ? row : 0} {}

    bool done() const { return i_ >= n_; }

    // The next symbols, at most `most` of them, into `symbols` (emptied first).
    void next(std::vector<std::uint32_t>& symbols, std::size_t most_symbols) {
        symbols.clear();
        constexpr std::uint32_t kThree = 0xffffff;  // the first three bytes of a little-endian load
        const auto load4 = [](const std::uint8_t* p) {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        };
        const std::uint8_t* const data = data_;
        const std::size_t n = n_;
        std::size_t i = i_;
        while (i < n && symbols.size() < most_symbols) {
            const int most = static_cast<int>(std::min<std::size_t>(kMaxMatch, n - i));
            int best = 0;
            std::size_t best_dist = 0;
            if (most >= 4) {
                const std::uint32_t here = load4(data + i);
                for (const std::size_t d : candidates_) {
                    if (d == 0 || d > i || ((here ^ load4(data + i - d)) & kThree) != 0) continue;
                    const int len = match_length(data + i, d, most);
                    if (len > best) best = len, best_dist = d;
                    if (best == most) break;  // paper: the pixel before already repeats as far as a match goes
                }
                if (best < 32) {
                    std::int32_t& slot = last_[(here * 2654435761u) >> (32 - kHashBits)];
                    const std::int32_t seen = slot;
                    slot = static_cast<std::int32_t>(i);
                    if (seen >= 0 && i - static_cast<std::size_t>(seen) <= kWindow && load4(data + seen) == here) {
                        const std::size_t d = i - static_cast<std::size_t>(seen);
                        const int len = match_length(data + i, d, most);
                        if (len > best) best = len, best_dist = d;
                    }
                }
            } else if (most == kMinMatch) {
                // The last three bytes: only the two fixed candidates.
                for (const std::size_t d : candidates_) {
                    if (d == 0 || d > i) continue;
                    const int len = match_length(data + i, d, most);
                    if (len > best) best = len, best_dist = d;
                }
            }
            if (best >= kMinMatch) {
                symbols.push_back(match_symbol(best, best_dist));
                i += static_cast<std::size_t>(best);
            } else {
                symbols.push_back(data[i]);
                ++i;
            }
        }
        i_ = i;
    }

private:
    const std::uint8_t* data_;
    std::size_t n_;
    std::size_t i_ = 0;
    std::vector<std::int32_t> last_;
    std::size_t candidates_[2];
};

// ---------------------------------------------------------------- Huffman codes

// Code lengths for `freq` (0 = unused), none longer than `limit`. A code
// that comes out too long is made again with the counts halved (kept above
// zero), which flattens it: the result is a little larger, never invalid.
void code_lengths(const std::uint32_t* freq_in, int count, int limit, std::uint8_t* lengths) {
    std::vector<std::uint32_t> freq(freq_in, freq_in + count);
    std::fill(lengths, lengths + count, std::uint8_t{0});
    std::vector<int> used;
    for (int s = 0; s < count; ++s)
        if (freq[static_cast<std::size_t>(s)] > 0) used.push_back(s);
    if (used.empty()) return;
    if (used.size() == 1) {
        lengths[used[0]] = 1;
        return;
    }
    const std::size_t leaves = used.size();
    std::vector<std::uint64_t> weight(2 * leaves);
    std::vector<int> parent(2 * leaves);
    std::vector<int> order(leaves);
    for (;;) {
        // Two queues: the leaves by weight, and the joined nodes, which come
        // out in order of weight as they are made.
        for (std::size_t k = 0; k < leaves; ++k) order[k] = static_cast<int>(k);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return freq[static_cast<std::size_t>(used[static_cast<std::size_t>(a)])] <
                   freq[static_cast<std::size_t>(used[static_cast<std::size_t>(b)])];
        });
        for (std::size_t k = 0; k < leaves; ++k)
            weight[k] = freq[static_cast<std::size_t>(used[static_cast<std::size_t>(order[k])])];
        std::size_t leaf = 0, joined = leaves, next = leaves;
        auto take = [&]() -> std::size_t {
            if (leaf < leaves && (joined >= next || weight[leaf] <= weight[joined])) return leaf++;
            return joined++;
        };
        while (next < 2 * leaves - 1) {
            const std::size_t a = take();
            const std::size_t b = take();
            weight[next] = weight[a] + weight[b];
            parent[a] = parent[b] = static_cast<int>(next);
            ++next;
        }
        // Depths from the root down: every parent is made after its children.
        std::vector<int> depth(2 * leaves - 1, 0);
        int longest = 0;
        for (std::size_t k = 2 * leaves - 2; k-- > 0;) {
            depth[k] = depth[static_cast<std::size_t>(parent[k])] + 1;
            if (k < leaves) longest = std::max(longest, depth[k]);
        }
        if (longest <= limit) {
            for (std::size_t k = 0; k < leaves; ++k)
                lengths[used[static_cast<std::size_t>(order[k])]] = static_cast<std::uint8_t>(depth[k]);
            return;
        }
        for (const int s : used) freq[static_cast<std::size_t>(s)] = (freq[static_cast<std::size_t>(s)] + 1) / 2;
    }
}

// Canonical codes (RFC 1951, 3.2.2), bit-reversed: deflate sends a code's
// first bit first into a stream filled from the low bit.
void canonical_codes(const std::uint8_t* lengths, int count, std::uint16_t* codes) {
    std::array<int, 16> per_length{};
    for (int s = 0; s < count; ++s) ++per_length[lengths[s]];
    per_length[0] = 0;
    std::array<int, 16> next{};
    int code = 0;
    for (int len = 1; len < 16; ++len) {
        code = (code + per_length[static_cast<std::size_t>(len - 1)]) << 1;
        next[static_cast<std::size_t>(len)] = code;
    }
    for (int s = 0; s < count; ++s) {
        const int len = lengths[s];
        if (len == 0) continue;
        int c = next[static_cast<std::size_t>(len)]++;
        int reversed = 0;
        for (int k = 0; k < len; ++k, c >>= 1) reversed = (reversed << 1) | (c & 1);
        codes[s] = static_cast<std::uint16_t>(reversed);
    }
}

// ---------------------------------------------------------------- bits

class BitWriter {
public:
    // `capacity`: the most bytes the caller will write.
    explicit BitWriter(std::size_t capacity) : buf_(new std::uint8_t[capacity + 8]) {}
    void put(std::uint64_t bits, int count) {
        acc_ |= bits << used_;
        used_ += count;
        if (used_ >= 32) {
            auto word = static_cast<std::uint32_t>(acc_);
            if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
            std::memcpy(buf_.get() + size_, &word, 4);  // low byte first, as deflate's bits run
            size_ += 4;
            acc_ >>= 32;
            used_ -= 32;
        }
    }
    void put_byte_aligned(std::uint8_t b) { buf_[size_++] = b; }
    void align() {
        while (used_ > 0) {
            buf_[size_++] = static_cast<std::uint8_t>(acc_);
            acc_ >>= 8;
            used_ = std::max(used_ - 8, 0);
        }
        acc_ = 0;
    }
    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return buf_.get(); }

private:
    std::unique_ptr<std::uint8_t[]> buf_;  // not zeroed: every byte is written before it is read
    std::size_t size_ = 0;
    std::uint64_t acc_ = 0;
    int used_ = 0;
};

// ---------------------------------------------------------------- blocks

constexpr std::array<int, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// One block with its own codes (BTYPE 2) for symbols [first, last).
void write_block(BitWriter& out, const std::uint32_t* first, const std::uint32_t* last, bool final) {
    std::array<std::uint32_t, kLitLenCodes> lit_freq{};
    std::array<std::uint32_t, kDistCodes> dist_freq{};
    for (const std::uint32_t* s = first; s != last; ++s) {
        if (*s & kMatchFlag) {
            ++lit_freq[257 + length_code_of(*s)];
            ++dist_freq[dist_code_of_symbol(*s)];
        } else {
            ++lit_freq[*s];
        }
    }
    lit_freq[kEndOfBlock] = 1;
    if (first == last) lit_freq[0] = 1;  // a code of two symbols, as for the distances below
    // Two distance codes at least, so that the distance code is complete
    // (some readers refuse a code of one symbol, or none).
    int dist_used = 0;
    for (auto f : dist_freq) dist_used += f > 0;
    for (std::size_t k = 0; dist_used < 2; ++k)
        if (dist_freq[k] == 0) dist_freq[k] = 1, ++dist_used;

    std::array<std::uint8_t, kLitLenCodes> lit_len{};
    std::array<std::uint8_t, kDistCodes> dist_len{};
    code_lengths(lit_freq.data(), kLitLenCodes, 15, lit_len.data());
    code_lengths(dist_freq.data(), kDistCodes, 15, dist_len.data());
    std::array<std::uint16_t, kLitLenCodes> lit_code{};
    std::array<std::uint16_t, kDistCodes> dist_code{};
    canonical_codes(lit_len.data(), kLitLenCodes, lit_code.data());
    canonical_codes(dist_len.data(), kDistCodes, dist_code.data());

    int hlit = kLitLenCodes;
    while (hlit > 257 && lit_len[static_cast<std::size_t>(hlit - 1)] == 0) --hlit;
    int hdist = kDistCodes;
    while (hdist > 1 && dist_len[static_cast<std::size_t>(hdist - 1)] == 0) --hdist;

    // Both codes' lengths as one run-length coded list (codes 16, 17, 18).
    std::vector<std::uint8_t> all(lit_len.begin(), lit_len.begin() + hlit);
    all.insert(all.end(), dist_len.begin(), dist_len.begin() + hdist);
    struct Rle {
        std::uint8_t symbol, extra;
    };
    std::vector<Rle> rle;
    for (std::size_t i = 0; i < all.size();) {
        const std::uint8_t len = all[i];
        std::size_t run = 1;
        while (i + run < all.size() && all[i + run] == len) ++run;
        i += run;
        if (len == 0) {
            while (run >= 11) {
                const std::size_t r = std::min<std::size_t>(run, 138);
                rle.push_back({18, static_cast<std::uint8_t>(r - 11)});
                run -= r;
            }
            if (run >= 3) {
                rle.push_back({17, static_cast<std::uint8_t>(run - 3)});
                run = 0;
            }
        } else {
            rle.push_back({len, 0});
            --run;
            while (run >= 3) {
                const std::size_t r = std::min<std::size_t>(run, 6);
                rle.push_back({16, static_cast<std::uint8_t>(r - 3)});
                run -= r;
            }
        }
        for (; run > 0; --run) rle.push_back({len, 0});
    }
    std::array<std::uint32_t, 19> cl_freq{};
    for (const Rle& r : rle) ++cl_freq[r.symbol];
    std::array<std::uint8_t, 19> cl_len{};
    std::array<std::uint16_t, 19> cl_code{};
    code_lengths(cl_freq.data(), 19, 7, cl_len.data());
    canonical_codes(cl_len.data(), 19, cl_code.data());
    int hclen = 19;
    while (hclen > 4 && cl_len[static_cast<std::size_t>(kCodeLengthOrder[static_cast<std::size_t>(hclen - 1)])] == 0) --hclen;

    out.put(final ? 1 : 0, 1);
    out.put(2, 2);
    out.put(static_cast<std::uint64_t>(hlit - 257), 5);
    out.put(static_cast<std::uint64_t>(hdist - 1), 5);
    out.put(static_cast<std::uint64_t>(hclen - 4), 4);
    for (int k = 0; k < hclen; ++k) out.put(cl_len[static_cast<std::size_t>(kCodeLengthOrder[static_cast<std::size_t>(k)])], 3);
    for (const Rle& r : rle) {
        out.put(cl_code[r.symbol], cl_len[r.symbol]);
        if (r.symbol == 16) out.put(r.extra, 2);
        if (r.symbol == 17) out.put(r.extra, 3);
        if (r.symbol == 18) out.put(r.extra, 7);
    }

    for (const std::uint32_t* s = first; s != last; ++s) {
        if (*s & kMatchFlag) {
            const std::size_t lc = length_code_of(*s);
            const std::size_t dc = dist_code_of_symbol(*s);
            out.put(lit_code[257 + lc] | static_cast<std::uint64_t>((*s >> 13) & 31) << lit_len[257 + lc],
                    lit_len[257 + lc] + kCodes.length_extra[lc]);
            out.put(dist_code[dc] | static_cast<std::uint64_t>(*s & 0x1fff) << dist_len[dc],
                    dist_len[dc] + kCodes.dist_extra[dc]);
        } else {
            out.put(lit_code[*s], lit_len[*s]);
        }
    }
    out.put(lit_code[kEndOfBlock], lit_len[kEndOfBlock]);
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data, std::size_t size) {
    put_be32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    put_be32(out, crc32(out.data() + start, size + 4));
}

}  // namespace

std::vector<std::uint8_t> write_drawn_png(const std::uint8_t* pixels, int width, int height, int channels,
                                          std::size_t stride) {
    if (pixels == nullptr || width <= 0 || height <= 0 || (channels != 1 && channels != 3)) return {};
    const std::size_t row_pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
    const std::size_t row = row_pixels + 1;  // the filter byte first
    if (row > kMaxDrawnPngBytes / static_cast<std::size_t>(height)) return {};
    const std::size_t n = row * static_cast<std::size_t>(height);

    // The rows as the zlib stream holds them: each after its filter byte
    // (0, unfiltered).
    std::unique_ptr<std::uint8_t[]> raw(new std::uint8_t[n]);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* o = raw.get() + static_cast<std::size_t>(y) * row;
        const std::uint8_t* p = pixels + static_cast<std::size_t>(y) * stride;
        o[0] = 0;
        std::memcpy(o + 1, p, row_pixels);
    }

    // At most 15 + 5 bits for a length and 15 + 13 for a distance, 15 for a
    // literal, and a symbol a byte at most; a block's header is under 300
    // bytes.
    constexpr std::size_t kSymbolsPerBlock = 1 << 15;
    BitWriter deflated(2 + n * 6 + (n / kSymbolsPerBlock + 1) * 320 + 16);
    deflated.put_byte_aligned(0x78);  // deflate, 32 KB window
    deflated.put_byte_aligned(0x01);  // fastest; (0x78 << 8 | 0x01) is a multiple of 31
    Parser parser(raw.get(), n, static_cast<std::size_t>(channels), row);
    std::vector<std::uint32_t> symbols;
    symbols.reserve(kSymbolsPerBlock);
    do {
        parser.next(symbols, kSymbolsPerBlock);
        write_block(deflated, symbols.data(), symbols.data() + symbols.size(), parser.done());
    } while (!parser.done());
    deflated.align();
    const std::uint32_t check = adler32(raw.get(), n);
    for (int shift = 24; shift >= 0; shift -= 8) deflated.put_byte_aligned(static_cast<std::uint8_t>(check >> shift));
    if (deflated.size() > 0x7fffffffu) return {};

    std::vector<std::uint8_t> png;
    png.reserve(deflated.size() + 64);
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    png.insert(png.end(), signature, signature + 8);
    std::uint8_t header[13];
    for (int k = 0; k < 4; ++k) {
        header[k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(width) >> (24 - 8 * k));
        header[4 + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(height) >> (24 - 8 * k));
    }
    header[8] = 8;                      // bits per sample
    header[9] = channels == 3 ? 2 : 0;  // truecolour or grey
    header[10] = header[11] = header[12] = 0;  // deflate, adaptive filtering, not interlaced
    put_chunk(png, "IHDR", header, sizeof header);
    put_chunk(png, "IDAT", deflated.data(), deflated.size());
    put_chunk(png, "IEND", nullptr, 0);
    return png;
}

}  // namespace idr::scan
