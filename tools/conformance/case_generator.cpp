#include "tools/conformance/case_generator.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace conformance {

uint64_t hash_name(std::string_view name) {
    uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (char c : name) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ull;
    }
    return h;
}

case_rng make_rng(std::string_view handler, uint64_t seed, uint64_t index, uint64_t stream) {
    uint64_t s = hash_name(handler) ^ (seed * 0xD1B54A32D192ED03ull);
    uint64_t mix = s;
    s = splitmix64(mix) ^ (index * 0x9E3779B97F4A7C15ull);
    mix = s;
    s = splitmix64(mix) ^ (stream * 0xA0761D6478BD642Full);
    mix = s;
    return case_rng{splitmix64(mix)};
}

uint32_t generate_word(std::string_view handler, uint32_t fixed_mask, uint32_t fixed_value, uint64_t seed,
                       uint64_t index) {
    case_rng rng = make_rng(handler, seed, index, 1);
    uint32_t r = static_cast<uint32_t>(rng.next());
    // Fields at their ends find the bounds of immediates and register numbers:
    // some words have every operand bit set or clear, some have each run of
    // operand bits (a field, or adjacent fields) set, clear or random.
    switch (rng.below(16)) {
        case 0: r = ~0u; break;
        case 1: r = 0; break;
        case 2:
        case 3:
            for (int bit = 31; bit >= 0;) {
                if ((fixed_mask >> bit) & 1) {
                    --bit;
                    continue;
                }
                const int hi = bit;
                while (bit >= 0 && !((fixed_mask >> bit) & 1)) --bit;
                const uint32_t run = static_cast<uint32_t>(((uint64_t{1} << (hi - bit)) - 1) << (bit + 1));
                const uint64_t how = rng.below(3);
                if (how == 0) r |= run;
                if (how == 1) r &= ~run;
            }
            break;
        default: break;
    }
    return (fixed_value & fixed_mask) | (r & ~fixed_mask);
}

namespace {

// ---------------------------------------------------------------------------
// Reading the disassembly

bool parse_reg(std::string_view t, char cls, unsigned &num, char &suffix) {
    if (t.size() < 2 || t[0] != cls || !std::isdigit(static_cast<unsigned char>(t[1]))) return false;
    size_t i = 1;
    unsigned n = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) n = n * 10 + static_cast<unsigned>(t[i++] - '0');
    suffix = 0;
    if (i < t.size() && t[i] == '.' && i + 1 < t.size()) suffix = t[i + 1];
    num = n;
    return true;
}

unsigned suffix_bytes(char s) {
    switch (s) {
        case 'b': return 1;
        case 'h': return 2;
        case 's': return 4;
        case 'd': return 8;
        case 'q': return 16;
        default: return 0;
    }
}


void parse_address(std::string_view inside, address_operand &a) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= inside.size(); ++i) {
        if (i == inside.size() || inside[i] == ',') {
            std::string_view t = inside.substr(start, i - start);
            while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
            while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
            if (!t.empty()) parts.push_back(t);
            start = i + 1;
        }
    }
    if (parts.empty()) return;
    unsigned n;
    char suffix;
    if (parts[0] == "sp") {
        a.base = addr_base::sp;
        a.base_reg = 31;
    } else if (parse_reg(parts[0], 'x', n, suffix)) {
        a.base = addr_base::scalar;
        a.base_reg = n;
    } else if (parse_reg(parts[0], 'z', n, suffix)) {
        a.base = suffix == 's' ? addr_base::vector_s : addr_base::vector_d;
        a.base_reg = n;
    }
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string_view t = parts[i];
        if (t[0] == '#') {
            a.offset = addr_offset::immediate;
            a.immediate = std::strtoll(std::string(t.substr(1)).c_str(), nullptr, 0);
        } else if (t == "mul vl") {
            a.mul_vl = true;
        } else if (t == "xzr") {
            a.offset = addr_offset::scalar;
            a.offset_reg = 31;
        } else if (parse_reg(t, 'x', n, suffix)) {
            a.offset = addr_offset::scalar;
            a.offset_reg = n;
        } else if (parse_reg(t, 'z', n, suffix)) {
            a.offset = suffix == 's' ? addr_offset::vector_s : addr_offset::vector_d;
            a.offset_reg = n;
        } else {
            addr_extend e = addr_extend::none;
            if (t.substr(0, 3) == "lsl") e = addr_extend::lsl;
            if (t.substr(0, 4) == "uxtw") e = addr_extend::uxtw;
            if (t.substr(0, 4) == "sxtw") e = addr_extend::sxtw;
            if (e != addr_extend::none) {
                a.extend = e;
                size_t hash = t.find('#');
                if (hash != std::string_view::npos) a.shift = static_cast<unsigned>(t[hash + 1] - '0');
            }
        }
    }
}

}  // namespace

namespace {

uint64_t extend_offset(uint64_t v, unsigned esize, addr_extend ext) {
    if (ext == addr_extend::uxtw) return v & 0xFFFFFFFFull;
    if (ext == addr_extend::sxtw) return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v)));
    return esize == 4 ? (v & 0xFFFFFFFFull) : v;
}

}  // namespace

bool element_address(const word_profile &p, const wire_regs &r, unsigned e, uint64_t &address) {
    const address_operand &a = p.address;
    const unsigned esize = p.element_bytes ? p.element_bytes : 1;
    const unsigned msize = p.memory_bytes ? p.memory_bytes : 1;
    auto element = [&](unsigned reg) {
        uint64_t v = 0;
        for (unsigned b = 0; b < esize && b < 8; ++b) v |= static_cast<uint64_t>(r.z[reg % 32][e * esize + b]) << (8 * b);
        return v;
    };
    switch (a.base) {
        case addr_base::vector_s:
            address = (element(a.base_reg) + static_cast<uint64_t>(a.immediate)) & 0xFFFFFFFFull;
            return true;
        case addr_base::vector_d:
            address = element(a.base_reg) + static_cast<uint64_t>(a.immediate);
            return true;
        case addr_base::scalar:
        case addr_base::sp: {
            const uint64_t base = a.base == addr_base::sp ? r.sp : r.x[a.base_reg];
            switch (a.offset) {
                case addr_offset::vector_s:
                case addr_offset::vector_d:
                    address = base + (extend_offset(element(a.offset_reg), esize, a.extend) << a.shift);
                    return true;
                case addr_offset::scalar: {
                    const uint64_t index = a.offset_reg == 31 ? 0 : r.x[a.offset_reg];
                    address = base + (index << a.shift) + uint64_t{e} * msize;
                    return true;
                }
                case addr_offset::immediate: {
                    // Scaled by the bytes the whole access covers when "mul vl".
                    const uint64_t unit = a.mul_vl ? uint64_t{kZBytes / esize} * msize : 1;
                    address = base + static_cast<uint64_t>(a.immediate) * unit + uint64_t{e} * msize;
                    return true;
                }
                case addr_offset::none: address = base + uint64_t{e} * msize; return true;
            }
            return false;
        }
        case addr_base::none: return false;
    }
    return false;
}

word_profile profile_from_disassembly(std::string_view text) {
    word_profile p;
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    size_t sp = 0;
    while (sp < text.size() && !std::isspace(static_cast<unsigned char>(text[sp]))) ++sp;
    p.mnemonic = std::string(text.substr(0, sp));
    std::string_view ops = text.substr(sp);
    const std::string &m = p.mnemonic;
    p.floating = (!m.empty() && m[0] == 'f') || m.rfind("bf", 0) == 0 || m == "scvtf" || m == "ucvtf";
    p.first_fault = m.rfind("ldff1", 0) == 0;
    p.non_fault = m.rfind("ldnf1", 0) == 0;
    p.prefetch = m.rfind("prf", 0) == 0;
    for (std::string_view op : split_operands(ops)) {
        unsigned n;
        char suffix;
        if (op.front() == '[') {
            p.memory = true;
            size_t close = op.find(']');
            parse_address(op.substr(1, close == std::string_view::npos ? op.size() - 1 : close - 1), p.address);
            continue;
        }
        std::string_view reg = op;
        if (reg.front() == '{') {
            reg.remove_prefix(1);
            while (!reg.empty() && reg.front() == ' ') reg.remove_prefix(1);
        }
        if (parse_reg(reg, 'z', n, suffix)) {
            if (p.first_z == 32) p.first_z = n;
            if (p.element_bytes == 0) p.element_bytes = suffix_bytes(suffix);
        } else if (parse_reg(reg, 'p', n, suffix)) {
            if (p.first_p == 16) p.first_p = n;
            // Governing predicates appear as pN/z, pN/m, or bare pN (stores, prefetches).
            bool qualified = reg.find('/') != std::string_view::npos;
            if (p.governing_p == 16 && (qualified || suffix == 0)) p.governing_p = n;
            if (p.element_bytes == 0) p.element_bytes = suffix_bytes(suffix);
        }
    }
    // Advanced SIMD and scalar floating-point words name no Z or P register:
    // the element size comes from the first V arrangement (v1.8h, v2.h[3]) or
    // H register.
    if (p.element_bytes == 0)
        for (std::string_view op : split_operands(ops)) {
            if (op.size() >= 2 && op[0] == 'h' && std::isdigit(static_cast<unsigned char>(op[1]))) {
                p.element_bytes = 2;
                break;
            }
            if (op.size() >= 2 && op[0] == 'v' && std::isdigit(static_cast<unsigned char>(op[1]))) {
                size_t dot = op.find('.');
                if (dot == std::string_view::npos) continue;
                size_t i = dot + 1;
                while (i < op.size() && std::isdigit(static_cast<unsigned char>(op[i]))) ++i;
                if (i < op.size()) p.element_bytes = suffix_bytes(op[i]);
                if (p.element_bytes) break;
            }
        }
    if (p.element_bytes == 16) p.element_bytes = 8;
    p.store = p.memory && !p.prefetch && (m.rfind("st", 0) == 0);
    if (p.memory && !p.prefetch && m.size() >= 3) {
        // ld1b/ld1sb/ldff1h/st4w/ldnt1d/ld1rqb...: the size letter comes last.
        p.memory_bytes = suffix_bytes(m.back() == 'w' ? 's' : m.back());
        size_t one = m.find('1');
        p.sign_extends = one != std::string::npos && m.size() == one + 3 && m[one + 1] == 's';
    }
    return p;
}

namespace {

// ---------------------------------------------------------------------------
// Edge values

uint64_t mask_bits(unsigned bytes) { return bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1; }

uint64_t int_edge(case_rng &rng, unsigned bytes) {
    const unsigned bits = 8 * bytes;
    const uint64_t all = mask_bits(bytes);
    const uint64_t sign = 1ull << (bits - 1);
    const uint64_t count = 256 / bytes;  // elements in a vector
    switch (rng.below(16)) {
        case 0: return 0;
        case 1: return 1;
        case 2: return all;                 // -1
        case 3: return sign;                // most negative
        case 4: return sign - 1;            // most positive
        case 5: return sign + 1;
        case 6: return (sign - 2) & all;
        case 7: return (count + static_cast<uint64_t>(rng.range(-2, 2))) & all;  // near the element count
        case 8: return rng.below(2 * count + 4) & all;                           // small counts
        case 9: return (0 - rng.below(2 * count + 4)) & all;                     // small negatives
        case 10: return (all / 3) & all;    // 0x55..
        case 11: return (all / 3 * 2) & all;  // 0xAA..
        case 12: return (1ull << rng.below(bits)) & all;
        default: return rng.next() & all;
    }
}

// Floating-point edges by format: exponent and fraction widths.
uint64_t fp_edge(case_rng &rng, unsigned bytes) {
    unsigned ebits, fbits;
    switch (bytes) {
        case 2: ebits = 5; fbits = 10; break;
        case 4: ebits = 8; fbits = 23; break;
        default: ebits = 11; fbits = 52; bytes = 8; break;
    }
    const uint64_t sign = rng.chance(50) ? 1ull << (ebits + fbits) : 0;
    const uint64_t emax = (1ull << ebits) - 1;
    const uint64_t fmask = (1ull << fbits) - 1;
    const uint64_t quiet = 1ull << (fbits - 1);
    const uint64_t bias = emax >> 1;
    auto make = [&](uint64_t e, uint64_t f) { return sign | (e << fbits) | (f & fmask); };
    switch (rng.below(20)) {
        case 0: return make(0, 0);                                        // zero
        case 1: return make(emax, 0);                                     // infinity
        case 2: return make(emax, quiet);                                 // default NaN
        case 3: return make(emax, quiet | (rng.next() & (quiet - 1)));    // quiet NaN, payload
        case 4: return make(emax, 1 + rng.below(quiet - 1));              // signalling NaN, payload
        case 5: return make(0, 1);                                        // smallest subnormal
        case 6: return make(0, fmask);                                    // largest subnormal
        case 7: return make(0, rng.next() | 1);                           // subnormal
        case 8: return make(1, 0);                                        // smallest normal
        case 9: return make(emax - 1, fmask);                             // largest finite
        case 10: return make(bias, 0);                                    // 1.0
        case 11: return make(bias - 1, 0);                                // 0.5
        case 12: return make(bias + rng.below(fbits + 2), rng.next());   // values around integers
        case 13: return make(bias + fbits - 1 + rng.below(4), rng.next());  // integer range edge
        case 14: return make(emax - 1 - rng.below(3), rng.next());          // near overflow
        case 15: return make(1 + rng.below(3), rng.next());                 // near underflow
        case 16: {  // an integer and a half: a tie for rounding to an integer
            const uint64_t k = rng.below(fbits < 20 ? fbits : 20);
            const uint64_t half = 1ull << (fbits - k - 1);
            return make(bias + k, (rng.next() & ~(2 * half - 1)) | half);
        }
        case 17: {  // halfway between two values of the next narrower format
            const unsigned dropped = bytes == 8 ? 29 : bytes == 4 ? 13 : 5;
            const uint64_t half = 1ull << (dropped - 1);
            return make(1 + rng.below(emax - 1), (rng.next() & ~(2 * half - 1)) | half);
        }
        default: return make(1 + rng.below(emax - 1), rng.next());          // random finite
    }
}

void put_element(uint8_t *bytes, unsigned index, unsigned size, uint64_t value) {
    for (unsigned b = 0; b < size; ++b) bytes[index * size + b] = static_cast<uint8_t>(value >> (8 * b));
}

unsigned pick_size(case_rng &rng, unsigned preferred) {
    static constexpr unsigned kSizes[] = {1, 2, 4, 8};
    if (preferred != 0 && rng.chance(75)) return preferred;
    return kSizes[rng.below(4)];
}

void fill_vector(case_rng &rng, uint8_t *z, const word_profile &p) {
    switch (rng.below(20)) {
        case 0: std::memset(z, 0, kZBytes); return;
        case 1: std::memset(z, 0xFF, kZBytes); return;
        case 2:
        case 3:
        case 4:
            for (unsigned i = 0; i < kZBytes; ++i) z[i] = static_cast<uint8_t>(rng.next());
            return;
        default: break;
    }
    unsigned size = pick_size(rng, p.element_bytes);
    bool fp = p.floating ? rng.chance(85) : rng.chance(15);
    if (size == 1) fp = false;
    unsigned edge_percent = static_cast<unsigned>(rng.range(30, 100));
    for (unsigned e = 0; e < kZBytes / size; ++e) {
        uint64_t v;
        if (!rng.chance(edge_percent))
            v = rng.next();
        else
            v = fp ? fp_edge(rng, size) : int_edge(rng, size);
        put_element(z, e, size, v);
    }
}

// The shapes that break predicate code: empty, full, a single element at either
// end, prefixes (as WHILELO makes) and suffixes, alternation, one element per
// 128-bit segment, and bits set only where the element size ignores them.
enum class pred_shape : uint8_t {
    all_false, all_true, first_only, last_only, prefix, suffix, prefix_near_end, alternating,
    one_per_segment, single, upper_bits_only, random
};

pred_shape pick_shape(case_rng &rng, bool governing) {
    // A governing predicate decides which element is first and last active, so
    // it takes the boundary shapes more often.
    static constexpr pred_shape kOrdinary[] = {
        pred_shape::all_false,  pred_shape::all_true,        pred_shape::all_true,    pred_shape::first_only,
        pred_shape::first_only, pred_shape::last_only,       pred_shape::last_only,   pred_shape::prefix,
        pred_shape::suffix,     pred_shape::prefix_near_end, pred_shape::alternating, pred_shape::one_per_segment,
        pred_shape::single,     pred_shape::upper_bits_only, pred_shape::random,      pred_shape::random};
    static constexpr pred_shape kGoverning[] = {
        pred_shape::all_false,  pred_shape::all_true,   pred_shape::all_true,   pred_shape::first_only,
        pred_shape::first_only, pred_shape::first_only, pred_shape::first_only, pred_shape::last_only,
        pred_shape::last_only,  pred_shape::last_only,  pred_shape::prefix,     pred_shape::prefix_near_end,
        pred_shape::suffix,     pred_shape::alternating, pred_shape::one_per_segment, pred_shape::random};
    return governing ? kGoverning[rng.below(16)] : kOrdinary[rng.below(16)];
}

void fill_predicate(case_rng &rng, uint8_t *packed, const word_profile &p, bool governing) {
    std::memset(packed, 0, kPBytes);
    const unsigned size = pick_size(rng, p.element_bytes);
    const unsigned elements = kZBytes / size;
    const pred_shape shape = pick_shape(rng, governing);
    // Bits of an element other than its lowest are ignored by most readers; keep
    // them clear, or random in some registers.
    const bool noise = shape == pred_shape::upper_bits_only || rng.chance(20);
    unsigned k = static_cast<unsigned>(rng.below(elements + 1));
    if (shape == pred_shape::prefix_near_end) {
        static constexpr int kNear[] = {1, -1, 2, -2};
        const int d = kNear[rng.below(4)];
        k = d > 0 ? static_cast<unsigned>(d) : elements - static_cast<unsigned>(-d);
        if (rng.chance(30)) k = elements / 2 + static_cast<unsigned>(rng.range(0, 1));
    }
    const unsigned one = static_cast<unsigned>(rng.below(elements));
    const unsigned phase = static_cast<unsigned>(rng.below(2));
    const unsigned per_segment = 16 / size;  // elements in 128 bits
    const unsigned in_segment = rng.chance(50) ? 0 : static_cast<unsigned>(rng.below(per_segment));
    const unsigned density = static_cast<unsigned>(rng.range(5, 95));
    for (unsigned e = 0; e < elements; ++e) {
        bool v = false;
        switch (shape) {
            case pred_shape::all_false: v = false; break;
            case pred_shape::all_true: v = true; break;
            case pred_shape::first_only: v = e == 0; break;
            case pred_shape::last_only: v = e == elements - 1; break;
            case pred_shape::prefix:
            case pred_shape::prefix_near_end: v = e < k; break;
            case pred_shape::suffix: v = e >= k; break;
            case pred_shape::alternating: v = e % 2 == phase; break;
            case pred_shape::one_per_segment: v = e % per_segment == in_segment; break;
            case pred_shape::single: v = e == one; break;
            case pred_shape::upper_bits_only: v = false; break;
            case pred_shape::random: v = rng.chance(density); break;
        }
        set_pred_bit(packed, e * size, v);
        if (noise)
            for (unsigned b = 1; b < size; ++b) set_pred_bit(packed, e * size + b, rng.chance(50));
    }
    if (shape == pred_shape::random && rng.chance(20))
        for (unsigned i = 0; i < kPBytes; ++i) packed[i] = static_cast<uint8_t>(rng.next());
}

// FFR is always a run of ones from bit 0 followed by zeros: only such values can
// be written to it (WRFFR of anything else leaves FFR UNPREDICTABLE), and the
// first-fault loads only ever clear a tail of it.
void fill_ffr(case_rng &rng, uint8_t *packed, const word_profile &p) {
    std::memset(packed, 0, kPBytes);
    unsigned ones = 0;
    unsigned full_percent = (p.first_fault || p.non_fault) ? 75 : 50;
    if (rng.chance(full_percent)) {
        ones = 256;
    } else if (rng.chance(15)) {
        ones = 0;
    } else {
        unsigned size = pick_size(rng, p.element_bytes);
        ones = static_cast<unsigned>(rng.below(kZBytes / size + 1)) * size;
        if (rng.chance(30)) ones = static_cast<unsigned>(rng.below(257));
    }
    for (unsigned i = 0; i < ones; ++i) set_pred_bit(packed, i, true);
}

uint64_t scalar_edge(case_rng &rng) {
    switch (rng.below(12)) {
        case 0: return int_edge(rng, 8);
        case 1: return int_edge(rng, 4);                                 // W-register edges
        case 2: return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(int_edge(rng, 4))));
        case 3: return rng.below(300);                                   // counts
        case 4: return 0 - rng.below(300);
        case 5: return (1ull << 32) + static_cast<uint64_t>(rng.range(-3, 3));
        case 6: return (1ull << 31) + static_cast<uint64_t>(rng.range(-3, 3));
        case 7: return (1ull << 63) + static_cast<uint64_t>(rng.range(-3, 3));
        case 8: return rng.next() & 0xFFFFFFFFull;
        default: return rng.next();
    }
}

// ---------------------------------------------------------------------------
// Address operands

constexpr uint64_t kWindowCenter = kWindowBase + kWindowBytes / 2;

void set_x(wire_regs &r, unsigned n, uint64_t v) {
    if (n < 31) r.x[n] = v;
}

void fill_vector_addresses(case_rng &rng, wire_regs &r, unsigned reg, unsigned esize, bool is_base,
                           addr_extend ext, const word_profile &p) {
    uint8_t *z = r.z[reg % 32];
    const unsigned elements = kZBytes / esize;
    const bool wild_inactive = p.governing_p < 16 && rng.chance(30);
    for (unsigned e = 0; e < elements; ++e) {
        uint64_t v;
        if (is_base) {
            v = kWindowCenter + static_cast<uint64_t>(rng.range(-8192, 8192));
        } else if (ext == addr_extend::sxtw) {
            v = static_cast<uint64_t>(rng.range(-1024, 1023)) & 0xFFFFFFFFull;
            if (esize == 8) v |= rng.next() << 32;  // only the low word counts
        } else if (ext == addr_extend::uxtw) {
            v = static_cast<uint64_t>(rng.range(0, 2047));
            if (esize == 8) v |= rng.next() << 32;
        } else {
            v = static_cast<uint64_t>(rng.range(-1024, 2047));
        }
        if (wild_inactive && !pred_bit(r.p[p.governing_p], e * esize)) v = rng.next();
        put_element(z, e, esize, v & mask_bits(esize));
    }
}

// The first active element of a load; false when none is active.
bool first_active_element(const word_profile &p, const wire_regs &r, unsigned &element) {
    const unsigned esize = p.element_bytes ? p.element_bytes : 1;
    if (p.governing_p >= 16) return false;
    for (unsigned e = 0; e < kZBytes / esize; ++e)
        if (pred_bit(r.p[p.governing_p], e * esize)) {
            element = e;
            return true;
        }
    return false;
}

// Points the address registers of a memory instruction into the window, and for
// first-fault and non-fault loads sometimes places the access across a page with
// no access, so that later elements fault.
void fix_addresses(case_rng &rng, const word_profile &p, case_input &c) {
    wire_regs &r = c.regs;
    const address_operand &a = p.address;
    if (p.prefetch && rng.chance(40)) return;  // prefetches of any address must not fault
    const bool fault_case = (p.first_fault || p.non_fault) && rng.chance(50);

    int64_t offset = rng.range(-16384, 16384);
    if (fault_case) {
        // Just below a page boundary beyond which some pages have no access.
        unsigned page = static_cast<unsigned>(rng.range(kWindowPages / 2 - 4, kWindowPages / 2 + 4));
        offset = static_cast<int64_t>(page) * static_cast<int64_t>(kPageBytes) - static_cast<int64_t>(kWindowBytes / 2) -
                 rng.range(0, 600);
        unsigned first = page, count = static_cast<unsigned>(rng.range(1, 3));
        if (a.base == addr_base::vector_s || a.base == addr_base::vector_d || a.offset == addr_offset::vector_s ||
            a.offset == addr_offset::vector_d) {
            // Gathers: withdraw a scattering of pages.
            for (unsigned i = 0; i < kWindowPages; ++i)
                if (rng.chance(20)) c.header.unmapped_pages |= 1ull << i;
        } else {
            for (unsigned i = 0; i < count && first + i < kWindowPages; ++i)
                c.header.unmapped_pages |= 1ull << (first + i);
        }
    }
    uint64_t base = kWindowCenter + static_cast<uint64_t>(offset);
    if (a.base == addr_base::sp || rng.chance(30)) base &= ~15ull;

    switch (a.base) {
        case addr_base::scalar:
        case addr_base::sp: {
            if (a.offset == addr_offset::scalar && a.offset_reg == a.base_reg && a.base == addr_base::scalar) {
                // One register is base and index: base + (base << shift) must land in the window.
                r.x[a.base_reg] = base / (1 + (1ull << a.shift));
                break;
            }
            if (a.base == addr_base::sp)
                r.sp = base;
            else
                set_x(r, a.base_reg, base);
            if (a.offset == addr_offset::scalar)
                set_x(r, a.offset_reg, static_cast<uint64_t>(fault_case ? rng.range(0, 8) : rng.range(-64, 256)));
            if (a.offset == addr_offset::vector_s) fill_vector_addresses(rng, r, a.offset_reg, 4, false, a.extend, p);
            if (a.offset == addr_offset::vector_d) fill_vector_addresses(rng, r, a.offset_reg, 8, false, a.extend, p);
            break;
        }
        case addr_base::vector_s: fill_vector_addresses(rng, r, a.base_reg, 4, true, a.extend, p); break;
        case addr_base::vector_d: fill_vector_addresses(rng, r, a.base_reg, 8, true, a.extend, p); break;
        case addr_base::none: break;
    }
    // A first-fault load faults for real on its first active element: keep that
    // element's bytes mapped, so the withdrawn pages only ever meet later ones.
    uint64_t first = 0;
    unsigned element = 0;
    if (p.first_fault && c.header.unmapped_pages != 0 && first_active_element(p, r, element) &&
        element_address(p, r, element, first)) {
        for (uint64_t at : {first, first + (p.memory_bytes ? p.memory_bytes : 1) - 1}) {
            if (at < kWindowBase || at >= kWindowBase + kWindowBytes) continue;
            c.header.unmapped_pages &= ~(1ull << ((at - kWindowBase) / kPageBytes));
        }
    }
}

}  // namespace

void generate_case(std::string_view handler, uint64_t seed, uint64_t index, uint32_t word,
                   const word_profile &profile, case_input &c) {
    std::memset(&c, 0, sizeof c);
    c.header.magic = kCaseMagic;
    c.header.word = word;
    c.header.tag = index;
    case_rng rng = make_rng(handler, seed, index, 2);
    wire_regs &r = c.regs;
    for (unsigned i = 0; i < 31; ++i) r.x[i] = scalar_edge(rng);
    r.sp = rng.chance(50) ? (kWindowCenter & ~15ull) : scalar_edge(rng);
    if (rng.chance(50)) r.sp &= ~15ull;
    r.nzcv = (rng.next() & 0xF) << 28;
    static constexpr unsigned kFpsrBits[] = {0, 1, 2, 3, 4, 7, 27};
    if (rng.chance(50))
        for (unsigned b : kFpsrBits)
            if (rng.chance(30)) r.fpsr |= 1u << b;
    if (!rng.chance(25)) {
        r.fpcr |= static_cast<uint32_t>(rng.below(4)) << 22;  // RMode
        if (rng.chance(30)) r.fpcr |= 1u << 24;               // FZ
        if (rng.chance(30)) r.fpcr |= 1u << 25;               // DN
        if (rng.chance(20)) r.fpcr |= 1u << 26;               // AHP
        if (rng.chance(30)) r.fpcr |= 1u << 19;               // FZ16
    }
    for (auto &z : r.z) fill_vector(rng, z, profile);
    for (unsigned i = 0; i < 16; ++i) fill_predicate(rng, r.p[i], profile, i == profile.governing_p);
    fill_ffr(rng, r.ffr, profile);
    adapt_case_to_word(rng, profile, c);
}

void adapt_case_to_word(case_rng &rng, const word_profile &profile, case_input &c) {
    wire_regs &r = c.regs;
    // WRFFR of a predicate that is not a run of ones leaves FFR UNPREDICTABLE.
    if (profile.mnemonic == "wrffr" && profile.first_p < 16) fill_ffr(rng, r.p[profile.first_p], profile);
    // The reference (qemu 7.2) loads wrong data, with FFR still set, in contiguous
    // first-fault and non-fault loads whose governing predicate has element 0
    // inactive; gathers are not affected. Such cases would only measure the
    // reference, so element 0 stays active there.
    const bool contiguous = profile.address.base == addr_base::scalar || profile.address.base == addr_base::sp;
    if ((profile.first_fault || profile.non_fault) && contiguous && profile.governing_p < 16)
        set_pred_bit(r.p[profile.governing_p], 0, true);
    if (profile.memory) {
        c.header.flags |= kCaseCheckMemory;
        fix_addresses(rng, profile, c);
    }
}

std::vector<std::string_view> split_operands(std::string_view s) {
    std::vector<std::string_view> out;
    size_t start = 0;
    int depth = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        char c = i < s.size() ? s[i] : ',';
        if (c == '[' || c == '{') ++depth;
        if (c == ']' || c == '}') --depth;
        if (c == ',' && depth == 0) {
            std::string_view t = s.substr(start, i - start);
            while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.remove_prefix(1);
            while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.remove_suffix(1);
            if (!t.empty()) out.push_back(t);
            start = i + 1;
        }
    }
    return out;
}

}  // namespace conformance
