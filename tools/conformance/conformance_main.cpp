// sve_conformance: differential test of the emulator's handlers against QEMU's
// SVE (2048-bit vectors). Prints one line per handler run, the first
// disagreement of each in full, and a closing summary line.
//
//   sve_conformance [--handlers P[,P...]] [--cases N] [--thorough] [--seed S]
//                   [--case K] [--include-unimplemented] [--failures-only]
//                   [--probe PATH] [--qemu PATH] [--llvm-mc PATH] [--objdump PATH]
//                   [--trap-host LIB [--host-probe PATH]] [--group sve|half-precision]
//                   [--sequences N [--sequence K]]
//
// --group chooses the instructions: the SVE handlers of the dispatch tables
// (default), or the half-precision (FP16) scalar and Advanced SIMD instructions
// that Armv8.0 processors lack, each entry run through
// execute_half_precision_instruction against the same reference.
//
// With --trap-host the subject is not the core in this process: the probe runs
// under qemu-aarch64 on a CPU without SVE with LIB (libsve_2048_trap.so)
// preloaded, so every SVE instruction of it, its own state loads and saves
// included, goes through the trap host's register exchange.
//
// --sequences N runs N random straight-line blocks of 2 to 16 SVE instructions
// instead (see sequence_mode.h), on whichever subject is chosen, and ends with
// "sequences: N run, A agree, D disagree"; --sequence K replays block K alone.
// --handlers then limits the instructions the blocks draw from.
//
// Exit status: 0 all agree, 1 some disagree, 2 the run could not be made.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "tools/conformance/half_precision_group.h"
#include "tools/conformance/harness.h"
#include "tools/conformance/sequence_mode.h"

namespace {

void usage(const char *argv0) {
    std::fprintf(stderr,
                 "usage: %s [--handlers PATTERN[,PATTERN...]] [--cases N] [--thorough] [--seed S] [--case K]\n"
                 "          [--include-unimplemented] [--failures-only]\n"
                 "          [--probe PATH] [--qemu PATH] [--llvm-mc PATH] [--objdump PATH]\n"
                 "          [--trap-host LIB [--host-probe PATH]] [--group sve|half-precision]\n"
                 "          [--sequences N [--sequence K]]\n"
                 "  --handlers   handler names or shell patterns (VecU8Add*); default: every handler\n"
                 "  --cases      valid cases per handler (default 24; --thorough: 2000)\n"
                 "  --seed       generation seed (default 1)\n"
                 "  --case       replay the one case with this index\n"
                 "  --trap-host  subject: the probe under this trap host on a CPU without SVE\n"
                 "  --group      sve (default) or half-precision: which instructions to run\n"
                 "  --sequences  run N random blocks of 2-16 SVE instructions instead\n"
                 "  --sequence   with --sequences: replay the one block with this index\n",
                 argv0);
}

bool parse_u64(const char *s, uint64_t &v) {
    char *end = nullptr;
    v = std::strtoull(s, &end, 0);
    return end != s && *end == '\0';
}

}  // namespace

int main(int argc, char **argv) {
    conformance::run_options o = conformance::default_options();
    std::string trap_host, host_probe, group = "sve";
    uint64_t sequences = 0;
    int64_t only_sequence = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char *&v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        const char *v = nullptr;
        uint64_t n = 0;
        if (a == "--handlers" && value(v)) {
            std::string list = v;
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                if (comma == std::string::npos) comma = list.size();
                if (comma > start) o.patterns.push_back(list.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (a == "--cases" && value(v) && parse_u64(v, n) && n > 0 && n <= 1000000) {
            o.cases = static_cast<unsigned>(n);
        } else if (a == "--thorough") {
            o.cases = 2000;
        } else if (a == "--seed" && value(v) && parse_u64(v, n)) {
            o.seed = n;
        } else if (a == "--case" && value(v) && parse_u64(v, n)) {
            o.only_case = static_cast<int64_t>(n);
        } else if (a == "--sequences" && value(v) && parse_u64(v, n) && n > 0 && n <= 100000000) {
            sequences = n;
        } else if (a == "--sequence" && value(v) && parse_u64(v, n)) {
            only_sequence = static_cast<int64_t>(n);
        } else if (a == "--include-unimplemented") {
            o.include_unimplemented = true;
        } else if (a == "--failures-only") {
            o.failures_only = true;
        } else if (a == "--probe" && value(v)) {
            o.probe = v;
        } else if (a == "--qemu" && value(v)) {
            o.qemu = v;
        } else if (a == "--llvm-mc" && value(v)) {
            o.llvm_mc = v;
        } else if (a == "--objdump" && value(v)) {
            o.objdump = v;
        } else if (a == "--trap-host" && value(v)) {
            trap_host = v;
        } else if (a == "--host-probe" && value(v)) {
            host_probe = v;
        } else if (a == "--group" && value(v) && (std::strcmp(v, "sve") == 0 || std::strcmp(v, "half-precision") == 0)) {
            group = v;
        } else {
            usage(argv[0]);
            return 2;
        }
    }
    if ((!host_probe.empty() && trap_host.empty()) || (only_sequence >= 0 && sequences == 0) ||
        (sequences != 0 && group != "sve")) {
        usage(argv[0]);
        return 2;
    }
    if (!trap_host.empty()) {
        // The loader only warns about a preload it cannot find, and the probe
        // would then run without the host.
        if (access(trap_host.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "sve_conformance: cannot read the trap host %s\n", trap_host.c_str());
            return 2;
        }
        conformance::use_trap_host_subject(o, trap_host, host_probe);
    }
    if (group == "half-precision") {
        conformance::use_half_precision_group(o);
        std::printf("group: half precision (%zu instructions)\n", o.catalog.size());
    }
    if (sequences != 0) {
        conformance::sequence_summary q;
        const int status = conformance::run_sequences(o, sequences, only_sequence, q);
        if (!q.error.empty()) std::fprintf(stderr, "sve_conformance: %s\n", q.error.c_str());
        std::printf("%s\n", conformance::sequence_line(q).c_str());
        return status;
    }
    conformance::run_summary s;
    int status = conformance::run_conformance(o, s);
    if (!s.error.empty()) std::fprintf(stderr, "sve_conformance: %s\n", s.error.c_str());
    std::printf("cases: %llu run, %llu agree, %llu skipped\n", static_cast<unsigned long long>(s.cases_run),
                static_cast<unsigned long long>(s.cases_agree), static_cast<unsigned long long>(s.cases_skipped));
    std::printf("%s\n", conformance::summary_line(s).c_str());
    return status;
}
