// The SVE words a compiled plan runs as code of its own (compiled_forms.h)
// against their handlers: random plans of such words, drawn over every field
// of their encodings, run as code and through the handlers the recogniser
// finds, from the same random register file. Registers, predicates, FFR and
// the flags must agree after every plan.
#include <gtest/gtest.h>

#if defined(__aarch64__)
#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>

#include "sve/client/trap_compile.h"
#include "sve/decode/sve_utils.h"

namespace {

struct code_area {
    uint32_t *area = static_cast<uint32_t *>(mmap(nullptr, kCompiledPlanBytes, PROT_READ | PROT_WRITE | PROT_EXEC,
                                                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ~code_area() { munmap(area, kCompiledPlanBytes); }
};

// A word of one of the forms, its other fields random.
uint32_t draw_form_word(std::mt19937_64 &rng) {
    const uint32_t r = static_cast<uint32_t>(rng());
    static constexpr uint32_t kSignedImm[] = {0x25000000u, 0x25002000u, 0x25008000u};
    static constexpr uint32_t kVectors[] = {0x24000000u, 0x2400a000u, 0x24008000u};
    switch (rng() % 15) {
        case 11: return 0x0430e000u | (r & 0xcf07ffu);  // INC/DEC{B,H,W,D} Xdn, pattern, MUL #imm
        case 12: return 0x0420e000u | (r & 0xcf03ffu);  // CNT{B,H,W,D} Xd, pattern, MUL #imm
        case 13: return 0x04bf5000u | (r & 0x7ffu);     // RDVL
        case 14: return 0x04205000u | (r & 0x5f07ffu);  // ADDVL, ADDPL (SP too)
        case 8: return kSignedImm[rng() % 3] | (r & 0x1f1fffu);  // CMP<cc> Pd.B, Pg/Z, Zn.B, #simm
        case 9: return 0x24200000u | (r & 0x1fffffu);             // CMP<cc> Pd.B, Pg/Z, Zn.B, #uimm
        case 10: return kVectors[rng() % 3] | (r & 0x1f1fffu);    // CMP<cc> Pd.B, Pg/Z, Zn.B, Zm.B
        case 0: return 0x2518f000u | (r & 0x1efu);    // RDFFR Pd.B, Pg/Z
        case 1: return 0x2519f000u | (r & 0xfu);      // RDFFR Pd.B
        case 2: return 0x2550c000u | (r & 0x3de0u);   // PTEST
        case 3: return 0x25208000u | (r & 0xc03dffu);  // CNTP
        case 4: return 0x252c8800u | (r & 0xc101ffu);  // INCP, DECP
        case 5: return 0x25200400u | (r & 0xdf1bef);   // WHILELT, WHILELO (X and W)
        case 6: return 0x25104000u | (r & 0x803defu);  // BRKA, BRKB
        default: return 0x25201c00u | (r & 0x1f0000u) | (r & 0x3e0u) | (r & 0xfu);  // WHILELO Pd.B, Xn, Xm
    }
}

// A predicate of one of the shapes loops meet: all or none true, a prefix,
// one element size's lanes, one true byte at either end, or random.
void draw_predicate(std::mt19937_64 &rng, unsigned char *p) {
    std::memset(p, 0, kVecBytes);
    switch (rng() % 8) {
        case 0: std::memset(p, 1, kVecBytes); break;
        case 1: break;
        case 2: std::memset(p, 1, rng() % (kVecBytes + 1)); break;
        case 3: {
            const unsigned esize = 1u << (rng() % 4), count = static_cast<unsigned>(rng() % (kVecBytes / esize + 1));
            for (unsigned e = 0; e < count; ++e) p[e * esize] = 1;
            break;
        }
        case 4: p[rng() % 2 ? 0 : kVecBytes - 1] = 1; break;
        case 5: p[rng() % kVecBytes] = 1; break;
        default: {
            const unsigned density = static_cast<unsigned>(rng() % 16);
            for (unsigned k = 0; k < kVecBytes; ++k) p[k] = rng() % 16 < density;
            break;
        }
    }
}

uint64_t draw_x(std::mt19937_64 &rng, uint64_t other) {
    switch (rng() % 6) {
        case 0: return rng() % 300;
        case 1: return other + rng() % 600 - 300;  // near the other operand: WHILE's counts
        case 2: return 0xffffffffu + rng() % 5 - 2;
        case 3: return 0x7fffffffffffffffu + rng() % 5 - 2;
        case 4: return (rng() % 2 ? 0x80000000u : 0) + rng() % 600 - 300;
        default: return rng();
    }
}

void random_state(std::mt19937_64 &rng, cpu_state &s) {
    std::memset(&s, 0, sizeof s);
    s.x[0] = rng();
    for (unsigned k = 1; k < 31; ++k) s.x[k] = draw_x(rng, s.x[k - 1]);
    s.sp = rng();
    s.nzcv = (rng() & 0xf0000000u) | (rng() % 2);  // a bit outside the flags stays
    for (auto &p : s.p) draw_predicate(rng, p);
    // Bytes around the compares' immediates and each other's, and any.
    for (auto &z : s.z) {
        const unsigned spread = rng() % 2 ? 4 : 256;
        const unsigned char base = static_cast<unsigned char>(rng() % 3 == 0 ? 0x7e : rng() % 3 == 0 ? 0xfe : 0);
        for (unsigned char &b : z) b = static_cast<unsigned char>(base + rng() % spread);
    }
    draw_predicate(rng, s.ffr);
}

TEST(CompiledForms, AgreeWithTheirHandlers) {
    std::mt19937_64 rng(2048);
    code_area code;
    ASSERT_NE(code.area, MAP_FAILED);
    static uint32_t words[kPlanSteps + 1];
    auto a = std::make_unique<cpu_state>(), b = std::make_unique<cpu_state>();
    auto plan = std::make_unique<trap_plan>();
    unsigned ran = 0;
    for (unsigned round = 0; round < 4000; ++round) {
        random_state(rng, *a);
        std::memcpy(b.get(), a.get(), sizeof(cpu_state));
        // Some plans as long as any: more forms than the code has room for.
        const unsigned count = round % 16 == 0 ? kPlanSteps : 1 + static_cast<unsigned>(rng() % 6);
        std::memset(plan.get(), 0, sizeof(trap_plan));
        plan->pc = reinterpret_cast<uint64_t>(words);
        plan->count = static_cast<uint16_t>(count);
        plan->emulated = static_cast<uint8_t>(count);
        for (unsigned i = 0; i < count; ++i) {
            words[i] = draw_form_word(rng);
            trap_step &s = plan->steps[i];
            s.sve = is_sve(words[i]);
            ASSERT_NE(s.sve, nullptr) << std::hex << words[i];
            s.key = words[i];
            s.at = reinterpret_cast<uint64_t>(&words[i]);
        }
        plan->steps[count].at = reinterpret_cast<uint64_t>(&words[count]);
        const compiled_plan_fn f = compile_plan(*plan, nullptr, code.area);
        ASSERT_NE(f, nullptr);
        for (unsigned i = 0; i < count; ++i) {
            a->pc = reinterpret_cast<unsigned char *>(&words[i]);
            ASSERT_EQ(plan->steps[i].sve(a.get(), words[i]), DECODE_OK);
        }
        const compiled_exit e = f(b.get(), 0, 1);
        std::ostringstream trace;
        for (unsigned i = 0; i < count; ++i) trace << std::hex << words[i] << ' ';
        SCOPED_TRACE(trace.str());
        ASSERT_EQ(e.code & 0xff, kCompiledEnd);
        ASSERT_EQ(std::memcmp(a->x, b->x, sizeof a->x), 0);
        ASSERT_EQ(a->nzcv, b->nzcv);
        for (unsigned p = 0; p < 16; ++p) ASSERT_EQ(std::memcmp(a->p[p], b->p[p], kVecBytes), 0) << "P" << p;
        ASSERT_EQ(std::memcmp(a->ffr, b->ffr, kVecBytes), 0);
        ASSERT_EQ(std::memcmp(a->z, b->z, sizeof a->z), 0);
        ran += count;
    }
    EXPECT_GT(ran, 10000u);
}

// A plan of compares as long as any: its first steps keep their forms, the
// rest call their handlers, and the code fits.
TEST(CompiledForms, LongPlansKeepTheirFirstForms) {
    code_area code;
    ASSERT_NE(code.area, MAP_FAILED);
    static uint32_t words[kPlanSteps + 1];
    auto plan = std::make_unique<trap_plan>();
    std::memset(plan.get(), 0, sizeof(trap_plan));
    plan->pc = reinterpret_cast<uint64_t>(words);
    plan->count = kPlanSteps;
    plan->emulated = kPlanSteps;
    for (unsigned i = 0; i < kPlanSteps; ++i) {
        words[i] = 0x2400a002u | (i % 8) << 10;  // CMPEQ P2.B, Pg/Z, Z0.B, Z0.B
        plan->steps[i] = trap_step{{.sve = is_sve(words[i])}, words[i], reinterpret_cast<uint64_t>(&words[i])};
    }
    plan->steps[kPlanSteps].at = reinterpret_cast<uint64_t>(&words[kPlanSteps]);
    ASSERT_NE(compile_plan(*plan, nullptr, code.area), nullptr);
    unsigned calls = 0;
    for (size_t k = 0; k < kCompiledPlanBytes / 4; ++k) calls += code.area[k] == 0xd63f0200u;  // BLR X16
    EXPECT_GT(calls, 0u);
    EXPECT_LT(calls, kPlanSteps - 2);
    // The largest form, alone, within the room kept for it.
    plan->count = 1;
    plan->steps[1].at = reinterpret_cast<uint64_t>(&words[1]);
    std::memset(code.area, 0, kCompiledPlanBytes);
    ASSERT_NE(compile_plan(*plan, nullptr, code.area), nullptr);
    unsigned end = 0;
    while (code.area[end] != 0xd65f03c0u) ++end;  // RET
    EXPECT_LT(end, 240u + 24u);
}

}  // namespace

#endif
