// Nanoseconds per emulated instruction, for instructions of the main families:
//   Entry/<insn>    the in-process entry, execute_sve_instruction: recognition of
//                   the word at the state's pc through the dispatch tables, then
//                   the handler;
//   Handler/<insn>  the handler alone, called as a host that recognised the word
//                   once calls it (what the DynamoRIO client's inline code and the
//                   trap host's word cache pay per instruction).
// Every predicate is all true, so every element is computed; loads and stores
// move whole 256-byte registers.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "sve/decode/sve_utils.h"
#include "sve/state/cpu_state.h"

namespace {

struct bench_case {
    const char *name;
    uint32_t word;
};

constexpr bench_case kCases[] = {
    {"add_z.b_unpredicated", 0x04220020},          // add z0.b, z1.b, z2.b
    {"add_z.d_predicated", 0x04c00020},            // add z0.d, p0/m, z0.d, z1.d
    {"mul_z.s", 0x04900020},                       // mul z0.s, p0/m, z0.s, z1.s
    {"sdiv_z.d", 0x04d40020},                      // sdiv z0.d, p0/m, z0.d, z1.d
    {"sel_z.b", 0x0522c020},                       // sel z0.b, p0, z1.b, z2.b
    {"uaddv_b", 0x04012020},                       // uaddv d0, p0, z1.b
    {"fadd_z.s", 0x65820020},                      // fadd z0.s, z1.s, z2.s
    {"fmla_z.d", 0x65e20020},                      // fmla z0.d, p0/m, z1.d, z2.d
    {"fdiv_z.d", 0x65cd8020},                      // fdiv z0.d, p0/m, z0.d, z1.d
    {"faddv_d", 0x65c02020},                       // faddv d0, p0, z1.d
    {"ld1d_contiguous", 0xa5e0a000},               // ld1d {z0.d}, p0/z, [x0]
    {"st1d_contiguous", 0xe5e0e020},               // st1d {z0.d}, p0, [x1]
    {"ld1w_gather", 0x85234000},                   // ld1w {z0.s}, p0/z, [x0, z3.s, uxtw #2]
    {"ldff1b_first_fault", 0xa4026000},            // ldff1b {z0.b}, p0/z, [x0, x2]
    {"tbl_b", 0x05223020},                         // tbl z0.b, {z1.b}, z2.b
    {"zip1_h", 0x05626020},                        // zip1 z0.h, z1.h, z2.h
    {"whilelo_s", 0x25a41c61},                     // whilelo p1.s, x3, x4
    {"cntp_b", 0x25208025},                        // cntp x5, p0, p1.b
    {"cmpeq_b", 0x2402a021},                       // cmpeq p1.b, p0/z, z1.b, z2.b
    {"ptrue_b", 0x2518e3e0},                       // ptrue p0.b
    {"incd_x", 0x04f0e3e6},                        // incd x6
    {"cmpeq_b_wide", 0x24022021},                  // cmpeq p1.b, p0/z, z1.b, z2.d
    {"splice_b", 0x052c8020},                      // splice z0.b, p0, z0.b, z1.b
    {"compact_s", 0x05a18020},                     // compact z0.s, p0, z1.s
    {"brkpa_b", 0x2503c041},                       // brkpa p1.b, p0/z, p2.b, p3.b
    {"pfirst_b", 0x2558c001},                      // pfirst p1.b, p0, p1.b
    {"rbit_s", 0x05a78020},                        // rbit z0.s, p0/m, z1.s
    {"lsl_s_wide", 0x049b8020},                    // lsl z0.s, p0/m, z0.s, z1.d
    {"asrd_s", 0x044483a0},                        // asrd z0.s, p0/m, z0.s, #3
    {"fscale_d", 0x65c98020},                      // fscale z0.d, p0/m, z0.d, z1.d
    {"facgt_d", 0x65c2e031},                       // facgt p1.d, p0/z, z1.d, z2.d
    {"uqdecw_z", 0x04a0cfe0},                      // uqdecw z0.s
    {"fadd_z.h", 0x65408020},                      // fadd z0.h, p0/m, z0.h, z1.h
    {"fmla_z.h", 0x65620020},                      // fmla z0.h, p0/m, z1.h, z2.h
    {"fadda_s", 0x65982020},                       // fadda s0, p0, s0, z1.s
    {"udiv_z.s", 0x04950020},                      // udiv z0.s, p0/m, z0.s, z1.s
    {"umulh_z.d", 0x04d30020},                     // umulh z0.d, p0/m, z0.d, z1.d
    {"cnt_z.b", 0x041aa020},                       // cnt z0.b, p0/m, z1.b
    {"revb_z.s", 0x05a48020},                      // revb z0.s, p0/m, z1.s
    {"saddv_s", 0x04802020},                       // saddv d0, p0, z1.s
    {"fexpa_d", 0x04e0b820},                       // fexpa z0.d, z1.d
    {"ftmad_d", 0x65d38020},                       // ftmad z0.d, z0.d, z1.d, #3
    {"ftsmul_d", 0x65c20c20},                      // ftsmul z0.d, z1.d, z2.d
    {"ftssel_d", 0x04e2b020},                      // ftssel z0.d, z1.d, z2.d
    {"fcmla_d", 0x64c22020},                       // fcmla z0.d, p0/m, z1.d, z2.d, #90
    {"fcadd_d", 0x64c08020},                       // fcadd z0.d, p0/m, z0.d, z1.d, #90
    {"fmaxnmv_d", 0x65c42020},                     // fmaxnmv d0, p0, z1.d
    {"ptest_b", 0x2550c020},                       // ptest p0, p1.b
    {"lastb_s", 0x05a1a020},                       // lastb w0, p0, z1.s
    {"lasta_s", 0x05a0a020},                       // lasta w0, p0, z1.s
    {"cntb_x", 0x0420e3e3},                        // cntb x3
    {"insr_s", 0x05a43820},                        // insr z0.s, w1
    {"trn1_p_s", 0x05a25001},                      // trn1 p1.s, p0.s, p2.s
    {"st1w_scatter", 0xe5638022},                  // st1w {z2.s}, p0, [x1, z3.s, uxtw #2]
    {"sunpklo_s", 0x05b03820},                     // sunpklo z0.s, z1.h
    {"rdffr_p_b", 0x2518f000},                     // rdffr p0.b, p0/z
    {"brkb_b", 0x25904040},                        // brkb p0.b, p0/z, p2.b
    {"incp_x", 0x252c8802},                        // incp x2, p0.b
};

struct bench_machine {
    cpu_state state;
    alignas(256) unsigned char memory[64 * 1024];
    uint32_t code;
};

// All predicates and FFR true; Z1 holds 1.0 in every double (a divisor that
// keeps the quotient where it is), Z2 zero, Z3 the word indices 0, 1, 2, ...;
// X0 and X1 point into the memory, X2 = 0, X3..X4 a long while-range.
void prepare(bench_machine &m, uint32_t word) {
    std::memset(&m.state, 0, sizeof m.state);
    std::memset(m.memory, 0x5A, sizeof m.memory);
    std::memset(m.state.p, 1, sizeof m.state.p);
    std::memset(m.state.ffr, 1, sizeof m.state.ffr);
    const uint64_t one = 0x3FF0000000000000ull;
    for (unsigned i = 0; i < kVecBytes / 8; ++i) std::memcpy(m.state.z[1] + 8 * i, &one, 8);
    for (uint32_t i = 0; i < kVecBytes / 4; ++i) std::memcpy(m.state.z[3] + 4 * i, &i, 4);
    m.state.x[0] = reinterpret_cast<uint64_t>(m.memory);
    m.state.x[1] = reinterpret_cast<uint64_t>(m.memory + 16 * 1024);
    m.state.x[3] = 0;
    m.state.x[4] = 1u << 20;
    m.code = word;
    m.state.pc = reinterpret_cast<unsigned char *>(&m.code);
}

void BM_Entry(benchmark::State &bs, uint32_t word) {
    static bench_machine m;
    prepare(m, word);
    if (execute_sve_instruction(&m.state) != DECODE_OK) {
        bs.SkipWithError("the entry does not execute this word");
        return;
    }
    for (auto _ : bs) {
        m.state.pc = reinterpret_cast<unsigned char *>(&m.code);
        benchmark::DoNotOptimize(execute_sve_instruction(&m.state));
        benchmark::ClobberMemory();
    }
}

void BM_Handler(benchmark::State &bs, uint32_t word) {
    static bench_machine m;
    prepare(m, word);
    const sve_handler_fn fn = is_sve(word);
    if (fn == nullptr || fn(&m.state, word) != DECODE_OK) {
        bs.SkipWithError("no handler executes this word");
        return;
    }
    for (auto _ : bs) {
        m.state.pc = reinterpret_cast<unsigned char *>(&m.code);
        benchmark::DoNotOptimize(fn(&m.state, word));
        benchmark::ClobberMemory();
    }
}

}  // namespace

int main(int argc, char **argv) {
    for (const bench_case &c : kCases) {
        benchmark::RegisterBenchmark((std::string("Entry/") + c.name).c_str(), BM_Entry, c.word);
        benchmark::RegisterBenchmark((std::string("Handler/") + c.name).c_str(), BM_Handler, c.word);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
