// Threads interrupted inside the client's inline sequences.
//
// The main thread runs interrupted_loop (interrupted_loop.S), a loop of SVE
// instructions whose counters live in X26, X27 and X28 and whose flags cross
// emulated instructions, while a second thread keeps sending it SIGPIPE with
// tgkill. The framework cannot hold this signal until the
// fragment ends (it treats it like a fault), so it translates the thread where it
// stands, which is often in the middle of the code that stands for an SVE
// instruction; under QEMU's -singlestep, anywhere in it.
//
// Checked: at every signal that lands in the loop, the interrupted context is
// one the program could have been in (counters consistent with the loop count
// in X19, PC on an instruction of the loop); after the loop, every counter,
// every element of Z0 and the flag-driven count are exact, so no instruction
// was lost or run twice and no register came back with a scratch value.
//
//   interrupted_sequences [iterations]
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

struct loop_result {
    uint64_t x26, x27, x28, x20;
    uint64_t z0[32];
};

extern "C" void interrupted_loop(uint64_t iterations, loop_result *out);
extern "C" const char interrupted_loop_start[], interrupted_loop_end[];

namespace {

uint64_t iterations = 20000;
std::atomic<long> delivered{0};
std::atomic<long> in_loop{0};
std::atomic<long> inconsistent{0};
std::atomic<bool> stop{false};

// Whether `sum` is one of the values the loop passes through (see the .S file).
bool within(uint64_t sum, uint64_t lo, uint64_t hi) { return sum >= lo && sum <= hi; }

void on_signal(int, siginfo_t *, void *context) {
    delivered.fetch_add(1, std::memory_order_relaxed);
    const mcontext_t &mc = static_cast<ucontext_t *>(context)->uc_mcontext;
    const auto pc = reinterpret_cast<const char *>(mc.pc);
    if (pc < interrupted_loop_start || pc > interrupted_loop_end) return;
    in_loop.fetch_add(1, std::memory_order_relaxed);
    const uint64_t x19 = mc.regs[19], x20 = mc.regs[20];
    const uint64_t x26 = mc.regs[26], x27 = mc.regs[27], x28 = mc.regs[28];
    const uint64_t n = iterations;
    const bool ok = (pc - interrupted_loop_start) % 4 == 0 && x19 <= n && x26 % 32 == 0 &&
                    x27 % 64 == 0 && x28 % 256 == 0 && within(x28 / 256 + x19, n, n + 1) &&
                    within(x27 / 64 + x19, n, n + 1) && within(x26 / 32 + 2 * x19, 2 * n - 1, 2 * n + 1) &&
                    within(x20 + x19, n, n + 1);
    if (!ok) {
        if (inconsistent.fetch_add(1) < 5) {
            std::printf("inconsistent state at pc +%td: x19 %" PRIu64 " x20 %" PRIu64 " x26 %#" PRIx64
                        " x27 %#" PRIx64 " x28 %#" PRIx64 "\n",
                        pc - interrupted_loop_start, x19, x20, x26, x27, x28);
        }
    }
}

struct target {
    pid_t pid, tid;
};

// Sends one signal at a time: the next one 1 to 3 ms (varied) after the
// previous one has reached the handler. A signal that arrives while the thread
// runs the client's emulation routine waits in the framework's queue until the
// thread next leaves the code cache (the loop's system call); one that arrives
// in the code cache is delivered at once, translated. Right after a delivery
// the thread re-enters the code cache through a fragment's prefix, where the
// framework cannot translate a thread at all (its own limitation): the pause
// keeps the next signal away from there.
void *sender(void *arg) {
    const target *t = static_cast<const target *>(arg);
    const timespec tick{0, 20000};
    uint32_t random = 12345;
    while (!stop.load(std::memory_order_relaxed)) {
        const long before = delivered.load();
        syscall(SYS_tgkill, t->pid, t->tid, SIGPIPE);
        while (delivered.load() == before && !stop.load(std::memory_order_relaxed))
            nanosleep(&tick, nullptr);
        random = random * 1103515245u + 12345u;
        const timespec pause{0, 1000000 + static_cast<long>((random >> 8) % 2000000)};
        nanosleep(&pause, nullptr);
    }
    return nullptr;
}

}  // namespace

int main(int argc, char **argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc > 1) iterations = std::strtoull(argv[1], nullptr, 10);
    struct sigaction sa {};
    sa.sa_sigaction = on_signal;
    sa.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGPIPE, &sa, nullptr);

    target t{getpid(), static_cast<pid_t>(syscall(SYS_gettid))};
    pthread_t thread;
    pthread_create(&thread, nullptr, sender, &t);
    loop_result r{};
    interrupted_loop(iterations, &r);
    stop = true;
    pthread_join(thread, nullptr);

    int failures = 0;
    auto expect = [&](const char *what, uint64_t got, uint64_t want) {
        if (got == want) return;
        std::printf("FAIL: %s is %" PRIu64 ", want %" PRIu64 "\n", what, got, want);
        ++failures;
    };
    const uint64_t n = iterations;
    expect("X26", r.x26, 64 * n);
    expect("X27", r.x27, 64 * n);
    expect("X28", r.x28, 256 * n);
    expect("the count of WHILELO results seen by CSET", r.x20, n);
    for (int i = 0; i < 32; ++i) {
        if (r.z0[i] != n) {
            std::printf("FAIL: Z0 element %d is %" PRIu64 ", want %" PRIu64 "\n", i, r.z0[i], n);
            ++failures;
            break;
        }
    }
    expect("inconsistent interrupted states", static_cast<uint64_t>(inconsistent.load()), 0);
    std::printf("signals: %ld delivered, %ld inside the loop\n", delivered.load(), in_loop.load());
    if (in_loop.load() == 0) {
        std::printf("FAIL: no signal landed inside the loop\n");
        ++failures;
    }
    std::printf("%s\n", failures == 0 ? "PASS" : "FAIL");
    return failures == 0 ? 0 : 1;
}
