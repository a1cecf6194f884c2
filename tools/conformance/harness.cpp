#include "tools/conformance/harness.h"

#include <fnmatch.h>

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "tools/conformance/case_generator.h"
#include "tools/conformance/child_process.h"
#include "tools/conformance/comparator.h"
#include "tools/conformance/disassembler.h"
#include "tools/conformance/probe_io.h"

#ifndef SVE_CONFORMANCE_PROBE
#define SVE_CONFORMANCE_PROBE ""
#endif
#ifndef SVE_CONFORMANCE_QEMU
#define SVE_CONFORMANCE_QEMU "/usr/bin/qemu-aarch64"
#endif
#ifndef SVE_CONFORMANCE_LLVM_MC
#define SVE_CONFORMANCE_LLVM_MC "/usr/bin/llvm-mc-14"
#endif
#ifndef SVE_CONFORMANCE_OBJDUMP
#define SVE_CONFORMANCE_OBJDUMP "/usr/bin/aarch64-linux-gnu-objdump"
#endif
#ifndef SVE_CONFORMANCE_HOST_PROBE
#define SVE_CONFORMANCE_HOST_PROBE ""
#endif
#ifndef SVE_CONFORMANCE_SYSROOT
#define SVE_CONFORMANCE_SYSROOT "/usr/aarch64-linux-gnu"
#endif

namespace conformance {

run_options default_options() {
    run_options o;
    o.probe = SVE_CONFORMANCE_PROBE;
    o.qemu = SVE_CONFORMANCE_QEMU;
    o.llvm_mc = SVE_CONFORMANCE_LLVM_MC;
    o.objdump = SVE_CONFORMANCE_OBJDUMP;
    return o;
}

std::string default_host_probe() { return SVE_CONFORMANCE_HOST_PROBE; }

void use_trap_host_subject(run_options &o, const std::string &trap_host_library, const std::string &host_probe) {
    o.subject_probe_command = {o.qemu, "-L", SVE_CONFORMANCE_SYSROOT, "-cpu", "cortex-a72",
                               "-E", "LD_PRELOAD=" + trap_host_library,
                               host_probe.empty() ? default_host_probe() : host_probe};
    // The stand-in processor is Armv8.0: without half-precision arithmetic,
    // FPCR.FZ16 is RES0 and a write of it does not hold, so no program on it can
    // ask for FZ16. The reference would honour it; the cases leave it clear.
    o.fpcr_case_mask = ~(1u << 19);
}

std::string summary_line(const run_summary &s) {
    char line[160];
    std::snprintf(line, sizeof line, "conformance: %zu handlers, %zu implemented, %zu agree, %zu disagree, %zu skipped",
                  s.handlers, s.implemented, s.agree, s.disagree, s.skipped);
    return line;
}

// Counts the complete result records at the front of `buf`.
size_t complete_results(const std::vector<uint8_t> &buf) {
    size_t pos = 0, n = 0;
    while (buf.size() - pos >= sizeof(wire_result_header)) {
        wire_result_header h;
        std::memcpy(&h, buf.data() + pos, sizeof h);
        size_t len = sizeof h + sizeof(wire_regs) + size_t{h.mem_chunks} * sizeof(wire_chunk);
        if (buf.size() - pos < len) break;
        pos += len;
        ++n;
    }
    return n;
}

bool enough_results(const std::vector<uint8_t> &buf, size_t awaited) { return complete_results(buf) >= awaited; }

size_t parse_result(const std::vector<uint8_t> &buf, size_t pos, case_result &out) {
    wire_result_header h;
    std::memcpy(&h, buf.data() + pos, sizeof h);
    pos += sizeof h;
    out = case_result{};
    out.signal = h.signal;
    out.si_code = h.si_code;
    out.fault_address = h.fault_address;
    out.pc_after = h.pc_after;
    std::memcpy(&out.regs, buf.data() + pos, sizeof out.regs);
    pos += sizeof out.regs;
    out.chunks.resize(h.mem_chunks);
    if (h.mem_chunks) std::memcpy(out.chunks.data(), buf.data() + pos, h.mem_chunks * sizeof(wire_chunk));
    return pos + h.mem_chunks * sizeof(wire_chunk);
}

std::string signal_name(uint32_t sig) {
    switch (sig) {
        case 4: return "SIGILL";
        case 5: return "SIGTRAP";
        case 7: return "SIGBUS";
        case 8: return "SIGFPE";
        case 11: return "SIGSEGV";
        default: return "signal " + std::to_string(sig);
    }
}

// Starts a batch for `ps`: the header when the process has not had it yet.
std::vector<uint8_t> begin_batch(probe_session &ps, uint64_t window_seed) {
    std::vector<uint8_t> batch;
    if (!ps.header_sent) {
        const wire_batch_header b{kBatchMagic, kWireVersion, window_seed};
        batch.resize(sizeof b);
        std::memcpy(batch.data(), &b, sizeof b);
        ps.header_sent = true;
    }
    return batch;
}

void append_case(std::vector<uint8_t> &batch, const case_input &in, const uint32_t *extra) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&in);
    batch.insert(batch.end(), p, p + sizeof(case_input));
    if (extra != nullptr && in.header.extra_words != 0) {
        const uint8_t *w = reinterpret_cast<const uint8_t *>(extra);
        batch.insert(batch.end(), w, w + 4 * size_t{in.header.extra_words});
    }
}

bool start_probe(const run_options &o, probe_session &ps, std::string &error) {
    if (o.probe.empty()) {
        error = "no reference probe was built (is aarch64-linux-gnu-g++ installed?)";
        return false;
    }
    if (!start_child({o.qemu, "-cpu", "max,sve-default-vector-length=256", o.probe}, ps.child, error)) return false;
    ps.started = true;
    return true;
}

bool run_subject_probe(const run_options &o, subject_probe &sp, uint64_t window_seed,
                       const std::vector<const case_input *> &inputs, std::vector<case_result> &results,
                       std::string &error, const std::vector<const uint32_t *> *extras) {
    results.assign(inputs.size(), case_result{});
    size_t next = 0;
    while (next < inputs.size()) {
        const bool fresh = !sp.session.started;
        if (fresh) {
            if (o.subject_probe_command.empty() || o.subject_probe_command.back().empty()) {
                error = "no probe for the host subject was built";
                return false;
            }
            sp.session = probe_session{};
            if (!start_child(o.subject_probe_command, sp.session.child, error)) return false;
            sp.session.started = true;
        }
        std::vector<uint8_t> batch = begin_batch(sp.session, window_seed);
        for (size_t i = next; i < inputs.size(); ++i)
            append_case(batch, *inputs[i], extras != nullptr ? (*extras)[i] : nullptr);
        std::vector<uint8_t> out;
        const size_t awaited = inputs.size() - next;
        const bool ok = exchange(sp.session.child, batch.data(), batch.size(), out, enough_results, awaited, false);
        const size_t got = ok ? awaited : complete_results(out);
        size_t pos = 0;
        for (size_t k = 0; k < got; ++k) pos = parse_result(out, pos, results[next + k]);
        if (got != 0) sp.answered = true;
        if (ok || got >= awaited) break;

        const int status = finish_child(sp.session.child);
        sp.session.started = false;
        // A probe that has never answered is more likely not to start at all
        // than to meet a killing case twice.
        if (!sp.answered && ++sp.silent_starts == 2) {
            error = "the host's probe ends before its first result (status " + std::to_string(status) + ")";
            return false;
        }
        case_result &dead = results[next + got];
        dead.signal = status > 128 ? static_cast<uint32_t>(status - 128) : 255;
        dead.note = "the host's probe ended with status " + std::to_string(status) + " during this case";
        next += got + 1;
    }
    return true;
}

namespace {

// One accepted case of a handler, before it runs.
struct planned_case {
    uint64_t index;
    uint32_t word;
    std::string text;
};

struct selected_handler {
    const sve_handler_info *info;
    std::vector<planned_case> cases;
    handler_outcome outcome;
};

bool matches(const std::vector<std::string> &patterns, const char *name) {
    if (patterns.empty()) return true;
    for (const std::string &p : patterns)
        if (fnmatch(p.c_str(), name, 0) == 0) return true;
    return false;
}

// The operand fields of a word: the runs of bits its dispatch key leaves free.
std::string operand_fields(uint32_t word, uint32_t fixed_mask) {
    std::string s;
    int bit = 31;
    while (bit >= 0) {
        if ((fixed_mask >> bit) & 1) {
            --bit;
            continue;
        }
        int hi = bit;
        while (bit >= 0 && !((fixed_mask >> bit) & 1)) --bit;
        int lo = bit + 1;
        uint32_t v = (word >> lo) & ((hi - lo + 1 == 32) ? 0xFFFFFFFFu : ((1u << (hi - lo + 1)) - 1));
        char b[48];
        std::snprintf(b, sizeof b, "%s[%d:%d]=%u", s.empty() ? "" : " ", hi, lo, v);
        s += b;
    }
    return s.empty() ? "(none: the key fixes every bit)" : s;
}

std::string describe_failure(const run_options &o, const selected_handler &h, const planned_case &pc,
                             const case_input &in, const comparison &cmp) {
    std::string s;
    char b[512];
    std::snprintf(b, sizeof b,
                  "    first disagreement: case %llu, seed %llu (replay: --handlers %s --seed %llu --case %llu)\n",
                  static_cast<unsigned long long>(pc.index), static_cast<unsigned long long>(o.seed), h.info->name,
                  static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(pc.index));
    s += b;
    std::snprintf(b, sizeof b, "    word 0x%08x at pc 0x%llx; objdump: %s; llvm-mc: %s\n", pc.word,
                  static_cast<unsigned long long>(in.header.pc), objdump_disassembly(o.objdump, pc.word).c_str(),
                  pc.text.c_str());
    s += b;
    s += "    operand fields: " + operand_fields(pc.word, h.info->fixed_mask) + "\n";
    return s + describe_input_and_differences(in, cmp);
}

// The reference result to compare with: `ref`, or its corrected copy in
// `scratch` when the run corrects this case.
[[gnu::noinline]] const case_result *corrected_reference(const run_options &o, const case_input &in,
                                                         const case_result &ref, case_result &scratch,
                                                         handler_outcome &out) {
    if (o.correct_reference == nullptr) return &ref;
    scratch = ref;
    if (!o.correct_reference(in, scratch)) return &ref;
    ++out.reference_corrected;
    return &scratch;
}

void print_outcome(const run_options &o, const handler_outcome &h) {
    const char *status = h.disagree ? "DISAGREE" : (h.run ? "agree" : "skipped");
    if (o.failures_only && h.disagree == 0 && h.run != 0) return;
    std::fprintf(o.out, "%-24s %-13s run %5u  agree %5u  disagree %4u  skipped %4u (not SVE %u, unallocated %u, reference fault %u)  %s\n",
                 h.name.c_str(), h.implemented ? "implemented" : "unimplemented", h.run, h.agree, h.disagree,
                 h.not_plain_sve + h.unallocated + h.reference_fault, h.not_plain_sve, h.unallocated,
                 h.reference_fault, status);
    if (h.reference_corrected)
        std::fprintf(o.out, "    reference corrected in %u of these cases (a known departure from the architecture)\n",
                     h.reference_corrected);
    if (!h.first_disagreement.empty()) std::fputs(h.first_disagreement.c_str(), o.out);
    if (!h.first_reference_fault.empty()) std::fputs(h.first_reference_fault.c_str(), o.out);
}

}  // namespace

int run_conformance(const run_options &o, run_summary &summary) {
    summary = run_summary{};
    std::vector<sve_handler_info> catalog = o.catalog;
    if (catalog.empty()) {
        size_t n = 0;
        const sve_handler_info *all = sve_handler_catalog(&n);
        catalog.assign(all, all + n);
    }
    summary.handlers = catalog.size();
    for (const sve_handler_info &h : catalog) summary.implemented += h.implemented ? 1 : 0;

    std::vector<selected_handler> chosen;
    for (const sve_handler_info &h : catalog) {
        if (!matches(o.patterns, h.name)) continue;
        if (!h.implemented && !o.include_unimplemented) continue;
        selected_handler s;
        s.info = &h;
        s.outcome.name = h.name;
        s.outcome.implemented = h.implemented;
        chosen.push_back(std::move(s));
    }

    // Words: draw attempts until each handler has its cases of plain SVE, in two
    // rounds so that handlers whose key leaves many invalid fillings get more.
    const unsigned wanted = o.only_case >= 0 ? 1 : o.cases;
    for (int round = 0; round < 2; ++round) {
        std::vector<uint32_t> words;
        std::unordered_map<uint32_t, size_t> seen;
        struct drawn {
            size_t handler;
            uint64_t attempt;
            uint32_t word;
        };
        std::vector<drawn> owners;  // in drawing order
        for (size_t hi = 0; hi < chosen.size(); ++hi) {
            selected_handler &s = chosen[hi];
            if (s.cases.size() >= wanted) continue;
            uint64_t from, to;
            if (o.only_case >= 0) {
                if (round != 0) continue;
                from = static_cast<uint64_t>(o.only_case);
                to = from + 1;
            } else {
                from = s.outcome.attempts;
                to = round == 0 ? wanted + wanted / 2 + 8 : uint64_t{wanted} * 6 + 32;
            }
            for (uint64_t k = from; k < to; ++k) {
                uint32_t w = generate_word(s.info->name, s.info->fixed_mask, s.info->fixed_value, o.seed, k);
                if (seen.emplace(w, words.size()).second) words.push_back(w);
                owners.push_back({hi, k, w});
            }
            s.outcome.attempts += static_cast<unsigned>(to - from);
        }
        if (owners.empty()) break;
        std::vector<disassembly> dis;
        std::string error;
        if (!disassemble_plain_sve(o.llvm_mc, words, dis, error)) {
            summary.error = error;
            return 2;
        }
        for (const drawn &d : owners) {
            selected_handler &s = chosen[d.handler];
            const disassembly &text = dis[seen[d.word]];
            if (s.cases.size() >= wanted) continue;
            if (!text.valid) {
                ++s.outcome.not_plain_sve;
                continue;
            }
            s.cases.push_back(planned_case{d.attempt, d.word, text.text});
        }
    }

    const uint64_t window_seed = hash_name("window") ^ (o.seed * 0x9E3779B97F4A7C15ull);
    std::string error;
    if (!prepare_subject(window_seed, error)) {
        summary.error = error;
        return 2;
    }
    probe_session probe;
    subject_probe host_probe;
    uint64_t slot = 0;
    int status = 0;
    for (selected_handler &s : chosen) {
        handler_outcome &out = s.outcome;
        if (!s.cases.empty()) {
            if (!probe.started && !start_probe(o, probe, error)) {
                summary.error = error;
                return 2;
            }
            std::vector<case_input> inputs(s.cases.size());
            std::vector<word_profile> profiles(s.cases.size());
            std::vector<uint8_t> batch = begin_batch(probe, window_seed);
            for (size_t i = 0; i < s.cases.size(); ++i) {
                profiles[i] = profile_from_disassembly(s.cases[i].text);
                generate_case(s.info->name, o.seed, s.cases[i].index, s.cases[i].word, profiles[i], inputs[i]);
                inputs[i].regs.fpcr &= o.fpcr_case_mask;
                inputs[i].header.pc = slot_pc(static_cast<unsigned>(slot++ % kCodeSlots));
                append_case(batch, inputs[i], nullptr);
            }
            std::vector<uint8_t> results;
            if (!exchange(probe.child, batch.data(), batch.size(), results, enough_results, s.cases.size(), false)) {
                summary.error = "the reference probe stopped (status " + std::to_string(finish_child(probe.child)) +
                                ") while running " + out.name;
                return 2;
            }
            std::vector<case_result> refs(s.cases.size());
            size_t pos = 0;
            for (size_t i = 0; i < s.cases.size(); ++i) pos = parse_result(results, pos, refs[i]);

            // A host's probe runs the cases the reference completed.
            std::vector<case_result> host_results;
            std::vector<size_t> host_index(s.cases.size(), SIZE_MAX);
            if (!o.subject_probe_command.empty()) {
                std::vector<const case_input *> completed;
                for (size_t i = 0; i < s.cases.size(); ++i)
                    if (refs[i].signal == 0) {
                        host_index[i] = completed.size();
                        completed.push_back(&inputs[i]);
                    }
                if (!run_subject_probe(o, host_probe, window_seed, completed, host_results, error)) {
                    summary.error = error + " (while running " + out.name + ")";
                    return 2;
                }
            }

            case_result in_process;
            for (size_t i = 0; i < s.cases.size(); ++i) {
                const case_result &ref = refs[i];
                if (ref.signal == 4) {
                    ++out.unallocated;
                    continue;
                }
                if (ref.signal != 0) {
                    // The generator should have kept every address mapped: a harness matter.
                    if (out.reference_fault++ == 0) {
                        char b[256];
                        std::snprintf(b, sizeof b,
                                      "    reference fault: case %llu word 0x%08x (%s): %s at 0x%llx\n",
                                      static_cast<unsigned long long>(s.cases[i].index), s.cases[i].word,
                                      s.cases[i].text.c_str(), signal_name(ref.signal).c_str(),
                                      static_cast<unsigned long long>(ref.fault_address));
                        out.first_reference_fault = b;
                    }
                    continue;
                }
                case_result corrected;
                const case_result *reference = corrected_reference(o, inputs[i], ref, corrected, out);
                const case_result *sub = &in_process;
                if (host_index[i] != SIZE_MAX)
                    sub = &host_results[host_index[i]];
                else
                    run_subject(o.subject, inputs[i], in_process);
                comparison cmp = compare_results(inputs[i], profiles[i], *reference, *sub, subject_pristine_window());
                ++out.run;
                if (cmp.agree) {
                    ++out.agree;
                } else if (out.disagree++ == 0) {
                    out.first_disagreement = describe_failure(o, s, s.cases[i], inputs[i], cmp);
                }
            }
        }
        summary.cases_run += out.run;
        summary.cases_agree += out.agree;
        summary.cases_skipped += out.not_plain_sve + out.unallocated + out.reference_fault;
        if (out.disagree) {
            ++summary.disagree;
            status = 1;
        } else if (out.run) {
            ++summary.agree;
        } else {
            ++summary.skipped;
        }
        print_outcome(o, out);
        std::fflush(o.out);
        summary.outcomes.push_back(out);
    }
    if (probe.started) {
        int rc = finish_child(probe.child);
        if (rc != 0 && summary.error.empty()) {
            summary.error = "the reference probe ended with status " + std::to_string(rc);
            return 2;
        }
    }
    if (host_probe.session.started) {
        int rc = finish_child(host_probe.session.child);
        if (rc != 0 && summary.error.empty()) {
            summary.error = "the host's probe ended with status " + std::to_string(rc);
            return 2;
        }
    }
    return status;
}

}  // namespace conformance
