#include "scan/jpeg_luma_scan.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>

namespace idr::scan {
namespace {

// ---- Huffman tables ----------------------------------------------------------------
//
// One look-up of the next kFastBits bits gives, for most codes, the code's
// length and its symbol; where the code and the value bits that follow it
// fit in those bits together, the coefficient itself. Longer codes are
// decoded from the canonical lengths.

constexpr int kFastBits = 12;
constexpr std::uint32_t kWhole = 0x80;  // the entry holds the value too

// An entry: bits 0-5 the bits it accounts for (0: not in the table; a shift
// by the entry's low six bits is one instruction), bit 7 kWhole, bits 8-15
// the symbol (for whole entries its run of zeros alone), bits 16-31 the
// value, signed.
struct HuffTable {
    std::array<std::uint32_t, 1u << kFastBits> fast{};
    std::array<std::int32_t, 18> maxcode{};    // the largest code of each length, -1 if none
    std::array<std::int32_t, 18> valoffset{};  // symbol index of a length's first code, less that code
    std::array<std::uint8_t, 256> symbols{};
};

// The value of `bits` read as the `size`-bit magnitude category of JPEG.
inline int extend(int bits, int size) { return bits < (1 << (size - 1)) ? bits - (1 << size) + 1 : bits; }

// The library has checked the table (it refuses tables whose codes do not
// fit their lengths) before this runs.
bool build_table(const JHUFF_TBL* source, bool dc, HuffTable& t) {
    if (source == nullptr) return false;
    int count = 0;
    for (int len = 1; len <= 16; ++len) count += source->bits[len];
    if (count > 256) return false;
    std::copy(source->huffval, source->huffval + count, t.symbols.begin());
    t.fast.fill(0);
    int code = 0, index = 0;
    for (int len = 1; len <= 16; ++len) {
        const int n = source->bits[len];
        t.valoffset[len] = index - code;
        t.maxcode[len] = n ? code + n - 1 : -1;
        for (int i = 0; i < n; ++i, ++code, ++index) {
            if (len > kFastBits) continue;
            if (code >= (1 << len)) return false;
            const int rs = t.symbols[index];
            const int size = rs & 15;
            if (dc && rs > 15) return false;
            const int run = dc ? 0 : rs >> 4;
            const int spare = kFastBits - len;
            for (int fill = 0; fill < (1 << spare); ++fill) {
                const int at = (code << spare) | fill;
                std::uint32_t entry;
                const bool value_fits = size > 0 && len + size <= kFastBits;
                if (!dc && rs == 0x00) {
                    // End of block: a run that carries past the end and
                    // writes a zero to the block's spare slot.
                    entry = static_cast<std::uint32_t>(len) | kWhole | (63u << 8);
                } else if (!dc && rs == 0xF0) {
                    // Sixteen zeros: fifteen skipped and a zero written.
                    entry = static_cast<std::uint32_t>(len) | kWhole | (15u << 8);
                } else if (value_fits) {
                    const int raw = (fill >> (spare - size)) & ((1 << size) - 1);
                    const int value = extend(raw, size);
                    entry = static_cast<std::uint32_t>(len + size) | kWhole | (static_cast<std::uint32_t>(run) << 8) |
                            (static_cast<std::uint32_t>(value) << 16);
                } else if (dc && size == 0) {
                    entry = static_cast<std::uint32_t>(len) | kWhole;  // a difference of 0
                } else {
                    entry = static_cast<std::uint32_t>(len) | (static_cast<std::uint32_t>(rs) << 8);
                }
                t.fast[static_cast<std::size_t>(at)] = entry;
            }
        }
        code <<= 1;
    }
    t.maxcode[17] = 0x7fffffff;
    return true;
}

// ---- Bits ----------------------------------------------------------------------------

// The scan's bytes with the stuffed zeros taken out, in pieces between
// restart markers, followed by enough zero bytes that reading past a piece's
// end stays inside the buffer (what was read past is caught afterwards).
constexpr std::size_t kTail = 4096;

#define IDR_INLINE __attribute__((always_inline)) inline

class BitReader {
public:
    BitReader(const std::uint8_t* at) : base_(at), next_(at) {}

    // At least 56 bits in the buffer afterwards.
    IDR_INLINE void refill() {
        std::uint64_t word;
        std::memcpy(&word, next_, 8);
        word = __builtin_bswap64(word);
        bits_ |= word >> count_;
        next_ += (63 - count_) >> 3;
        count_ |= 56;
    }
    IDR_INLINE std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(bits_ >> (64 - n)); }
    IDR_INLINE void skip(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    IDR_INLINE int take(int n) {
        const int v = static_cast<int>(peek(n));
        skip(n);
        return v;
    }
    IDR_INLINE int count() const { return count_; }
    std::size_t bits_read() const { return static_cast<std::size_t>(next_ - base_) * 8 - static_cast<std::size_t>(count_); }

private:
    const std::uint8_t* base_;
    const std::uint8_t* next_;
    std::uint64_t bits_ = 0;
    int count_ = 0;
};

// The symbol of a code too long for the fast table, whose length goes to
// `len`; or -1 for bits that are no code. `next16`: the next 16 bits.
int slow_symbol(const HuffTable& t, std::uint32_t next16, int& len) {
    for (len = kFastBits + 1; len <= 16; ++len) {
        const auto code = static_cast<std::int32_t>(next16 >> (16 - len));
        if (code <= t.maxcode[static_cast<std::size_t>(len)]) {
            return t.symbols[static_cast<std::size_t>((code + t.valoffset[static_cast<std::size_t>(len)]) & 0xFF)];
        }
    }
    return -1;
}

// The symbol of an entry that does not hold its value, with its code read
// past; -1 for bits that are no code. Needs 16 bits in the buffer.
IDR_INLINE int symbol_of(const HuffTable& t, std::uint32_t entry, BitReader& in) {
    if (entry) {
        in.skip(static_cast<int>(entry & 63));
        return static_cast<int>(entry >> 8) & 0xFF;
    }
    int len;
    const int rs = slow_symbol(t, in.peek(16), len);
    if (rs >= 0) in.skip(len);
    return rs;
}

// Zig-zag position -> natural position. Positions past the block go to a
// spare slot: the zero an end of block writes, or a value after a run that
// overshoots (damage: the file goes to the library).
constexpr std::array<std::uint8_t, 128> kNatural = [] {
    constexpr std::uint8_t zigzag[64] = {
        0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
        41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
        30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    std::array<std::uint8_t, 128> t{};
    for (int k = 0; k < 128; ++k) t[static_cast<std::size_t>(k)] = k < 64 ? zigzag[k] : 64;
    return t;
}();

// Decodes one block's coefficients into `block` (65 zeroed entries, the last
// a spare) or, with `block` null, only reads past them. False for bits that
// are no code or a block that overruns.
IDR_INLINE bool decode_block(BitReader& in, const HuffTable& dc, const HuffTable& ac, int& last_dc,
                                  std::int16_t* block) {
    in.refill();
    std::uint32_t e = dc.fast[in.peek(kFastBits)];
    int diff;
    if (e & kWhole) {
        in.skip(static_cast<int>(e & 63));
        diff = static_cast<std::int32_t>(e) >> 16;
    } else {
        const int rs = symbol_of(dc, e, in);
        if (rs < 0) return false;
        diff = rs ? extend(in.take(rs), rs) : 0;
    }
    // Wrapping as the library's int does: damaged files can pile up differences.
    last_dc = static_cast<int>(static_cast<unsigned>(last_dc) + static_cast<unsigned>(diff));
    if (block == nullptr) {
        for (int k = 1; k < 64;) {
            if (in.count() < 32) in.refill();
            e = ac.fast[in.peek(kFastBits)];
            if (e & kWhole) {
                in.skip(static_cast<int>(e & 63));
                k += static_cast<int>((e >> 8) & 0xFF) + 1;
                continue;
            }
            const int rs = symbol_of(ac, e, in);
            if (rs < 0) return false;
            const int size = rs & 15;
            if (size) {
                in.skip(size);
                k += (rs >> 4) + 1;
            } else if ((rs >> 4) == 15) {
                k += 16;
            } else {
                break;
            }
        }
        return true;
    }
    block[0] = static_cast<std::int16_t>(last_dc);
    for (int k = 1; k < 64;) {
        in.refill();
        e = ac.fast[in.peek(kFastBits)];
        if (e & kWhole) {
            in.skip(static_cast<int>(e & 63));
            k += static_cast<int>((e >> 8) & 0xFF);
            block[kNatural[static_cast<std::size_t>(k)]] = static_cast<std::int16_t>(static_cast<std::int32_t>(e) >> 16);
            ++k;
            continue;
        }
        const int rs = symbol_of(ac, e, in);
        if (rs < 0) return false;
        const int size = rs & 15;
        if (size) {
            k += rs >> 4;
            block[kNatural[static_cast<std::size_t>(k)]] = static_cast<std::int16_t>(extend(in.take(size), size));
            ++k;
        } else if ((rs >> 4) == 15) {
            k += 16;
        } else {
            break;
        }
    }
    return block[64] == 0;
}

// ---- The reduced inverse transform ---------------------------------------------------
//
// 8 x 8 coefficients to 4 x 4 samples, the integer arithmetic of the
// library's reduced transform: 13-bit constants, two extra bits between the
// passes, the fourth row and column left out.

constexpr int kConstBits = 13;
constexpr int kPass1Bits = 2;
constexpr int kFix0_211164243 = 1730;
constexpr int kFix0_509795579 = 4176;
constexpr int kFix0_601344887 = 4926;
constexpr int kFix0_765366865 = 6270;
constexpr int kFix0_899976223 = 7373;
constexpr int kFix1_061594337 = 8697;
constexpr int kFix1_451774981 = 11893;
constexpr int kFix1_847759065 = 15137;
constexpr int kFix2_172734803 = 17799;
constexpr int kFix2_562915447 = 20995;

// Eight columns, then four rows, at a time (AVX2), in 32-bit lanes. Exact
// where no sum can leave them: with every dequantized coefficient within
// +-kLaneLimit the largest is under 1.8e9. A block with larger ones, or
// with samples far outside the range (none in a file a real encoder wrote
// from 8-bit samples), sends the file to the library. False for those.
constexpr int kLaneLimit = 1200;

#define IDR_AVX2 __attribute__((target("avx2"), always_inline)) inline

IDR_AVX2 __m256i splat8(int v) { return _mm256_set1_epi32(v); }
IDR_AVX2 __m128i splat4(int v) { return _mm_set1_epi32(v); }
IDR_AVX2 __m256i add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
IDR_AVX2 __m128i add(__m128i a, __m128i b) { return _mm_add_epi32(a, b); }
IDR_AVX2 __m256i sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
IDR_AVX2 __m128i sub(__m128i a, __m128i b) { return _mm_sub_epi32(a, b); }

// A pair of 16-bit constants for _mm*_madd_epi16: `first` multiplies the
// low element of each pair, `second` the high one.
IDR_AVX2 __m256i pair8(int first, int second) {
    return _mm256_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(second) << 16) |
                                              (static_cast<std::uint32_t>(first) & 0xFFFF)));
}
IDR_AVX2 __m128i pair4(int first, int second) { return _mm256_castsi256_si128(pair8(first, second)); }

// Two rows' (16 coefficients') magnitudes within their limits.
IDR_AVX2 __m256i within(__m256i c, const std::uint16_t* limit) {
    const __m256i magnitude = _mm256_abs_epi16(c);
    const __m256i cap = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(limit));
    return _mm256_cmpeq_epi16(_mm256_min_epu16(magnitude, cap), magnitude);
}

// Rows a and b of the dequantized block, interleaved for madd: the pairs
// (a, b) of each column, columns 0-3 in the low lane, 4-7 in the high one.
IDR_AVX2 __m256i interleaved(__m128i a, __m128i b) {
    return _mm256_set_m128i(_mm_unpackhi_epi16(a, b), _mm_unpacklo_epi16(a, b));
}

// A row of the first pass's output, columns j and j + 4 as a 16-bit pair.
IDR_AVX2 __m128i pairs(__m256i w) {
    return _mm_blend_epi16(_mm256_castsi256_si128(w), _mm_slli_epi32(_mm256_extracti128_si256(w, 1), 16), 0xAA);
}

// The quantization table as the transform uses it.
struct Dequantizer {
    alignas(32) std::int16_t step[64];    // the library's 16-bit multipliers
    alignas(32) std::uint16_t limit[64];  // the largest coefficient whose product stays within kLaneLimit
};

// The second pass's sum descaled: the sample less the middle of the range.
IDR_AVX2 __m128i descaled(__m128i x) {
    constexpr int kShift2 = kConstBits + kPass1Bits + 3 + 1;
    return _mm_srai_epi32(add(x, splat4(1 << (kShift2 - 1))), kShift2);
}

// Leaves the block's coefficients zero.
__attribute__((target("avx2"))) bool idct_4x4_avx2(std::int16_t* in, const Dequantizer& dq, std::uint8_t* const* rows,
                                                   int col) {
    __m256i* const block = reinterpret_cast<__m256i*>(in);
    const __m256i r01 = _mm256_loadu_si256(block), r23 = _mm256_loadu_si256(block + 1);
    const __m256i r45 = _mm256_loadu_si256(block + 2), r67 = _mm256_loadu_si256(block + 3);
    const __m256i ok = _mm256_and_si256(_mm256_and_si256(within(r01, dq.limit), within(r23, dq.limit + 16)),
                                        _mm256_and_si256(within(r45, dq.limit + 32), within(r67, dq.limit + 48)));
    if (_mm256_movemask_epi8(ok) != -1) return false;
    for (int i = 0; i < 4; ++i) _mm256_storeu_si256(block + i, _mm256_setzero_si256());

    // Dequantized in 16 bits: every product is within +-kLaneLimit.
    const __m256i* const q = reinterpret_cast<const __m256i*>(dq.step);
    const __m256i d01 = _mm256_mullo_epi16(r01, _mm256_load_si256(q)), d23 = _mm256_mullo_epi16(r23, _mm256_load_si256(q + 1));
    const __m256i d67 = _mm256_mullo_epi16(r67, _mm256_load_si256(q + 3));
    const __m256i d45 = _mm256_mullo_epi16(r45, _mm256_load_si256(q + 2));
    const __m128i d0 = _mm256_castsi256_si128(d01), d1 = _mm256_extracti128_si256(d01, 1);
    const __m128i d2 = _mm256_castsi256_si128(d23), d3 = _mm256_extracti128_si256(d23, 1);
    const __m128i d5 = _mm256_extracti128_si256(d45, 1);
    const __m128i d6 = _mm256_castsi256_si128(d67), d7 = _mm256_extracti128_si256(d67, 1);

    // First pass, the eight columns at once, in 32-bit lanes.
    const __m256i p26 = interleaved(d2, d6), p75 = interleaved(d7, d5), p31 = interleaved(d3, d1);
    const __m256i tmp0 = _mm256_slli_epi32(_mm256_cvtepi16_epi32(d0), kConstBits + 1);
    const __m256i tmp2 = _mm256_madd_epi16(p26, pair8(kFix1_847759065, -kFix0_765366865));
    const __m256i tmp10 = add(tmp0, tmp2), tmp12 = sub(tmp0, tmp2);
    const __m256i odd0 = add(_mm256_madd_epi16(p75, pair8(-kFix0_211164243, kFix1_451774981)),
                             _mm256_madd_epi16(p31, pair8(-kFix2_172734803, kFix1_061594337)));
    const __m256i odd2 = add(_mm256_madd_epi16(p75, pair8(-kFix0_509795579, -kFix0_601344887)),
                             _mm256_madd_epi16(p31, pair8(kFix0_899976223, kFix2_562915447)));
    constexpr int kShift1 = kConstBits - kPass1Bits + 1;
    const __m256i round1 = splat8(1 << (kShift1 - 1));
    const __m256i w0 = _mm256_srai_epi32(add(add(tmp10, odd2), round1), kShift1);
    const __m256i w3 = _mm256_srai_epi32(add(sub(tmp10, odd2), round1), kShift1);
    const __m256i w1 = _mm256_srai_epi32(add(add(tmp12, odd0), round1), kShift1);
    const __m256i w2 = _mm256_srai_epi32(add(sub(tmp12, odd0), round1), kShift1);

    // Each row's columns j and j + 4 as a 16-bit pair (they fit: within
    // +-23,000), then by column: c0|c4, c1|c5, c2|c6, c3|c7 of the 4 rows.
    const __m128i m0 = pairs(w0), m1 = pairs(w1), m2 = pairs(w2), m3 = pairs(w3);
    const __m128i t0 = _mm_unpacklo_epi32(m0, m1), t1 = _mm_unpackhi_epi32(m0, m1);
    const __m128i t2 = _mm_unpacklo_epi32(m2, m3), t3 = _mm_unpackhi_epi32(m2, m3);
    const __m128i c04 = _mm_unpacklo_epi64(t0, t2), c15 = _mm_unpackhi_epi64(t0, t2);
    const __m128i c26 = _mm_unpacklo_epi64(t1, t3), c37 = _mm_unpackhi_epi64(t1, t3);

    // Second pass, the four rows at once.
    const __m128i e0 = _mm_madd_epi16(c04, pair4(1 << (kConstBits + 1), 0));
    const __m128i e2 = _mm_madd_epi16(c26, pair4(kFix1_847759065, -kFix0_765366865));
    const __m128i e10 = add(e0, e2), e12 = sub(e0, e2);
    const __m128i o0 = add(_mm_madd_epi16(c15, pair4(kFix1_061594337, kFix1_451774981)),
                           _mm_madd_epi16(c37, pair4(-kFix2_172734803, -kFix0_211164243)));
    const __m128i o2 = add(_mm_madd_epi16(c15, pair4(kFix2_562915447, -kFix0_601344887)),
                           _mm_madd_epi16(c37, pair4(kFix0_899976223, -kFix0_509795579)));
    const __m128i s0 = descaled(add(e10, o2)), s3 = descaled(sub(e10, o2));
    const __m128i s1 = descaled(add(e12, o0)), s2 = descaled(sub(e12, o0));
    // The library clamps to the sample range; values beyond +-512 it wraps
    // or saturates, as its build goes (no picture has them): those blocks
    // go to it.
    const __m128i high = _mm_max_epi32(_mm_max_epi32(s0, s1), _mm_max_epi32(s2, s3));
    const __m128i low = _mm_min_epi32(_mm_min_epi32(s0, s1), _mm_min_epi32(s2, s3));
    if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpgt_epi32(high, splat4(511)), _mm_cmplt_epi32(low, splat4(-512)))))
        return false;

    // Bytes by column (four rows each), then by row.
    const __m128i middle = _mm_set1_epi16(CENTERJSAMPLE);
    const __m128i bytes = _mm_packus_epi16(_mm_add_epi16(_mm_packs_epi32(s0, s1), middle),
                                           _mm_add_epi16(_mm_packs_epi32(s2, s3), middle));
    const __m128i by_row = _mm_shuffle_epi8(bytes, _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
    const int r0 = _mm_cvtsi128_si32(by_row), r1 = _mm_extract_epi32(by_row, 1);
    const int r2 = _mm_extract_epi32(by_row, 2), r3 = _mm_extract_epi32(by_row, 3);
    std::memcpy(rows[0] + col, &r0, 4);
    std::memcpy(rows[1] + col, &r1, 4);
    std::memcpy(rows[2] + col, &r2, 4);
    std::memcpy(rows[3] + col, &r3, 4);
    return true;
}

// ---- The scan --------------------------------------------------------------------------

struct Piece {
    std::size_t begin = 0, end = 0;  // in the unstuffed bytes
};

// Takes the stuffing out of the entropy-coded data at `at`, cut at restart
// markers, and finds where the scan ends. False when what follows the scan
// is anything but what a plain file ends with.
bool unstuff(const std::uint8_t* at, const std::uint8_t* end, std::vector<std::uint8_t>& clean,
             std::vector<Piece>& pieces, std::vector<int>& restarts) {
    clean.clear();
    pieces.clear();
    restarts.clear();
    clean.reserve(static_cast<std::size_t>(end - at) + kTail);
    Piece piece;
    const std::uint8_t* p = at;
    int marker = -1;
    while (p < end) {
        const auto* ff = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p)));
        if (ff == nullptr) {
            clean.insert(clean.end(), p, end);
            p = end;
            break;
        }
        clean.insert(clean.end(), p, ff);
        const std::uint8_t* q = ff + 1;
        while (q < end && *q == 0xFF) ++q;
        if (q == end) {
            p = end;
            break;
        }
        if (*q == 0) {
            clean.push_back(0xFF);
            p = q + 1;
            continue;
        }
        if (*q >= 0xD0 && *q <= 0xD7) {
            piece.end = clean.size();
            pieces.push_back(piece);
            piece.begin = clean.size();
            restarts.push_back(*q - 0xD0);
            p = q + 1;
            continue;
        }
        marker = *q;
        p = q + 1;
        break;
    }
    piece.end = clean.size();
    pieces.push_back(piece);
    clean.insert(clean.end(), kTail, 0);

    // After the scan: the end of the picture, or the comment and
    // application markers some writers add before it.
    while (marker >= 0 && marker != 0xD9) {
        const bool skippable = (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE;
        if (!skippable || end - p < 2) return false;
        const std::size_t length = (std::size_t{p[0]} << 8) | p[1];
        if (length < 2 || length > static_cast<std::size_t>(end - p)) return false;
        p += length;
        marker = -1;
        while (p < end) {
            if (*p++ != 0xFF) continue;
            while (p < end && *p == 0xFF) ++p;
            if (p == end) break;
            const int c = *p++;
            if (c != 0) {
                marker = c;
                break;
            }
        }
    }
    return true;
}

// A block in the decoding buffer: 64 coefficients, the spare slot, padding
// to a multiple of 32 bytes.
constexpr std::size_t kBlockStride = 80;

struct Workspace {
    std::vector<std::int16_t> blocks;
    std::vector<std::uint8_t> clean;
    std::vector<Piece> pieces;
    std::vector<int> restarts;
    HuffTable dc[4], ac[4];
};

}  // namespace

bool decode_luma_half(jpeg_decompress_struct& info, const std::uint8_t* end, cv::Mat& out) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (!avx2) return false;
    if (info.progressive_mode || info.arith_code || info.data_precision != 8 || info.out_color_space != JCS_GRAYSCALE ||
        info.dct_method != JDCT_ISLOW || info.scale_num != 1 || info.scale_denom != 2 || info.min_DCT_scaled_size != 4)
        return false;
    if (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr) return false;
    if (info.comps_in_scan != info.num_components || info.comps_in_scan < 1 || info.comps_in_scan > 4) return false;
    if (info.src == nullptr || info.src->next_input_byte == nullptr) return false;
    jpeg_component_info* luma = &info.comp_info[0];
    if (luma->DCT_scaled_size != 4 || luma->quant_table == nullptr) return false;
    if (info.comps_in_scan > 1 &&
        (luma->h_samp_factor != info.max_h_samp_factor || luma->v_samp_factor != info.max_v_samp_factor))
        return false;
    if (static_cast<int>(info.output_width) != (static_cast<int>(info.image_width) + 1) / 2 ||
        static_cast<int>(info.output_height) != (static_cast<int>(info.image_height) + 1) / 2 ||
        info.output_components != 1)
        return false;

    thread_local Workspace ws;
    int luma_in_scan = -1;
    int blocks_wide[4], blocks_high[4];
    for (int i = 0; i < info.comps_in_scan; ++i) {
        const jpeg_component_info* c = info.cur_comp_info[i];
        if (c == nullptr || c->dc_tbl_no < 0 || c->dc_tbl_no > 3 || c->ac_tbl_no < 0 || c->ac_tbl_no > 3) return false;
        if (c == luma) luma_in_scan = i;
        if (!build_table(info.dc_huff_tbl_ptrs[c->dc_tbl_no], true, ws.dc[i]) ||
            !build_table(info.ac_huff_tbl_ptrs[c->ac_tbl_no], false, ws.ac[i]))
            return false;
        blocks_wide[i] = info.comps_in_scan == 1 ? 1 : c->MCU_width;
        blocks_high[i] = info.comps_in_scan == 1 ? 1 : c->MCU_height;
        if (blocks_wide[i] < 1 || blocks_high[i] < 1 || blocks_wide[i] * blocks_high[i] > 10) return false;
    }
    if (luma_in_scan < 0) return false;

    const std::size_t mcus_wide = info.comps_in_scan == 1 ? luma->width_in_blocks : info.MCUs_per_row;
    const std::size_t mcus_high = info.comps_in_scan == 1 ? luma->height_in_blocks : info.MCU_rows_in_scan;
    const std::size_t mcus = mcus_wide * mcus_high;
    if (mcus == 0) return false;

    if (!unstuff(info.src->next_input_byte, end, ws.clean, ws.pieces, ws.restarts)) return false;
    const std::size_t interval = info.restart_interval;
    const std::size_t expected_pieces = interval ? (mcus + interval - 1) / interval : 1;
    if (ws.pieces.size() != expected_pieces) return false;
    for (std::size_t i = 0; i < ws.restarts.size(); ++i)
        if (ws.restarts[i] != static_cast<int>(i % 8)) return false;

    // Dequantization as the library does it: 16-bit multipliers.
    Dequantizer dq;
    for (int i = 0; i < 64; ++i) {
        dq.step[i] = static_cast<std::int16_t>(luma->quant_table->quantval[i]);
        const int magnitude = dq.step[i] < 0 ? -dq.step[i] : dq.step[i];
        dq.limit[i] = static_cast<std::uint16_t>(magnitude == 0 ? 0xFFFF : kLaneLimit / magnitude);
    }

    const int out_w = static_cast<int>(info.output_width);
    const int out_h = static_cast<int>(info.output_height);
    const int luma_cols = static_cast<int>(luma->width_in_blocks);
    const int luma_rows = static_cast<int>(luma->height_in_blocks);
    out.create(out_h, out_w, CV_8UC1);

    // The luma blocks of one row of MCUs are decoded first, then
    // transformed together (which also zeroes them for the next row).
    const int row_wide = static_cast<int>(mcus_wide) * blocks_wide[luma_in_scan];
    const int row_high = blocks_high[luma_in_scan];
    ws.blocks.assign(static_cast<std::size_t>(row_wide) * static_cast<std::size_t>(row_high) * kBlockStride, 0);
    std::int16_t* const blocks = ws.blocks.data();

    // Blocks at the right or bottom edge are cut to the picture through a
    // spare 4 x 4.
    std::uint8_t spare[4][4];
    std::uint8_t* spare_rows[4] = {spare[0], spare[1], spare[2], spare[3]};
    const auto transform_row = [&](int mcu_row) {
        for (int by = 0; by < row_high; ++by) {
            std::int16_t* block = blocks + static_cast<std::size_t>(by) * static_cast<std::size_t>(row_wide) * kBlockStride;
            const int row = mcu_row * row_high + by;
            for (int col = 0; col < row_wide; ++col, block += kBlockStride) {
                if (col >= luma_cols || row >= luma_rows) {  // padding of the last MCUs: never shown
                    std::memset(block, 0, 64 * sizeof(std::int16_t));
                    continue;
                }
                const int x = col * 4, y = row * 4;
                if (x + 4 <= out_w && y + 4 <= out_h) {
                    std::uint8_t* rows[4] = {out.ptr<std::uint8_t>(y), out.ptr<std::uint8_t>(y + 1),
                                             out.ptr<std::uint8_t>(y + 2), out.ptr<std::uint8_t>(y + 3)};
                    if (!idct_4x4_avx2(block, dq, rows, x)) return false;
                } else {
                    if (!idct_4x4_avx2(block, dq, spare_rows, 0)) return false;
                    for (int r = 0; r < 4 && y + r < out_h; ++r)
                        for (int c = 0; c < 4 && x + c < out_w; ++c) out.ptr<std::uint8_t>(y + r)[x + c] = spare[r][c];
                }
            }
        }
        return true;
    };

    std::size_t mcu = 0;
    int mx = 0, my = 0;  // the MCU's column and row
    for (const Piece& piece : ws.pieces) {
        BitReader in(ws.clean.data() + piece.begin);
        int last_dc[4] = {0, 0, 0, 0};
        const std::size_t stop = interval ? std::min(mcus, mcu + interval) : mcus;
        const std::size_t piece_bits = (piece.end - piece.begin) * 8;
        for (; mcu < stop; ++mcu) {
            for (int i = 0; i < info.comps_in_scan; ++i) {
                for (int by = 0; by < blocks_high[i]; ++by) {
                    for (int bx = 0; bx < blocks_wide[i]; ++bx) {
                        std::int16_t* block = nullptr;
                        if (i == luma_in_scan)
                            block = blocks + (static_cast<std::size_t>(by) * static_cast<std::size_t>(row_wide) +
                                              static_cast<std::size_t>(mx * blocks_wide[i] + bx)) *
                                                 kBlockStride;
                        if (!decode_block(in, ws.dc[i], ws.ac[i], last_dc[i], block)) return false;
                    }
                }
            }
            if (in.bits_read() > piece_bits) return false;  // ran into the marker: damaged data
            if (++mx == static_cast<int>(mcus_wide)) {
                if (!transform_row(my)) return false;
                mx = 0;
                ++my;
            }
        }
    }
    return mcu == mcus;
}

}  // namespace idr::scan

#else

namespace idr::scan {

// The transform needs AVX2: elsewhere the library decodes every file.
bool decode_luma_half(jpeg_decompress_struct&, const std::uint8_t*, cv::Mat&) { return false; }

}  // namespace idr::scan

#endif
