#include "tools/conformance/comparator.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "sve/state/cpu_state.h"

// Comparison rules
// ----------------
// Everything is compared bit for bit: X0-X30, SP, the pc the instruction
// continued from, NZCV, FPSR, FPCR, Z0-Z31, P0-P15, FFR, the memory window, and
// the subject's result code (DECODE_OK). The exceptions are where the
// architecture allows more than one outcome, all for first-fault and non-fault
// loads (LDFF1*, LDNF1*). An implementation may suppress any element of a
// non-fault load, and any element after the first active one of a first-fault
// load, for any reason; it then clears the FFR bits of that element and of all
// later ones, and the suppressed destination elements are UNKNOWN. The
// reference uses that freedom too: it sometimes stops at an element whose memory
// is perfectly readable. So:
//
// 1. The subject's FFR must be the FFR before the load with a tail of whole
//    elements cleared; for a first-fault load the tail must not include the first
//    active element (a fault there is an ordinary fault).
// 2. The subject must not keep (FFR bit set) an active element whose memory has
//    no access: that element cannot have been loaded.
// 3. Destination elements from the first one whose FFR bit is clear in the
//    subject's result are not compared: suppressed, or (where FFR was clear
//    before the load) possibly suppressed without a trace.
// 4. Destination elements the subject kept but the reference suppressed are
//    compared with the memory they come from, as the reference's are UNKNOWN.
// 5. Everything else, including the destination elements both kept, is exact.
//
// Words that are not plain SVE, and words the reference rejects as unallocated,
// never reach this comparison: the harness counts them as skipped.

namespace conformance {

namespace {

constexpr size_t kMaxDifferences = 8;

std::string hex_bytes(const uint8_t *p, size_t n) {
    std::string s;
    char b[4];
    // Most significant byte first, as a value reads.
    for (size_t i = n; i-- > 0;) {
        std::snprintf(b, sizeof b, "%02x", p[i]);
        s += b;
        if (i != 0 && i % 8 == 0) s += '_';
    }
    return s;
}

std::string hex64(uint64_t v) {
    char b[24];
    std::snprintf(b, sizeof b, "0x%016llx", static_cast<unsigned long long>(v));
    return b;
}

void add(comparison &c, std::string where, std::string ref, std::string sub, std::string before = {}) {
    c.agree = false;
    if (c.differences.size() < kMaxDifferences)
        c.differences.push_back({std::move(where), std::move(ref), std::move(sub), std::move(before)});
}

// Compares a byte array, reporting the first 16-byte-aligned block that differs.
// Bytes whose `ignore` entry is set take no part.
void compare_block(comparison &c, const std::string &name, const uint8_t *ref, const uint8_t *sub, size_t n,
                   const uint8_t *before, const bool *ignore = nullptr) {
    for (size_t i = 0; i < n; ++i) {
        if (ref[i] == sub[i] || (ignore && ignore[i])) continue;
        size_t from = i & ~size_t{15};
        size_t to = from + 16 < n ? from + 16 : n;
        char where[64];
        std::snprintf(where, sizeof where, "%s bytes %zu..%zu", name.c_str(), from, to - 1);
        add(c, where, hex_bytes(ref + from, to - from), hex_bytes(sub + from, to - from),
            before ? hex_bytes(before + from, to - from) : std::string());
        return;
    }
}

// Element e of a packed predicate at element size `esize` bytes: all its bits.
bool element_bits_equal(const uint8_t *a, const uint8_t *b, unsigned e, unsigned esize) {
    for (unsigned i = e * esize; i < (e + 1) * esize; ++i)
        if (pred_bit(a, i) != pred_bit(b, i)) return false;
    return true;
}

bool element_bits_zero(const uint8_t *a, unsigned e, unsigned esize) {
    for (unsigned i = e * esize; i < (e + 1) * esize; ++i)
        if (pred_bit(a, i)) return false;
    return true;
}

unsigned first_clear_element(const uint8_t *ffr, unsigned esize) {
    for (unsigned e = 0; e < kZBytes / esize; ++e)
        if (!pred_bit(ffr, e * esize)) return e;
    return kZBytes / esize;
}

bool touches_withdrawn(const case_input &in, uint64_t address, unsigned bytes) {
    for (uint64_t a : {address, address + bytes - 1}) {
        if (a < kWindowBase || a >= kWindowBase + kWindowBytes) return true;
        if ((in.header.unmapped_pages >> ((a - kWindowBase) / kPageBytes)) & 1) return true;
    }
    return false;
}

// Rules 1 to 4 for the FFR and the destination of a first-fault or non-fault
// load; marks in `ignore` the destination bytes that rule 5 must skip.
void check_partial_load(comparison &c, const case_input &in, const word_profile &p, const case_result &ref,
                        const case_result &sub, const uint8_t *pristine, bool *ignore) {
    const unsigned esize = p.element_bytes ? p.element_bytes : 1;
    const unsigned msize = p.memory_bytes ? p.memory_bytes : 1;
    const unsigned elements = kZBytes / esize;
    const uint8_t *before = in.regs.ffr, *r = ref.regs.ffr, *s = sub.regs.ffr;
    auto report_ffr = [&](const char *what) {
        add(c, std::string("ffr (") + what + ")", hex_bytes(r, kPBytes), hex_bytes(s, kPBytes), hex_bytes(before, kPBytes));
    };
    for (unsigned i = 0; i < kZBytes; ++i) ignore[i] = true;

    unsigned cleared_from = elements;  // rule 1
    for (unsigned e = 0; e < elements; ++e)
        if (!element_bits_equal(before, s, e, esize)) {
            cleared_from = e;
            break;
        }
    for (unsigned e = cleared_from; e < elements; ++e)
        if (!element_bits_zero(s, e, esize)) return report_ffr("not the old FFR with a tail of elements cleared");
    const uint8_t *pg = p.governing_p < 16 ? in.regs.p[p.governing_p] : nullptr;
    if (p.first_fault && pg != nullptr) {
        for (unsigned e = 0; e < elements; ++e) {
            if (!pred_bit(pg, e * esize)) continue;
            if (cleared_from <= e && pred_bit(before, e * esize))
                return report_ffr("first-fault load cleared its first active element");
            break;
        }
    }
    const unsigned sub_kept = first_clear_element(s, esize), ref_kept = first_clear_element(r, esize);
    for (unsigned e = 0; e < sub_kept; ++e) {  // rule 2
        uint64_t address;
        if (pg == nullptr || !pred_bit(pg, e * esize) || !element_address(p, in.regs, e, address)) continue;
        if (touches_withdrawn(in, address, msize)) {
            char what[96];
            std::snprintf(what, sizeof what, "subject kept element %u, whose memory at 0x%llx has no access", e,
                          static_cast<unsigned long long>(address));
            return report_ffr(what);
        }
    }
    const unsigned zt = p.first_z % 32;
    for (unsigned e = 0; e < sub_kept && e < ref_kept; ++e)  // rule 5 for these
        for (unsigned b = 0; b < esize; ++b) ignore[e * esize + b] = false;
    for (unsigned e = ref_kept; e < sub_kept; ++e) {  // rule 4
        uint64_t expected = 0, address = 0;
        if (pg != nullptr && pred_bit(pg, e * esize)) {
            if (!element_address(p, in.regs, e, address) || touches_withdrawn(in, address, msize)) continue;
            for (unsigned b = 0; b < msize; ++b)
                expected |= static_cast<uint64_t>(pristine[address - kWindowBase + b]) << (8 * b);
            if (p.sign_extends && msize < 8 && ((expected >> (8 * msize - 1)) & 1)) expected |= ~0ull << (8 * msize);
        }
        uint8_t want[8];
        for (unsigned b = 0; b < esize && b < 8; ++b) want[b] = static_cast<uint8_t>(expected >> (8 * b));
        if (std::memcmp(want, sub.regs.z[zt] + e * esize, esize) != 0) {
            char where[128];
            std::snprintf(where, sizeof where, "z%u element %u (kept by the subject only; memory at 0x%llx)", zt, e,
                          static_cast<unsigned long long>(address));
            add(c, where, hex_bytes(want, esize) + " (memory)", hex_bytes(sub.regs.z[zt] + e * esize, esize),
                hex_bytes(in.regs.z[zt] + e * esize, esize));
            return;
        }
    }
}

}  // namespace

namespace {

// "x3", "z17", "p0" (built without operator+, which g++ 12 misreads at -O2).
std::string register_name(char kind, unsigned n) {
    char b[8];
    std::snprintf(b, sizeof b, "%c%u", kind, n);
    return b;
}

}  // namespace

comparison compare_results(const case_input &input, const word_profile &profile, const case_result &ref,
                           const case_result &sub, const uint8_t *pristine) {
    comparison c;
    if (sub.rc != DECODE_OK) {
        add(c, "result code", "0 (DECODE_OK)", std::to_string(sub.rc) + (sub.rc == DECODE_UNIMPLEMENTED ? " (DECODE_UNIMPLEMENTED)" : ""));
        return c;
    }
    if (sub.signal != 0) {
        add(c, "subject faulted", "completed", "signal " + std::to_string(sub.signal) + " at " + hex64(sub.fault_address));
        return c;
    }
    if (!sub.note.empty()) add(c, "subject state", "well-formed", sub.note);

    const wire_regs &r = ref.regs, &s = sub.regs, &in = input.regs;
    for (unsigned i = 0; i < 31; ++i)
        if (r.x[i] != s.x[i]) add(c, register_name('x', i), hex64(r.x[i]), hex64(s.x[i]), hex64(in.x[i]));
    if (r.sp != s.sp) add(c, "sp", hex64(r.sp), hex64(s.sp), hex64(in.sp));
    if (ref.pc_after != sub.pc_after)
        add(c, "pc after", hex64(ref.pc_after), hex64(sub.pc_after), hex64(input.header.pc));
    if (r.nzcv != s.nzcv) add(c, "nzcv", hex64(r.nzcv), hex64(s.nzcv), hex64(in.nzcv));
    if (r.fpsr != s.fpsr) add(c, "fpsr", hex64(r.fpsr), hex64(s.fpsr), hex64(in.fpsr));
    if (r.fpcr != s.fpcr) add(c, "fpcr", hex64(r.fpcr), hex64(s.fpcr), hex64(in.fpcr));

    const bool partial_load = profile.first_fault || profile.non_fault;
    bool ignore_destination[kZBytes] = {};
    if (partial_load)
        check_partial_load(c, input, profile, ref, sub, pristine, ignore_destination);
    else
        compare_block(c, "ffr", r.ffr, s.ffr, kPBytes, in.ffr);

    for (unsigned z = 0; z < 32; ++z) {
        const bool *ignore = partial_load && z == profile.first_z % 32 ? ignore_destination : nullptr;
        compare_block(c, register_name('z', z), r.z[z], s.z[z], kZBytes, in.z[z], ignore);
    }
    for (unsigned p = 0; p < 16; ++p) compare_block(c, register_name('p', p), r.p[p], s.p[p], kPBytes, in.p[p]);

    // Memory: chunks missing from a side still hold their initial contents.
    std::map<uint64_t, const uint8_t *> rm, sm;
    for (const wire_chunk &ch : ref.chunks) rm[ch.index] = ch.bytes;
    for (const wire_chunk &ch : sub.chunks) sm[ch.index] = ch.bytes;
    std::map<uint64_t, bool> all;
    for (auto &kv : rm) all[kv.first] = true;
    for (auto &kv : sm) all[kv.first] = true;
    for (auto &kv : all) {
        uint64_t i = kv.first;
        if (i >= kWindowChunks) continue;
        const uint8_t *a = rm.count(i) ? rm[i] : pristine + i * kChunkBytes;
        const uint8_t *b = sm.count(i) ? sm[i] : pristine + i * kChunkBytes;
        char name[64];
        std::snprintf(name, sizeof name, "memory at 0x%llx",
                      static_cast<unsigned long long>(kWindowBase + i * kChunkBytes));
        compare_block(c, name, a, b, kChunkBytes, pristine + i * kChunkBytes);
    }
    return c;
}

std::string describe_input_and_differences(const case_input &input, const comparison &c) {
    std::string out;
    char b[160];
    std::snprintf(b, sizeof b, "    fpcr 0x%08x fpsr 0x%08x nzcv 0x%08llx unmapped pages 0x%llx\n", input.regs.fpcr,
                  input.regs.fpsr, static_cast<unsigned long long>(input.regs.nzcv),
                  static_cast<unsigned long long>(input.header.unmapped_pages));
    out += b;
    for (const difference &d : c.differences) {
        out += "    " + d.where + ":\n";
        if (!d.before.empty()) out += "      input     " + d.before + "\n";
        out += "      reference " + d.reference + "\n";
        out += "      subject   " + d.subject + "\n";
    }
    return out;
}

}  // namespace conformance
