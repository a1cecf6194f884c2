// The profile of emulated instructions: what SVE code a program really ran.
//
// Turned on by the environment (SVE_PROFILE: "-" for standard error, else a
// file name, where "%p" stands for the process id; SVE_PROFILE_FORMAT: text,
// csv or json). A host:
//   at start         sve_profile_configure_from_environment()
//   per thread       rec = sve_profile_thread_start()   (null when profiling is off)
//   per instruction  if (rec) sve_profile_count(rec, pc, word)
//   per trap / run   if (rec) sve_profile_trap(rec, instructions_in_the_run)
//   thread end       sve_profile_thread_end(rec)
//   at exit          sve_profile_write_report()
// A thread's record is one mapping of fixed size made at its start: counting
// never allocates, locks or calls anything. With profiling off the record is
// null and the emulation path pays one test of it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// PCs each thread's table holds (a power of two); instructions at PCs beyond
// it are counted in the totals only.
inline constexpr size_t kProfilePcSlots = 8192;
inline constexpr unsigned kProfileProbeLimit = 32;
// Run lengths: 1, 2-3, 4-7, 8-15, 16-31, 32 and more.
inline constexpr unsigned kProfileRunBuckets = 6;

struct sve_profile_pc_slot {
    uintptr_t pc;  // 0: free
    uint32_t word;
    uint32_t reserved;
    uint64_t count;
};

struct sve_profile_thread {
    uint64_t instructions;
    uint64_t unplaced;  // counted, but their PC found no slot
    uint64_t traps;     // runs handed to the emulator (a trap, or a rewritten run)
    uint64_t run_instructions;
    uint64_t runs_by_length[kProfileRunBuckets];
    uint64_t threads;   // threads merged into this record (1 for a live thread)
    sve_profile_thread *next;  // the process's list of live records
    size_t map_bytes;
    sve_profile_pc_slot slots[kProfilePcSlots];
};

enum class sve_profile_format : uint8_t { text, csv, json };

inline size_t sve_profile_slot_of(uintptr_t pc) {
    // Instructions are 4 bytes apart; mix the upper bits in.
    const uint64_t h = (static_cast<uint64_t>(pc) >> 2) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h >> 51) & (kProfilePcSlots - 1);
}

// One emulated instruction. The same PC with another word (code rewritten in
// place) takes a slot of its own.
inline void sve_profile_count(sve_profile_thread *rec, const void *pc, uint32_t word) {
    ++rec->instructions;
    const uintptr_t at = reinterpret_cast<uintptr_t>(pc);
    size_t i = sve_profile_slot_of(at);
    for (unsigned probe = 0; probe < kProfileProbeLimit; ++probe, i = (i + 1) & (kProfilePcSlots - 1)) {
        sve_profile_pc_slot &s = rec->slots[i];
        if (s.pc == at && s.word == word) {
            ++s.count;
            return;
        }
        if (s.pc == 0) {
            s.pc = at;
            s.word = word;
            s.count = 1;
            return;
        }
    }
    ++rec->unplaced;
}

inline unsigned sve_profile_run_bucket(unsigned n) {
    unsigned b = 0;
    while (b + 1 < kProfileRunBuckets && n >= (2u << b)) ++b;
    return b;
}

// One trap (trap host) or one run of consecutive SVE instructions handed to
// the emulator (DynamoRIO client), of n instructions.
inline void sve_profile_trap(sve_profile_thread *rec, unsigned n) {
    ++rec->traps;
    rec->run_instructions += n;
    ++rec->runs_by_length[sve_profile_run_bucket(n)];
}

// Where records come from: mmap by default; a host whose framework wants to
// know of its memory (DynamoRIO: dr_raw_mem_alloc / dr_raw_mem_free) gives its
// own, before the first thread starts. The functions must return zeroed memory.
using sve_profile_alloc_fn = void *(*)(size_t bytes);
using sve_profile_free_fn = void (*)(void *p, size_t bytes);
void sve_profile_set_allocator(sve_profile_alloc_fn alloc, sve_profile_free_fn release);

// Reads SVE_PROFILE and SVE_PROFILE_FORMAT; true when profiling is on.
bool sve_profile_configure_from_environment();
// The same from values (destination "-" is standard error; null or empty: off).
bool sve_profile_configure(const char *destination, const char *format);
bool sve_profile_enabled();

// The calling thread's record, zeroed and in the process's list; null when
// profiling is off or no memory was left. Safe in a signal handler (mmap).
sve_profile_thread *sve_profile_thread_start();
// Folds a finished thread's counts into the process's and releases its record.
void sve_profile_thread_end(sve_profile_thread *rec);

// The counts of every live and finished thread, merged, in the configured
// format, written to the configured destination. Not for signal handlers.
void sve_profile_write_report();

// The report of the given records, merged (for tests and for hosts that keep
// records themselves). Live records may be read while their threads count.
std::string sve_profile_render(const sve_profile_thread *const *records, size_t count,
                               sve_profile_format format, size_t hottest = 20);
// The mnemonic a word is counted under ("add z.b"), into out (terminated).
void sve_profile_mnemonic(uint32_t word, char *out, size_t size);
