#include "tools/conformance/sequence_mode.h"

#include <fnmatch.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include <vector>

#include "tools/conformance/comparator.h"
#include "tools/conformance/disassembler.h"
#include "tools/conformance/probe_io.h"
#include "tools/conformance/subject_runner.h"

namespace conformance {

namespace {

// Registers as bit sets: Z0-Z31, P0-P15, X0-X30 with SP as bit 31.
struct reg_set {
    uint32_t z = 0, p = 0, x = 0;
    bool meets(const reg_set &o) const { return (z & o.z) || (p & o.p) || (x & o.x); }
    void add(const reg_set &o) {
        z |= o.z;
        p |= o.p;
        x |= o.x;
    }
};

struct pool_word {
    uint32_t word;
    std::string text;
    word_profile profile;
    reg_set writes;     // what it may write
    reg_set sensitive;  // what must hold its generated value when it runs
    bool prefixable = false;       // may follow an unpredicated MOVPRFX
    bool prefixable_pred = false;  // may follow a predicated one (same Pg, same size)
    bool ffr_user = false;         // RDFFR, RDFFRS, SETFFR, WRFFR
    unsigned zd = 0, pg = 0, esize = 0;
};

// A register token: z5.s -> ('z', 5, 's'); w3/x3 -> ('x', 3); sp/wsp -> ('x', 31);
// b/h/s/d/q registers are the low part of a Z register.
bool register_token(std::string_view t, char &cls, unsigned &num, char &suffix) {
    suffix = 0;
    if (t == "sp" || t == "wsp") {
        cls = 'x';
        num = 31;
        return true;
    }
    if (t.size() < 2 || !std::isdigit(static_cast<unsigned char>(t[1]))) return false;
    switch (t[0]) {
        case 'z': cls = 'z'; break;
        case 'p': cls = 'p'; break;
        case 'x':
        case 'w': cls = 'x'; break;
        case 'b':
        case 'h':
        case 's':
        case 'd':
        case 'q':
        case 'v': cls = 'z'; break;
        default: return false;
    }
    size_t i = 1;
    num = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) num = num * 10 + static_cast<unsigned>(t[i++] - '0');
    if (i < t.size() && t[i] == '.' && i + 1 < t.size()) suffix = t[i + 1];
    if (cls == 'x' && num > 30) return false;  // xzr/wzr are spelled out; 31 never appears
    return true;
}

void add_reg(reg_set &s, char cls, unsigned n) {
    if (cls == 'z') s.z |= 1u << (n % 32);
    if (cls == 'p') s.p |= 1u << (n % 16);
    if (cls == 'x') s.x |= 1u << (n % 32);
}

// The registers named in an operand: a register, a { list } (ranges z0.d-z3.d
// included), or an address.
std::vector<std::pair<char, unsigned>> registers_in(std::string_view op) {
    std::vector<std::pair<char, unsigned>> out;
    std::string cur;
    auto flush = [&] {
        char cls, suffix;
        unsigned n;
        std::string_view t = cur;
        size_t slash = t.find('/');
        if (slash != std::string_view::npos) t = t.substr(0, slash);
        if (register_token(t, cls, n, suffix)) out.emplace_back(cls, n);
        cur.clear();
    };
    bool range = false;
    // Ends the token; after a '-', z30.d-z1.d stands for every register from the
    // first to the last, wrapping.
    auto flush_range = [&] {
        const size_t before = out.size();
        flush();
        if (range && out.size() == before + 1 && before > 0) {
            const unsigned a = out[before - 1].second, b = out[before].second;
            out.pop_back();
            for (unsigned r = (a + 1) % 32; r != (b + 1) % 32; r = (r + 1) % 32) out.emplace_back('z', r);
            range = false;
        }
    };
    for (char c : op) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '/') {
            cur += c;
            continue;
        }
        flush_range();
        if (c == '-') range = true;
    }
    flush_range();
    return out;
}

bool one_of(std::string_view m, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (m == n) return true;
    return false;
}

// What the sequence rules need to know of one word, from its disassembly.
void analyse(pool_word &w) {
    const word_profile &p = w.profile;
    const std::string &m = p.mnemonic;
    std::string_view text = w.text;
    const size_t space = text.find(' ');
    const std::vector<std::string_view> ops =
        split_operands(space == std::string_view::npos ? std::string_view{} : text.substr(space + 1));
    w.ffr_user = one_of(m, {"rdffr", "rdffrs", "setffr", "wrffr"});

    // Writes: the first operand, except where it is only read.
    const bool reads_first = p.store || p.prefetch || one_of(m, {"ptest", "wrffr", "setffr", "ctermeq", "ctermne"});
    if (!ops.empty() && !reads_first && ops[0].front() != '[')
        for (auto [cls, n] : registers_in(ops[0])) add_reg(w.writes, cls, n);

    // Sensitive reads: address registers, the governing predicate of a
    // contiguous first-fault or non-fault load, WRFFR's operand.
    for (std::string_view op : ops)
        if (op.front() == '[')
            for (auto [cls, n] : registers_in(op)) add_reg(w.sensitive, cls, n);
    const bool contiguous = p.address.base == addr_base::scalar || p.address.base == addr_base::sp;
    if ((p.first_fault || p.non_fault) && contiguous && p.governing_p < 16) add_reg(w.sensitive, 'p', p.governing_p);
    if (m == "wrffr" && p.first_p < 16) add_reg(w.sensitive, 'p', p.first_p);

    // MOVPRFX successors. The destination must be a Z register used by no other
    // operand than the destructive one.
    if (ops.empty() || p.memory) return;
    char cls, suffix;
    unsigned zd;
    if (!register_token(ops[0], cls, zd, suffix) || cls != 'z' || ops[0][0] != 'z') return;
    w.zd = zd;
    w.esize = p.element_bytes;
    bool merging = false;
    unsigned pg = 16;
    std::vector<unsigned> sources;  // Z operands after the destination, in order
    unsigned other_sources = 0;     // immediates and general registers
    bool same_size = true;
    for (size_t i = 1; i < ops.size(); ++i) {
        std::string_view op = ops[i];
        if (op.size() > 2 && op.substr(op.size() - 2) == "/m") {
            merging = true;
            unsigned n;
            char c2, s2;
            if (register_token(op.substr(0, op.size() - 2), c2, n, s2)) pg = n;
            continue;
        }
        unsigned n;
        char c2, s2;
        if (register_token(op, c2, n, s2) && c2 == 'z' && op[0] == 'z') {
            sources.push_back(n);
            if (s2 != suffix) same_size = false;
        } else if (op.front() == '#' || register_token(op, c2, n, s2)) {
            ++other_sources;
        }
    }
    auto used_after = [&](size_t from) {
        for (size_t i = from; i < sources.size(); ++i)
            if (sources[i] == zd) return true;
        return false;
    };
    const bool ternary = one_of(m, {"mla", "mls", "mad", "msb", "fmla", "fmls", "fnmla", "fnmls", "fmad", "fmsb",
                                    "fnmad", "fnmsb", "fcmla", "sdot", "udot"});
    bool ok = false;
    if (merging) {
        if (ternary)
            ok = !used_after(0);
        else if (!sources.empty() && sources[0] == zd)
            ok = sources.size() + other_sources >= 2 && !used_after(1);  // Zdn, then a further source
        else
            ok = !used_after(0);
        w.pg = pg;
        w.prefixable_pred = ok && pg < 8 && same_size && w.esize != 0;
    } else if (one_of(m, {"add", "sub", "subr", "sqadd", "uqadd", "sqsub", "uqsub", "mul", "smax", "smin", "umax",
                          "umin", "and", "orr", "eor"})) {
        ok = ops.size() >= 3 && sources.size() == 1 && sources[0] == zd && ops[2].front() == '#';
    } else if (one_of(m, {"ext", "ftmad"})) {
        ok = sources.size() == 2 && sources[0] == zd && sources[1] != zd;
    } else if (one_of(m, {"sdot", "udot", "fmla", "fmls", "fcmla"})) {
        ok = !used_after(0);
    }
    w.prefixable = ok;
}

bool matches(const std::vector<std::string> &patterns, const char *name) {
    if (patterns.empty()) return true;
    for (const std::string &p : patterns)
        if (fnmatch(p.c_str(), name, 0) == 0) return true;
    return false;
}

struct pool {
    std::vector<pool_word> words;
    std::vector<std::vector<size_t>> by_handler;  // indices into words
    std::vector<size_t> prefixable, prefixable_pred, ffr_users;
};

constexpr unsigned kPoolWordsPerHandler = 3;

bool build_pool(const run_options &o, pool &out, std::string &error) {
    std::vector<sve_handler_info> catalog = o.catalog;
    if (catalog.empty()) {
        size_t n = 0;
        const sve_handler_info *all = sve_handler_catalog(&n);
        catalog.assign(all, all + n);
    }
    struct drawn {
        size_t handler;
        uint32_t word;
    };
    std::vector<drawn> draws;
    std::vector<uint32_t> words;
    std::vector<const char *> names;
    for (const sve_handler_info &h : catalog) {
        if (!h.implemented || !matches(o.patterns, h.name)) continue;
        // MOVPRFX comes in only as a prefix, placed by the sequence rules.
        if (std::strstr(h.name, "MovePrefix") != nullptr) continue;
        for (uint64_t k = 0; k < 4 * kPoolWordsPerHandler; ++k) {
            const uint32_t w = generate_word(h.name, h.fixed_mask, h.fixed_value, o.seed ^ 0x5E9u, k);
            draws.push_back({names.size(), w});
            words.push_back(w);
        }
        names.push_back(h.name);
    }
    std::vector<disassembly> dis;
    if (!disassemble_plain_sve(o.llvm_mc, words, dis, error)) return false;
    out.by_handler.assign(names.size(), {});
    for (size_t i = 0; i < draws.size(); ++i) {
        std::vector<size_t> &mine = out.by_handler[draws[i].handler];
        if (!dis[i].valid || mine.size() >= kPoolWordsPerHandler) continue;
        bool again = false;
        for (size_t j : mine) again |= out.words[j].word == draws[i].word;
        if (again) continue;
        pool_word w;
        w.word = draws[i].word;
        w.text = dis[i].text;
        w.profile = profile_from_disassembly(w.text);
        analyse(w);
        mine.push_back(out.words.size());
        if (w.prefixable) out.prefixable.push_back(out.words.size());
        if (w.prefixable_pred) out.prefixable_pred.push_back(out.words.size());
        if (w.ffr_user) out.ffr_users.push_back(out.words.size());
        out.words.push_back(std::move(w));
    }
    std::vector<std::vector<size_t>> kept;
    for (auto &v : out.by_handler)
        if (!v.empty()) kept.push_back(std::move(v));
    out.by_handler = std::move(kept);
    if (out.by_handler.empty()) {
        error = "no handler gave a plain SVE word for the sequences";
        return false;
    }
    return true;
}

// One generated sequence: its words, the pool entry of each (SIZE_MAX for a
// MOVPRFX), and the state it starts from.
struct sequence {
    uint64_t index = 0;
    std::vector<uint32_t> words;
    std::vector<size_t> member;
    std::vector<bool> prefix;  // word i is a MOVPRFX (its successor is word i + 1)
    case_input input;
    unsigned movprfx = 0, first_fault = 0;
};

void put_element(uint8_t *z, unsigned index, unsigned size, uint64_t value) {
    for (unsigned b = 0; b < size; ++b) z[index * size + b] = static_cast<uint8_t>(value >> (8 * b));
}

// Puts every element a first-fault or non-fault load may access into one page
// of the window. The reference stops such a load early where its accesses
// cross into another page (as the architecture allows), and the elements it
// then leaves UNKNOWN would make the words after it incomparable.
void confine_to_one_page(case_rng &rng, const word_profile &p, case_input &c) {
    const address_operand &a = p.address;
    wire_regs &r = c.regs;
    const unsigned esize = p.element_bytes ? p.element_bytes : 1;
    const unsigned msize = p.memory_bytes ? p.memory_bytes : 1;
    const unsigned elements = kZBytes / esize;
    const uint64_t page = kWindowBase + (kWindowPages / 2 - 4 + rng.below(8)) * kPageBytes;
    auto somewhere = [&] { return rng.below(kPageBytes / msize) * msize; };
    if (a.base == addr_base::vector_s || a.base == addr_base::vector_d) {
        for (unsigned e = 0; e < elements; ++e)
            put_element(r.z[a.base_reg % 32], e, esize, page + somewhere() - static_cast<uint64_t>(a.immediate));
        return;
    }
    if (a.base != addr_base::scalar && a.base != addr_base::sp) return;
    if (a.offset == addr_offset::vector_s || a.offset == addr_offset::vector_d) {
        if (a.base == addr_base::sp)
            r.sp = page;
        else
            r.x[a.base_reg % 31] = page;
        for (unsigned e = 0; e < elements; ++e)
            put_element(r.z[a.offset_reg % 32], e, esize, (somewhere() & ~((1ull << a.shift) - 1)) >> a.shift);
        return;
    }
    uint64_t first = 0;
    if (!element_address(p, r, 0, first)) return;
    const uint64_t span = uint64_t{elements} * msize;
    const uint64_t want = page + (span < kPageBytes ? rng.below((kPageBytes - span) / msize + 1) * msize : 0);
    if (a.offset == addr_offset::scalar && a.offset_reg == a.base_reg && a.base == addr_base::scalar) {
        // One register is base and index: X + (X << shift), rounded down into
        // the page (the span leaves room below the page's end).
        const uint64_t scale = 1 + (1ull << a.shift);
        r.x[a.base_reg % 31] = (want + scale - 1) / scale;
        return;
    }
    if (a.base == addr_base::sp)
        r.sp += want - first;
    else
        r.x[a.base_reg % 31] += want - first;
}

bool hazard_free(const pool &pl, const reg_set &written, size_t candidate) {
    return !written.meets(pl.words[candidate].sensitive);
}

void build_sequence(const run_options &o, const pool &pl, uint64_t index, sequence &s) {
    s = sequence{};
    s.index = index;
    case_rng rng = make_rng("sequence", o.seed, index, 3);
    const unsigned length = static_cast<unsigned>(rng.range(2, kMaxSequenceWords));
    reg_set written;
    // After WRFFR the FFR may be partial, and a first-fault or non-fault load
    // may then suppress elements whose FFR bit was clear without a trace.
    bool ffr_partial = false;
    // Each first-fault or non-fault load has its address registers to itself,
    // so that each can be kept within a page.
    reg_set partial_loads;
    auto usable = [&](size_t c) {
        const pool_word &w = pl.words[c];
        const bool partial = w.profile.first_fault || w.profile.non_fault;
        return hazard_free(pl, written, c) && !(partial && (ffr_partial || partial_loads.meets(w.sensitive)));
    };
    auto pick_any = [&]() -> size_t {
        for (int tries = 0; tries < 32; ++tries) {
            const std::vector<size_t> &h = pl.by_handler[rng.below(pl.by_handler.size())];
            const size_t c = h[rng.below(h.size())];
            if (usable(c)) return c;
        }
        return SIZE_MAX;
    };
    auto push = [&](uint32_t word, size_t member, bool is_prefix, const reg_set &w) {
        if (member != SIZE_MAX && pl.words[member].profile.mnemonic == "wrffr") ffr_partial = true;
        if (member != SIZE_MAX && (pl.words[member].profile.first_fault || pl.words[member].profile.non_fault))
            partial_loads.add(pl.words[member].sensitive);
        s.words.push_back(word);
        s.member.push_back(member);
        s.prefix.push_back(is_prefix);
        written.add(w);
    };
    while (s.words.size() < length) {
        const size_t room = length - s.words.size();
        if (room >= 2 && rng.chance(15) && !pl.prefixable.empty()) {
            const bool predicated = rng.chance(50) && !pl.prefixable_pred.empty();
            const std::vector<size_t> &from = predicated ? pl.prefixable_pred : pl.prefixable;
            const pool_word &next = pl.words[from[rng.below(from.size())]];
            const unsigned zn = static_cast<unsigned>(rng.below(32));
            uint32_t prefix;
            if (predicated) {
                const uint32_t size = next.esize == 8 ? 3 : next.esize == 4 ? 2 : next.esize == 2 ? 1 : 0;
                prefix = 0x04102000u | size << 22 | static_cast<uint32_t>(rng.below(2)) << 16 | next.pg << 10 |
                         zn << 5 | next.zd;
            } else {
                prefix = 0x0420BC00u | zn << 5 | next.zd;
            }
            reg_set w;
            add_reg(w, 'z', next.zd);
            push(prefix, SIZE_MAX, true, w);
            push(next.word, static_cast<size_t>(&next - pl.words.data()), false, next.writes);
            ++s.movprfx;
            continue;
        }
        const size_t c = pick_any();
        if (c == SIZE_MAX) break;
        const pool_word &w = pl.words[c];
        push(w.word, c, false, w.writes);
        if (w.profile.first_fault || w.profile.non_fault) {
            ++s.first_fault;
            // Often read or reset the FFR it leaves.
            if (s.words.size() < length && rng.chance(60) && !pl.ffr_users.empty()) {
                const size_t f = pl.ffr_users[rng.below(pl.ffr_users.size())];
                if (usable(f)) push(pl.words[f].word, f, false, pl.words[f].writes);
            }
        }
    }
    // The state: generated for the first word, then fitted to each further one.
    const size_t first = s.member[0] != SIZE_MAX ? 0 : 1;
    const pool_word &w0 = pl.words[s.member[first]];
    generate_case("sequence", o.seed, index, s.words[0], w0.profile, s.input);
    unsigned memory = w0.profile.memory ? 1 : 0;
    for (size_t i = 0; i < s.words.size(); ++i) {
        if (s.member[i] == SIZE_MAX || i == first) continue;
        const word_profile &p = pl.words[s.member[i]].profile;
        adapt_case_to_word(rng, p, s.input);
        memory += p.memory ? 1 : 0;
    }
    // The FFR starts full (WRFFR is the one way to make it partial, above), and
    // first-fault and non-fault loads stay within a page.
    std::memset(s.input.regs.ffr, 0xFF, kPBytes);
    for (size_t i = 0; i < s.words.size(); ++i) {
        if (s.member[i] == SIZE_MAX) continue;
        const word_profile &p = pl.words[s.member[i]].profile;
        if (p.first_fault || p.non_fault) confine_to_one_page(rng, p, s.input);
    }
    // Every page stays mapped. Where a first-fault or non-fault load meets a page
    // with no access, the architecture lets each side stop at any element after
    // the first and leaves the rest of the destination UNKNOWN, so the words
    // after it could not be compared; the single-instruction run covers that.
    (void)memory;
    s.input.header.unmapped_pages = 0;
    s.input.regs.fpcr &= o.fpcr_case_mask;
    s.input.header.word = s.words[0];
    s.input.header.tag = index;
    s.input.header.extra_words = static_cast<uint32_t>(s.words.size() - 1);
    s.input.header.flags |= kCaseCheckMemory;
}

struct runner {
    const run_options &o;
    uint64_t window_seed;
    probe_session reference;
    subject_probe host;
    uint64_t slot = 0;

    // Runs each sequence (words and input) on both sides.
    bool run(std::vector<sequence *> &batch, std::vector<case_result> &refs, std::vector<case_result> &subs,
             std::string &error) {
        if (!reference.started && !start_probe(o, reference, error)) return false;
        std::vector<uint8_t> out = begin_batch(reference, window_seed);
        for (sequence *s : batch) {
            s->input.header.pc = slot_pc(static_cast<unsigned>(slot++ % kCodeSlots));
            append_case(out, s->input, s->words.data() + 1);
        }
        std::vector<uint8_t> results;
        if (!exchange(reference.child, out.data(), out.size(), results, enough_results, batch.size(), false)) {
            error = "the reference probe stopped (status " + std::to_string(finish_child(reference.child)) + ")";
            return false;
        }
        refs.assign(batch.size(), case_result{});
        subs.assign(batch.size(), case_result{});
        size_t pos = 0;
        for (size_t i = 0; i < batch.size(); ++i) pos = parse_result(results, pos, refs[i]);
        if (o.subject_probe_command.empty()) {
            for (size_t i = 0; i < batch.size(); ++i)
                if (refs[i].signal == 0)
                    run_subject(o.subject, batch[i]->input, subs[i], batch[i]->words.data() + 1,
                                batch[i]->input.header.extra_words);
            return true;
        }
        std::vector<const case_input *> inputs;
        std::vector<const uint32_t *> extras;
        std::vector<size_t> where;
        for (size_t i = 0; i < batch.size(); ++i)
            if (refs[i].signal == 0) {
                inputs.push_back(&batch[i]->input);
                extras.push_back(batch[i]->words.data() + 1);
                where.push_back(i);
            }
        std::vector<case_result> hosted;
        if (!run_subject_probe(o, host, window_seed, inputs, hosted, error, &extras)) return false;
        for (size_t k = 0; k < where.size(); ++k) subs[where[k]] = std::move(hosted[k]);
        return true;
    }

    // Compared as a whole: the state after the last word is exact everywhere.
    comparison compare(const sequence &s, const case_result &ref, const case_result &sub) {
        word_profile none;
        return compare_results(s.input, none, ref, sub, subject_pristine_window());
    }

    bool finish(std::string &error) {
        if (reference.started) {
            const int rc = finish_child(reference.child);
            if (rc != 0) {
                error = "the reference probe ended with status " + std::to_string(rc);
                return false;
            }
        }
        if (host.session.started) {
            const int rc = finish_child(host.session.child);
            if (rc != 0) {
                error = "the host's probe ended with status " + std::to_string(rc);
                return false;
            }
        }
        return true;
    }
};

// Removes words (a MOVPRFX with its successor, or the MOVPRFX alone) while the
// sequence still disagrees with the reference completing it.
void shrink(runner &r, sequence &s, comparison &last) {
    bool changed = true;
    while (changed && s.words.size() > 1) {
        changed = false;
        for (size_t i = 0; i < s.words.size() && s.words.size() > 1; ++i) {
            for (size_t span : {size_t{2}, size_t{1}}) {
                const bool pair = s.prefix[i];
                if (span == 2 && !pair) continue;
                if (span == 1 && i > 0 && s.prefix[i - 1]) continue;  // a successor stays with its MOVPRFX
                if (span >= s.words.size()) continue;
                sequence t = s;
                t.words.erase(t.words.begin() + static_cast<long>(i), t.words.begin() + static_cast<long>(i + span));
                t.member.erase(t.member.begin() + static_cast<long>(i), t.member.begin() + static_cast<long>(i + span));
                t.prefix.erase(t.prefix.begin() + static_cast<long>(i), t.prefix.begin() + static_cast<long>(i + span));
                if (t.prefix.back()) continue;  // a MOVPRFX may not end the block
                t.input.header.word = t.words[0];
                t.input.header.extra_words = static_cast<uint32_t>(t.words.size() - 1);
                std::vector<sequence *> one{&t};
                std::vector<case_result> refs, subs;
                std::string error;
                if (!r.run(one, refs, subs, error) || refs[0].signal != 0) continue;
                comparison c = r.compare(t, refs[0], subs[0]);
                if (c.agree) continue;
                s = std::move(t);
                last = std::move(c);
                changed = true;
                break;
            }
        }
    }
}

std::string describe(const run_options &o, const sequence &original, const sequence &s, const comparison &c) {
    std::string out;
    char b[512];
    std::snprintf(b, sizeof b,
                  "sequence %llu, seed %llu: DISAGREE (replay: --sequences 1 --seed %llu --sequence %llu)\n"
                  "    shortest disagreeing sequence: %zu of its %zu words\n",
                  static_cast<unsigned long long>(s.index), static_cast<unsigned long long>(o.seed),
                  static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(s.index), s.words.size(),
                  original.words.size());
    out += b;
    std::vector<disassembly> dis;
    std::string error;
    if (!disassemble_plain_sve(o.llvm_mc, s.words, dis, error)) dis.assign(s.words.size(), disassembly{});
    for (size_t i = 0; i < s.words.size(); ++i) {
        std::snprintf(b, sizeof b, "    %2zu  0x%08x  %s\n", i, s.words[i],
                      dis[i].text.empty() ? "?" : dis[i].text.c_str());
        out += b;
    }
    return out + describe_input_and_differences(s.input, c);
}

}  // namespace

sequence_word_rules sequence_rules(std::string_view disassembly) {
    pool_word w;
    w.text = std::string(disassembly);
    w.profile = profile_from_disassembly(w.text);
    analyse(w);
    sequence_word_rules r;
    r.prefixable = w.prefixable;
    r.prefixable_predicated = w.prefixable_pred;
    r.writes_z = w.writes.z;
    r.writes_p = w.writes.p;
    r.writes_x = w.writes.x;
    r.sensitive_z = w.sensitive.z;
    r.sensitive_p = w.sensitive.p;
    r.sensitive_x = w.sensitive.x;
    return r;
}

std::string sequence_line(const sequence_summary &s) {
    char line[128];
    std::snprintf(line, sizeof line, "sequences: %llu run, %llu agree, %llu disagree",
                  static_cast<unsigned long long>(s.run), static_cast<unsigned long long>(s.agree),
                  static_cast<unsigned long long>(s.disagree));
    return line;
}

int run_sequences(const run_options &o, uint64_t count, int64_t only_sequence, sequence_summary &summary) {
    summary = sequence_summary{};
    pool pl;
    if (!build_pool(o, pl, summary.error)) return 2;
    const uint64_t window_seed = hash_name("window") ^ (o.seed * 0x9E3779B97F4A7C15ull);
    if (!prepare_subject(window_seed, summary.error)) return 2;
    runner r{o, window_seed, {}, {}, 0};

    const uint64_t wanted = only_sequence >= 0 ? 1 : count;
    const uint64_t limit = only_sequence >= 0 ? 1 : 4 * count + 16;
    uint64_t next = only_sequence >= 0 ? static_cast<uint64_t>(only_sequence) : 0;
    uint64_t drawn = 0;
    unsigned printed = 0;
    constexpr unsigned kBatch = 256;
    std::vector<sequence> batch;
    while (summary.run < wanted && drawn < limit) {
        const uint64_t n = std::min<uint64_t>({kBatch, wanted - summary.run, limit - drawn});
        batch.assign(n, sequence{});
        std::vector<sequence *> ptrs;
        for (uint64_t k = 0; k < n; ++k) {
            build_sequence(o, pl, next++, batch[k]);
            ptrs.push_back(&batch[k]);
        }
        drawn += n;
        std::vector<case_result> refs, subs;
        if (!r.run(ptrs, refs, subs, summary.error)) return 2;
        for (uint64_t k = 0; k < n; ++k) {
            const sequence &s = batch[k];
            if (refs[k].signal == 4) {
                ++summary.unallocated;
                continue;
            }
            if (refs[k].signal != 0) {
                ++summary.reference_fault;
                continue;
            }
            ++summary.run;
            summary.words += s.words.size();
            summary.movprfx += s.movprfx;
            summary.first_fault += s.first_fault;
            comparison c = r.compare(s, refs[k], subs[k]);
            if (c.agree) {
                ++summary.agree;
                continue;
            }
            ++summary.disagree;
            if (printed < 5) {
                ++printed;
                sequence shrunk = s;
                shrink(r, shrunk, c);
                std::fputs(describe(o, s, shrunk, c).c_str(), o.out);
                std::fflush(o.out);
            }
        }
    }
    if (!r.finish(summary.error)) return 2;
    std::fprintf(o.out,
                 "sequence words: %llu in %llu sequences (%llu MOVPRFX pairs, %llu first-fault or non-fault loads); "
                 "not run: %llu unallocated, %llu reference faults\n",
                 static_cast<unsigned long long>(summary.words), static_cast<unsigned long long>(summary.run),
                 static_cast<unsigned long long>(summary.movprfx), static_cast<unsigned long long>(summary.first_fault),
                 static_cast<unsigned long long>(summary.unallocated),
                 static_cast<unsigned long long>(summary.reference_fault));
    return summary.disagree ? 1 : 0;
}

}  // namespace conformance
