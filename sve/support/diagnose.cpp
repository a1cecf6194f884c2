// Explaining an instruction word that could not be emulated (see diagnose.h).
#include "sve/support/diagnose.h"

#include <dlfcn.h>
#if defined(__aarch64__)
#include <sys/auxv.h>
#endif

#include <atomic>
#include <cstring>

// The half-precision decoder is optional here: where it is linked in, its
// answers name FP16 words; elsewhere the encodings below stand in for it.
extern "C" sve_handler_fn is_half_precision(uint32_t word) __attribute__((weak));
const sve_handler_info *half_precision_catalog(size_t *count) __attribute__((weak));

namespace {

struct instruction_name {
    const char *handler;
    const char *short_name;
    const char *format;
};

constexpr instruction_name kNames[] = {
#define SVE_INSTRUCTION_NAME(handler, short_name, format) {#handler, short_name, format},
#include "sve/support/instruction_names.def"
#undef SVE_INSTRUCTION_NAME
};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

// The SVE-space words that SVE2 and the optional extensions use, by key (the
// word without its fixed bits 28:25 and its register fields 9:5 and 4:0), in
// ascending ranges; a key in none is reserved.
enum encoding_class : uint8_t { SVE2, SVE_EXTENSION };
struct encoding_range {
    uint32_t first;
    uint32_t last;
    encoding_class cls;
};
constexpr encoding_range kEncodingRanges[] = {
#define SVE_ENCODING_RANGE(first, last, cls) {first, last, cls},
#include "sve/support/encoding_classes.def"
#undef SVE_ENCODING_RANGE
};
constexpr size_t kEncodingRangeCount = sizeof kEncodingRanges / sizeof kEncodingRanges[0];

uint32_t encoding_key(uint32_t word) { return (word >> 29) << 15 | ((word >> 10) & 0x7FFF); }

// The range holding the word's key, or null.
const encoding_range *encoding_range_of(uint32_t word) {
    const uint32_t key = encoding_key(word);
    size_t lo = 0, hi = kEncodingRangeCount;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (kEncodingRanges[mid].last < key) lo = mid + 1;
        else hi = mid;
    }
    return lo < kEncodingRangeCount && kEncodingRanges[lo].first <= key ? &kEncodingRanges[lo] : nullptr;
}

// A bounded writer into the caller's buffer; always terminated.
struct text_out {
    char *p;
    size_t size;
    size_t len;

    void put(char c) {
        if (size != 0 && len + 1 < size) p[len] = c;
        ++len;
    }
    void puts(const char *s) {
        while (*s) put(*s++);
    }
    void number(uint64_t v, unsigned base = 10) {
        char digits[24];
        int n = 0;
        do {
            const unsigned d = static_cast<unsigned>(v % base);
            digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
            v /= base;
        } while (v != 0);
        while (n > 0) put(digits[--n]);
    }
    void signed_number(int64_t v) {
        if (v < 0) {
            put('-');
            number(static_cast<uint64_t>(-v));
        } else {
            number(static_cast<uint64_t>(v));
        }
    }
    void hex(uint64_t v) {
        puts("0x");
        number(v, 16);
    }
    size_t finish() {
        if (size != 0) p[len < size ? len : size - 1] = '\0';
        return len < size ? len : (size ? size - 1 : 0);
    }
};

uint32_t bits(uint32_t word, unsigned hi, unsigned lo) {
    const unsigned width = hi - lo + 1;
    return (word >> lo) & (width >= 32 ? ~0u : ((1u << width) - 1));
}

unsigned parse_uint(const char *&s) {
    unsigned v = 0;
    while (*s >= '0' && *s <= '9') v = v * 10 + static_cast<unsigned>(*s++ - '0');
    return v;
}

const char *const kPatternNames[32] = {
    "pow2", "vl1",   "vl2",   "vl3",   "vl4",   "vl5",   "vl6",   "vl7",   "vl8",   "vl16",  "vl32",
    "vl64", "vl128", "vl256", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "mul4", "mul3", "all"};

const char *const kPrefetchNames[16] = {"pldl1keep", "pldl1strm", "pldl2keep", "pldl2strm", "pldl3keep", "pldl3strm",
                                        nullptr,     nullptr,     "pstl1keep", "pstl1strm", "pstl2keep", "pstl2strm",
                                        "pstl3keep", "pstl3strm", nullptr,     nullptr};

bool starts_with(const char *s, const char *prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

bool is_placeholder(const char *s) {
    return s[0] == '{' && ((s[1] >= '0' && s[1] <= '9') || starts_with(s + 1, "xz ") || starts_with(s + 1, "xs ") ||
                           starts_with(s + 1, "wz ") || starts_with(s + 1, "ws ") || starts_with(s + 1, "pat ") || starts_with(s + 1, "prf ") ||
                           starts_with(s + 1, "f ") || starts_with(s + 1, "rs ") || starts_with(s + 1, "ls "));
}

// One placeholder of a template, s just after '{'; leaves s after '}'.
void render_field(text_out &out, uint32_t word, const char *&s) {
    if (starts_with(s, "pat ") || starts_with(s, "prf ")) {
        // A predicate pattern or a prefetch operation: its name, or #n.
        const bool prefetch = s[1] == 'r';
        s += 4;
        const unsigned hi = parse_uint(s);
        if (*s == ':') ++s;
        const unsigned lo = parse_uint(s);
        if (*s == '}') ++s;
        const uint32_t v = bits(word, hi, lo) & (prefetch ? 15 : 31);
        const char *name = prefetch ? kPrefetchNames[v] : kPatternNames[v];
        if (name != nullptr) {
            out.puts(name);
        } else {
            out.put('#');
            out.number(v);
        }
        return;
    }
    if (starts_with(s, "f ")) {
        // {f H:L A B}: A when the field is 0, else B.
        s += 2;
        const unsigned hi = parse_uint(s);
        if (*s == ':') ++s;
        const unsigned lo = parse_uint(s);
        if (*s == ' ') ++s;
        const bool second = bits(word, hi, lo) != 0;
        if (second) {
            while (*s && *s != ' ' && *s != '}') ++s;
            if (*s == ' ') ++s;
        }
        while (*s && *s != ' ' && *s != '}') out.put(*s++);
        while (*s && *s != '}') ++s;
        if (*s == '}') ++s;
        return;
    }
    if (starts_with(s, "rs ") || starts_with(s, "ls ")) {
        // {rs C H:L}: C minus the field (right shift); {ls C H:L}: the field minus C.
        const bool right = s[0] == 'r';
        s += 3;
        const unsigned c = parse_uint(s);
        if (*s == ' ') ++s;
        const unsigned hi = parse_uint(s);
        if (*s == ':') ++s;
        const unsigned lo = parse_uint(s);
        if (*s == '}') ++s;
        const int64_t v = bits(word, hi, lo);
        out.signed_number(right ? static_cast<int64_t>(c) - v : v - static_cast<int64_t>(c));
        return;
    }
    char reg = 0, special = 0;
    if ((s[0] == 'x' || s[0] == 'w') && (s[1] == 'z' || s[1] == 's') && s[2] == ' ') {
        reg = s[0];
        special = s[1];
        s += 3;
    }
    const unsigned hi = parse_uint(s);
    if (*s == ':') ++s;
    const unsigned lo = parse_uint(s);
    const uint32_t v = bits(word, hi, lo);
    const char op = *s;
    unsigned k = 0;
    if (op == '+' || op == '*' || op == '~') {
        ++s;
        k = parse_uint(s);
    }
    while (*s && *s != '}') ++s;
    if (*s == '}') ++s;
    if (reg != 0) {
        if (v == 31) {
            if (special == 'z') out.puts(reg == 'x' ? "xzr" : "wzr");
            else out.puts(reg == 'x' ? "sp" : "wsp");
        } else {
            out.put(reg);
            out.number(v);
        }
        return;
    }
    switch (op) {
    case '+': out.number((v + k) % 32); break;
    case '*': out.number(static_cast<uint64_t>(v) * k); break;
    case '~': {
        const unsigned width = hi - lo + 1;
        int64_t sv = static_cast<int64_t>(v);
        if (width < 64 && (v >> (width - 1)) & 1) sv -= int64_t{1} << width;
        out.signed_number(sv * static_cast<int64_t>(k));
        break;
    }
    default: out.number(v); break;
    }
}

void render_template(text_out &out, const char *format, uint32_t word) {
    for (const char *s = format; *s;) {
        if (is_placeholder(s)) {
            ++s;
            render_field(out, word, s);
        } else {
            out.put(*s++);
        }
    }
}

bool in_sve_space(uint32_t word) { return bits(word, 28, 25) == 0b0010; }
bool in_sme_space(uint32_t word) { return bits(word, 31, 31) == 1 && bits(word, 28, 25) == 0; }

// Scalar half precision in the floating-point data-processing encodings
// (ftype = 11), where the decoder's own list is not linked in.
bool looks_half_precision(uint32_t word) {
    return (word & 0x5F000000u) == 0x1E000000u && bits(word, 23, 22) == 0b11 && bits(word, 29, 29) == 0;
}

const sve_handler_info *half_entry_of(uint32_t word, sve_handler_fn fn) {
    if (half_precision_catalog == nullptr) return nullptr;
    size_t count = 0;
    const sve_handler_info *catalog = half_precision_catalog(&count);
    for (size_t i = 0; i < count; ++i)
        if ((word & catalog[i].fixed_mask) == catalog[i].fixed_value && (fn == nullptr || catalog[i].fn == fn))
            return &catalog[i];
    return nullptr;
}

std::atomic<sve_location_resolver> g_resolver{nullptr};

bool dladdr_location(const void *pc, sve_code_location *out) {
    Dl_info info;
    if (dladdr(pc, &info) == 0) return false;
    out->object = info.dli_fname;
    out->object_base = reinterpret_cast<uintptr_t>(info.dli_fbase);
    out->symbol = info.dli_sname;
    out->symbol_address = reinterpret_cast<uintptr_t>(info.dli_saddr);
    return true;
}

const char *reason_text(sve_failure_kind kind) {
    switch (kind) {
    case sve_failure_kind::unimplemented: return "an SVE instruction that is not emulated yet";
    case sve_failure_kind::rejected: return "a reserved encoding: the instruction's handler rejects these operand fields";
    case sve_failure_kind::sve2: return "an SVE2 instruction; only SVE is emulated, not SVE2";
    case sve_failure_kind::sve_extension:
        return "an instruction of an optional SVE extension (BF16, I8MM, F32MM or F64MM), which is not emulated";
    case sve_failure_kind::sme: return "an SME instruction (SME encoding space); SME is not emulated";
    case sve_failure_kind::reserved:
        return "a reserved or unallocated encoding in the SVE space; an SVE processor does not execute it either";
    case sve_failure_kind::half_precision:
        return "a half-precision floating-point instruction (FEAT_FP16), which this processor does not implement "
               "and the emulator did not execute";
    case sve_failure_kind::not_sve:
        return "not an SVE instruction: the processor itself does not implement it (an extension it lacks, or an "
               "undefined encoding)";
    }
    return "unknown";
}

}  // namespace

long sve_entry_index_of(uint32_t word) {
    const sve_handler_fn fn = is_sve(word);
    if (fn == nullptr) return -1;
    size_t count = 0;
    const sve_handler_info *catalog = sve_handler_catalog(&count);
    for (size_t i = 0; i < count; ++i)
        if (catalog[i].fn == fn && (word & catalog[i].fixed_mask) == catalog[i].fixed_value)
            return static_cast<long>(i);
    return -1;
}

const char *sve_instruction_short_name(size_t entry_index) {
    size_t count = 0;
    const sve_handler_info *catalog = sve_handler_catalog(&count);
    if (entry_index >= count) return nullptr;
    if (entry_index < kNameCount && std::strcmp(kNames[entry_index].handler, catalog[entry_index].name) == 0)
        return kNames[entry_index].short_name;
    return catalog[entry_index].name;
}

bool sve_format_instruction(uint32_t word, char *out, size_t size) {
    const long index = sve_entry_index_of(word);
    if (index < 0) return false;
    size_t count = 0;
    const sve_handler_info *catalog = sve_handler_catalog(&count);
    text_out o{out, size, 0};
    const size_t i = static_cast<size_t>(index);
    if (i < kNameCount && std::strcmp(kNames[i].handler, catalog[i].name) == 0)
        render_template(o, kNames[i].format, word);
    else
        o.puts(catalog[i].name);
    o.finish();
    return true;
}

sve_failure_diagnosis sve_diagnose_word(uint32_t word, bool has_fp16) {
    sve_failure_diagnosis d{sve_failure_kind::not_sve, nullptr, nullptr};
    const long index = sve_entry_index_of(word);
    if (index >= 0) {
        size_t count = 0;
        d.entry = &sve_handler_catalog(&count)[index];
    }
    // A handler not written yet names a plain SVE instruction.
    if (d.entry != nullptr && !d.entry->implemented) {
        d.kind = sve_failure_kind::unimplemented;
        return d;
    }
    if (in_sve_space(word)) {
        d.kind = sve_failure_kind::reserved;
        if (const encoding_range *r = encoding_range_of(word))
            d.kind = r->cls == SVE2 ? sve_failure_kind::sve2 : sve_failure_kind::sve_extension;
        // A word that an implemented handler refused: SVE2 and the extensions
        // share some of plain SVE's fixed bits; the rest is reserved.
        if (d.entry != nullptr && d.kind == sve_failure_kind::reserved) d.kind = sve_failure_kind::rejected;
        return d;
    }
    if (d.entry != nullptr) {
        d.kind = sve_failure_kind::rejected;
        return d;
    }
    // SMSTART and SMSTOP (MSR SVCR*, #imm) are system instructions of SME.
    if (in_sme_space(word) || (word & 0xFFFFF8FFu) == 0xD503407Fu) {
        d.kind = sve_failure_kind::sme;
        return d;
    }
    if (!has_fp16) {
        const sve_handler_fn half = is_half_precision != nullptr ? is_half_precision(word) : nullptr;
        if (half != nullptr || (is_half_precision == nullptr && looks_half_precision(word))) {
            d.kind = sve_failure_kind::half_precision;
            d.half_entry = half_entry_of(word, half);
        }
    }
    return d;
}

void sve_set_location_resolver(sve_location_resolver resolver) {
    g_resolver.store(resolver, std::memory_order_release);
}

bool sve_resolve_location(const void *pc, sve_code_location *out) {
    *out = sve_code_location{nullptr, 0, nullptr, 0};
    const sve_location_resolver r = g_resolver.load(std::memory_order_acquire);
    return r != nullptr ? r(pc, out) : dladdr_location(pc, out);
}

size_t sve_format_location(const void *pc, char *out, size_t size) {
    text_out o{out, size, 0};
    sve_code_location loc;
    const uintptr_t at = reinterpret_cast<uintptr_t>(pc);
    if (!sve_resolve_location(pc, &loc)) {
        o.hex(at);
        return o.finish();
    }
    if (loc.symbol != nullptr && loc.symbol[0] != '\0' && loc.symbol_address <= at) {
        o.puts(loc.symbol);
        o.put('+');
        o.hex(at - loc.symbol_address);
        if (loc.object != nullptr && loc.object[0] != '\0') {
            o.puts(" in ");
            o.puts(loc.object);
        }
    } else if (loc.object != nullptr && loc.object[0] != '\0') {
        o.puts(loc.object);
        o.put('+');
        o.hex(at - loc.object_base);
    } else {
        o.hex(at);
    }
    return o.finish();
}

size_t sve_explain_failure(uint32_t word, const void *pc, bool has_fp16, char *out, size_t size) {
    const sve_failure_diagnosis d = sve_diagnose_word(word, has_fp16);
    text_out o{out, size, 0};
    o.puts("  instruction: ");
    char text[160];
    if (d.entry != nullptr && sve_format_instruction(word, text, sizeof text)) {
        o.puts(text);
        o.puts("   (");
        o.puts(d.entry->name);
        o.puts(")");
    } else if (d.half_entry != nullptr) {
        // Entry names are <mnemonic>_<form>.
        const char *name = d.half_entry->name;
        while (*name && *name != '_') o.put(*name++);
        o.puts(" (half precision, ");
        o.puts(d.half_entry->name);
        o.puts(")");
    } else {
        o.puts("0x");
        for (int shift = 28; shift >= 0; shift -= 4) o.put("0123456789abcdef"[(word >> shift) & 15]);
        o.puts(" (not in the emulator's tables)");
    }
    o.put('\n');
    char where[320];
    sve_format_location(pc, where, sizeof where);
    o.puts("  location: ");
    o.puts(where);
    o.put('\n');
    o.puts("  reason: ");
    o.puts(reason_text(d.kind));
    if (d.kind == sve_failure_kind::unimplemented && d.entry != nullptr) {
        o.puts(" (");
        o.puts(d.entry->name);
        o.puts(" has no implementation)");
    } else if (d.kind == sve_failure_kind::rejected && d.entry != nullptr) {
        o.puts(" (");
        o.puts(d.entry->name);
        o.puts(")");
    }
    o.put('\n');
    return o.finish();
}

bool sve_processor_has_fp16() {
#if defined(__aarch64__)
    constexpr unsigned long kHwcapFphp = 1ul << 9;  // HWCAP_FPHP
    return (getauxval(AT_HWCAP) & kHwcapFphp) != 0;
#else
    return false;
#endif
}
