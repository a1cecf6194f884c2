// The profile of emulated instructions (see profile.h).
#include "sve/support/profile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sve/support/diagnose.h"

extern "C" __attribute__((weak)) sve_handler_fn is_half_precision(uint32_t word);
__attribute__((weak)) const sve_handler_info *half_precision_catalog(size_t *count);

namespace {

constexpr size_t kPathBytes = 4096;

struct profile_config {
    std::atomic<bool> enabled{false};
    sve_profile_format format = sve_profile_format::text;
    char destination[kPathBytes] = {};
};
profile_config g_config;

// Live records, pushed at thread start; a finished thread's record is taken
// out, folded into g_finished and unmapped, under g_lock.
std::atomic<sve_profile_thread *> g_live{nullptr};
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
sve_profile_thread *g_finished = nullptr;

struct spin_guard {
    spin_guard() {
        while (g_lock.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~spin_guard() { g_lock.clear(std::memory_order_release); }
};

void *mmap_alloc(size_t bytes) {
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}
void mmap_free(void *p, size_t bytes) { munmap(p, bytes); }

std::atomic<sve_profile_alloc_fn> g_alloc{mmap_alloc};
std::atomic<sve_profile_free_fn> g_free{mmap_free};

sve_profile_thread *map_record() {
    const size_t bytes = sizeof(sve_profile_thread);
    void *p = g_alloc.load(std::memory_order_acquire)(bytes);
    if (p == nullptr) return nullptr;
    auto *rec = static_cast<sve_profile_thread *>(p);
    rec->map_bytes = bytes;
    return rec;
}

// Adds one record's counts into another (PCs by pc and word).
void fold(sve_profile_thread &into, const sve_profile_thread &from) {
    into.instructions += from.instructions;
    into.unplaced += from.unplaced;
    into.traps += from.traps;
    into.run_instructions += from.run_instructions;
    for (unsigned b = 0; b < kProfileRunBuckets; ++b) into.runs_by_length[b] += from.runs_by_length[b];
    into.threads += from.threads;
    for (const sve_profile_pc_slot &s : from.slots) {
        if (s.pc == 0 || s.count == 0) continue;
        size_t i = sve_profile_slot_of(s.pc);
        bool placed = false;
        for (unsigned probe = 0; probe < kProfileProbeLimit; ++probe, i = (i + 1) & (kProfilePcSlots - 1)) {
            sve_profile_pc_slot &d = into.slots[i];
            if (d.pc == s.pc && d.word == s.word) {
                d.count += s.count;
                placed = true;
                break;
            }
            if (d.pc == 0) {
                d = s;
                placed = true;
                break;
            }
        }
        if (!placed) into.unplaced += s.count;
    }
}

struct pc_count {
    uintptr_t pc;
    uint32_t word;
    uint64_t count;
};

struct mnemonic_count {
    std::string mnemonic;
    uint64_t count;
};

struct merged_profile {
    uint64_t instructions = 0, unplaced = 0, traps = 0, run_instructions = 0, threads = 0;
    uint64_t runs_by_length[kProfileRunBuckets] = {};
    std::vector<pc_count> pcs;  // by count, descending
    std::vector<mnemonic_count> mnemonics;  // by count, descending
};

merged_profile merge(const sve_profile_thread *const *records, size_t count) {
    merged_profile m;
    std::vector<pc_count> all;
    for (size_t r = 0; r < count; ++r) {
        const sve_profile_thread &rec = *records[r];
        m.instructions += rec.instructions;
        m.unplaced += rec.unplaced;
        m.traps += rec.traps;
        m.run_instructions += rec.run_instructions;
        m.threads += rec.threads;
        for (unsigned b = 0; b < kProfileRunBuckets; ++b) m.runs_by_length[b] += rec.runs_by_length[b];
        for (const sve_profile_pc_slot &s : rec.slots)
            if (s.pc != 0 && s.count != 0) all.push_back({s.pc, s.word, s.count});
    }
    std::sort(all.begin(), all.end(), [](const pc_count &a, const pc_count &b) {
        return a.pc != b.pc ? a.pc < b.pc : a.word < b.word;
    });
    for (const pc_count &p : all) {
        if (!m.pcs.empty() && m.pcs.back().pc == p.pc && m.pcs.back().word == p.word) m.pcs.back().count += p.count;
        else m.pcs.push_back(p);
    }
    std::stable_sort(m.pcs.begin(), m.pcs.end(), [](const pc_count &a, const pc_count &b) { return a.count > b.count; });
    char name[96];
    for (const pc_count &p : m.pcs) {
        sve_profile_mnemonic(p.word, name, sizeof name);
        auto it = std::find_if(m.mnemonics.begin(), m.mnemonics.end(),
                               [&](const mnemonic_count &c) { return c.mnemonic == name; });
        if (it == m.mnemonics.end()) m.mnemonics.push_back({name, p.count});
        else it->count += p.count;
    }
    std::stable_sort(m.mnemonics.begin(), m.mnemonics.end(), [](const mnemonic_count &a, const mnemonic_count &b) {
        return a.count != b.count ? a.count > b.count : a.mnemonic < b.mnemonic;
    });
    return m;
}

void appendf(std::string &out, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string &out, const char *fmt, ...) {
    char buf[768];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n > 0) out.append(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

double share(uint64_t part, uint64_t whole) { return whole == 0 ? 0.0 : static_cast<double>(part) / whole; }

const char *const kRunLabels[kProfileRunBuckets] = {"1", "2-3", "4-7", "8-15", "16-31", "32+"};

std::string csv_field(const std::string &s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + "\"";
}

std::string json_string(const std::string &s) {
    std::string q = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            q += '\\';
            q += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            q += esc;
        } else {
            q += static_cast<char>(c);
        }
    }
    return q + "\"";
}

struct hot_pc {
    const pc_count *p;
    std::string mnemonic, instruction, location;
};

std::vector<hot_pc> hottest_pcs(const merged_profile &m, size_t limit) {
    std::vector<hot_pc> hot;
    char buf[320];
    for (size_t i = 0; i < m.pcs.size() && i < limit; ++i) {
        hot_pc h{&m.pcs[i], {}, {}, {}};
        sve_profile_mnemonic(m.pcs[i].word, buf, sizeof buf);
        h.mnemonic = buf;
        if (sve_format_instruction(m.pcs[i].word, buf, sizeof buf)) h.instruction = buf;
        else h.instruction = h.mnemonic;
        sve_format_location(reinterpret_cast<const void *>(m.pcs[i].pc), buf, sizeof buf);
        h.location = buf;
        hot.push_back(std::move(h));
    }
    return hot;
}

std::string render_text(const merged_profile &m, size_t limit) {
    std::string out;
    appendf(out, "SVE profile: %" PRIu64 " instructions emulated in %" PRIu64 " thread%s\n", m.instructions,
            m.threads, m.threads == 1 ? "" : "s");
    appendf(out, "  traps: %" PRIu64 ", %.2f instructions per trap\n", m.traps,
            m.traps == 0 ? 0.0 : static_cast<double>(m.run_instructions) / m.traps);
    out += "  instructions per trap:";
    for (unsigned b = 0; b < kProfileRunBuckets; ++b)
        appendf(out, " %s: %" PRIu64 "%s", kRunLabels[b], m.runs_by_length[b], b + 1 < kProfileRunBuckets ? "," : "\n");
    if (m.unplaced != 0)
        appendf(out, "  %" PRIu64 " instructions at PCs beyond the %zu-entry table of their thread are in the totals only\n",
                m.unplaced, kProfilePcSlots);
    out += "\nby mnemonic:\n";
    appendf(out, "  %12s  %6s  %s\n", "count", "share", "mnemonic");
    for (const mnemonic_count &c : m.mnemonics)
        appendf(out, "  %12" PRIu64 "  %5.1f%%  %s\n", c.count, 100.0 * share(c.count, m.instructions), c.mnemonic.c_str());
    appendf(out, "\nhottest PCs:\n  %12s  %6s  %-18s  %-36s  %s\n", "count", "share", "pc", "instruction", "location");
    for (const hot_pc &h : hottest_pcs(m, limit))
        appendf(out, "  %12" PRIu64 "  %5.1f%%  0x%016" PRIxPTR "  %-36s  %s\n", h.p->count,
                100.0 * share(h.p->count, m.instructions), h.p->pc, h.instruction.c_str(), h.location.c_str());
    return out;
}

std::string render_csv(const merged_profile &m, size_t limit) {
    std::string out = "section,name,count,share,pc,instruction,location\n";
    appendf(out, "total,instructions,%" PRIu64 ",1,,,\n", m.instructions);
    appendf(out, "total,threads,%" PRIu64 ",,,,\n", m.threads);
    appendf(out, "total,traps,%" PRIu64 ",,,,\n", m.traps);
    appendf(out, "total,instructions_per_trap,%.4f,,,,\n",
            m.traps == 0 ? 0.0 : static_cast<double>(m.run_instructions) / m.traps);
    appendf(out, "total,unplaced,%" PRIu64 ",,,,\n", m.unplaced);
    for (unsigned b = 0; b < kProfileRunBuckets; ++b)
        appendf(out, "trap_length,%s,%" PRIu64 ",%.6f,,,\n", kRunLabels[b], m.runs_by_length[b],
                share(m.runs_by_length[b], m.traps));
    for (const mnemonic_count &c : m.mnemonics)
        appendf(out, "mnemonic,%s,%" PRIu64 ",%.6f,,,\n", csv_field(c.mnemonic).c_str(), c.count,
                share(c.count, m.instructions));
    for (const hot_pc &h : hottest_pcs(m, limit))
        appendf(out, "pc,%s,%" PRIu64 ",%.6f,0x%" PRIxPTR ",%s,%s\n", csv_field(h.mnemonic).c_str(), h.p->count,
                share(h.p->count, m.instructions), h.p->pc, csv_field(h.instruction).c_str(),
                csv_field(h.location).c_str());
    return out;
}

std::string render_json(const merged_profile &m, size_t limit) {
    std::string out = "{";
    appendf(out, "\"instructions\": %" PRIu64 ", \"threads\": %" PRIu64 ", \"traps\": %" PRIu64
                 ", \"instructions_per_trap\": %.4f, \"unplaced\": %" PRIu64 ",\n",
            m.instructions, m.threads, m.traps, m.traps == 0 ? 0.0 : static_cast<double>(m.run_instructions) / m.traps,
            m.unplaced);
    out += " \"trap_lengths\": [";
    for (unsigned b = 0; b < kProfileRunBuckets; ++b)
        appendf(out, "%s{\"length\": \"%s\", \"traps\": %" PRIu64 "}", b ? ", " : "", kRunLabels[b], m.runs_by_length[b]);
    out += "],\n \"mnemonics\": [";
    bool first = true;
    for (const mnemonic_count &c : m.mnemonics) {
        appendf(out, "%s\n  {\"mnemonic\": %s, \"count\": %" PRIu64 ", \"share\": %.6f}", first ? "" : ",",
                json_string(c.mnemonic).c_str(), c.count, share(c.count, m.instructions));
        first = false;
    }
    out += "],\n \"hottest_pcs\": [";
    first = true;
    for (const hot_pc &h : hottest_pcs(m, limit)) {
        appendf(out, "%s\n  {\"pc\": \"0x%" PRIxPTR "\", \"count\": %" PRIu64 ", \"share\": %.6f, \"mnemonic\": %s, ",
                first ? "" : ",", h.p->pc, h.p->count, share(h.p->count, m.instructions), json_string(h.mnemonic).c_str());
        out += "\"instruction\": " + json_string(h.instruction) + ", \"location\": " + json_string(h.location) + "}";
        first = false;
    }
    out += "]}\n";
    return out;
}

void write_all(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

void sve_profile_mnemonic(uint32_t word, char *out, size_t size) {
    if (size == 0) return;
    const long index = sve_entry_index_of(word);
    if (index >= 0) {
        std::snprintf(out, size, "%s", sve_instruction_short_name(static_cast<size_t>(index)));
        return;
    }
    const sve_handler_fn half = is_half_precision != nullptr ? is_half_precision(word) : nullptr;
    if (half != nullptr && half_precision_catalog != nullptr) {
        size_t count = 0;
        const sve_handler_info *catalog = half_precision_catalog(&count);
        for (size_t i = 0; i < count; ++i) {
            if (catalog[i].fn == half && (word & catalog[i].fixed_mask) == catalog[i].fixed_value) {
                // Entry names are <mnemonic>_<form>: "fadd_h" is counted as "fadd h".
                std::snprintf(out, size, "%s", catalog[i].name);
                for (char *c = out; *c; ++c)
                    if (*c == '_') *c = ' ';
                return;
            }
        }
    }
    std::snprintf(out, size, "0x%08x", word);
}

void sve_profile_set_allocator(sve_profile_alloc_fn alloc, sve_profile_free_fn release) {
    g_alloc.store(alloc != nullptr ? alloc : mmap_alloc, std::memory_order_release);
    g_free.store(release != nullptr ? release : mmap_free, std::memory_order_release);
}

bool sve_profile_configure(const char *destination, const char *format) {
    if (destination == nullptr || destination[0] == '\0') {
        g_config.enabled.store(false, std::memory_order_release);
        return false;
    }
    std::snprintf(g_config.destination, sizeof g_config.destination, "%s", destination);
    g_config.format = sve_profile_format::text;
    if (format != nullptr && std::strcmp(format, "csv") == 0) g_config.format = sve_profile_format::csv;
    if (format != nullptr && std::strcmp(format, "json") == 0) g_config.format = sve_profile_format::json;
    g_config.enabled.store(true, std::memory_order_release);
    return true;
}

bool sve_profile_configure_from_environment() {
    return sve_profile_configure(std::getenv("SVE_PROFILE"), std::getenv("SVE_PROFILE_FORMAT"));
}

bool sve_profile_enabled() { return g_config.enabled.load(std::memory_order_acquire); }

sve_profile_thread *sve_profile_thread_start() {
    if (!sve_profile_enabled()) return nullptr;
    sve_profile_thread *rec = map_record();
    if (rec == nullptr) return nullptr;
    rec->threads = 1;
    sve_profile_thread *head = g_live.load(std::memory_order_relaxed);
    do {
        rec->next = head;
    } while (!g_live.compare_exchange_weak(head, rec, std::memory_order_release, std::memory_order_relaxed));
    return rec;
}

void sve_profile_thread_end(sve_profile_thread *rec) {
    if (rec == nullptr) return;
    spin_guard guard;
    // Out of the live list. Pushes change only the head (and their own
    // record), so a record behind the head can be unlinked under the lock.
    sve_profile_thread *expected = rec;
    if (!g_live.compare_exchange_strong(expected, rec->next, std::memory_order_acq_rel)) {
        for (sve_profile_thread *p = g_live.load(std::memory_order_acquire); p != nullptr; p = p->next) {
            if (p->next == rec) {
                p->next = rec->next;
                break;
            }
        }
    }
    if (g_finished == nullptr) g_finished = map_record();
    if (g_finished == nullptr) return;  // no memory: its counts are lost
    fold(*g_finished, *rec);
    g_free.load(std::memory_order_acquire)(rec, rec->map_bytes);
}

std::string sve_profile_render(const sve_profile_thread *const *records, size_t count, sve_profile_format format,
                               size_t hottest) {
    const merged_profile m = merge(records, count);
    switch (format) {
    case sve_profile_format::csv: return render_csv(m, hottest);
    case sve_profile_format::json: return render_json(m, hottest);
    case sve_profile_format::text: break;
    }
    return render_text(m, hottest);
}

void sve_profile_write_report() {
    if (!sve_profile_enabled()) return;
    std::vector<const sve_profile_thread *> records;
    std::string text;
    {
        spin_guard guard;
        if (g_finished != nullptr) records.push_back(g_finished);
        for (const sve_profile_thread *p = g_live.load(std::memory_order_acquire); p != nullptr; p = p->next)
            records.push_back(p);
        text = sve_profile_render(records.data(), records.size(), g_config.format);
    }
    if (std::strcmp(g_config.destination, "-") == 0) {
        write_all(STDERR_FILENO, text);
        return;
    }
    // "%p" in the file name is the process id (a program that forks writes one per process).
    std::string path;
    for (const char *c = g_config.destination; *c; ++c) {
        if (c[0] == '%' && c[1] == 'p') {
            path += std::to_string(static_cast<long>(getpid()));
            ++c;
        } else {
            path += *c;
        }
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        const std::string note = "sve-profile: cannot write " + path + "; the profile follows here\n";
        write_all(STDERR_FILENO, note + text);
        return;
    }
    write_all(fd, text);
    close(fd);
}
