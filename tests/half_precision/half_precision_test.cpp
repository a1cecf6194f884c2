// The half-precision decoder and executors: which words are claimed (every
// FP16 form, by the entry that names it, and none of the Armv8.0 floating-point
// forms beside them), and what the executors write beyond the result itself:
// the cleared upper parts of V and Z, NZCV, FPSR accumulation, general
// registers and pc. The results themselves are compared with the reference
// processor by `sve_conformance --group half-precision`.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sve/decode/half_precision.h"
#include "sve/fplib/fp_types.h"

namespace {

struct claimed_word {
    uint32_t word;
    const char *entry;
};

// One assembled instance of every entry, in table order.
const claimed_word kClaimed[] = {
    {0x1ee20820u, "fmul_h"},  // fmul h0, h1, h2
    {0x1ee51883u, "fdiv_h"},  // fdiv h3, h4, h5
    {0x1ee22820u, "fadd_h"},  // fadd h0, h1, h2
    {0x1efd3bdfu, "fsub_h"},  // fsub h31, h30, h29
    {0x1ee24820u, "fmax_h"},  // fmax h0, h1, h2
    {0x1ee25820u, "fmin_h"},  // fmin h0, h1, h2
    {0x1ee26820u, "fmaxnm_h"},  // fmaxnm h0, h1, h2
    {0x1ee27820u, "fminnm_h"},  // fminnm h0, h1, h2
    {0x1ee28820u, "fnmul_h"},  // fnmul h0, h1, h2
    {0x1ee04020u, "fmov_h"},  // fmov h0, h1
    {0x1ee0c020u, "fabs_h"},  // fabs h0, h1
    {0x1ee14020u, "fneg_h"},  // fneg h0, h1
    {0x1ee1c020u, "fsqrt_h"},  // fsqrt h0, h1
    {0x1ee44020u, "frintn_h"},  // frintn h0, h1
    {0x1ee4c020u, "frintp_h"},  // frintp h0, h1
    {0x1ee54020u, "frintm_h"},  // frintm h0, h1
    {0x1ee5c020u, "frintz_h"},  // frintz h0, h1
    {0x1ee64020u, "frinta_h"},  // frinta h0, h1
    {0x1ee74020u, "frintx_h"},  // frintx h0, h1
    {0x1ee7c020u, "frinti_h"},  // frinti h0, h1
    {0x1ee12000u, "fcmp_h"},  // fcmp h0, h1
    {0x1ee12010u, "fcmpe_h"},  // fcmpe h0, h1
    {0x1ee02008u, "fcmp_h0"},  // fcmp h0, #0.0
    {0x1ee02018u, "fcmpe_h0"},  // fcmpe h0, #0.0
    {0x1ee10403u, "fccmp_h"},  // fccmp h0, h1, #3, eq
    {0x1ee1b41fu, "fccmpe_h"},  // fccmpe h0, h1, #15, lt
    {0x1ee21c20u, "fcsel_h"},  // fcsel h0, h1, h2, ne
    {0x1eee1000u, "fmov_imm_h"},  // fmov h0, #1.00000000
    {0x1fc20c20u, "fmadd_h"},  // fmadd h0, h1, h2, h3
    {0x1fc28c20u, "fmsub_h"},  // fmsub h0, h1, h2, h3
    {0x1fe20c20u, "fnmadd_h"},  // fnmadd h0, h1, h2, h3
    {0x1fe28c20u, "fnmsub_h"},  // fnmsub h0, h1, h2, h3
    {0x1ec2c020u, "scvtf_fixh"},  // scvtf h0, w1, #16
    {0x9ec30020u, "ucvtf_fixh"},  // ucvtf h0, x1, #64
    {0x1ed88020u, "fcvtzs_fixh"},  // fcvtzs w0, h1, #32
    {0x9ed9fc20u, "fcvtzu_fixh"},  // fcvtzu x0, h1, #1
    {0x1ee00020u, "fcvtns_gh"},  // fcvtns w0, h1
    {0x9ee10020u, "fcvtnu_gh"},  // fcvtnu x0, h1
    {0x1ee20020u, "scvtf_gh"},  // scvtf h0, w1
    {0x9ee30020u, "ucvtf_gh"},  // ucvtf h0, x1
    {0x1ee40020u, "fcvtas_gh"},  // fcvtas w0, h1
    {0x9ee50020u, "fcvtau_gh"},  // fcvtau x0, h1
    {0x1ee60020u, "fmov_to_gh"},  // fmov w0, h1
    {0x9ee70020u, "fmov_from_gh"},  // fmov h0, x1
    {0x1ee80020u, "fcvtps_gh"},  // fcvtps w0, h1
    {0x9ee90020u, "fcvtpu_gh"},  // fcvtpu x0, h1
    {0x1ef00020u, "fcvtms_gh"},  // fcvtms w0, h1
    {0x9ef10020u, "fcvtmu_gh"},  // fcvtmu x0, h1
    {0x9ef80020u, "fcvtzs_gh"},  // fcvtzs x0, h1
    {0x1ef90020u, "fcvtzu_gh"},  // fcvtzu w0, h1
    {0x4e420420u, "fmaxnm_vh"},  // fmaxnm v0.8h, v1.8h, v2.8h
    {0x0e420c20u, "fmla_vh"},  // fmla v0.4h, v1.4h, v2.4h
    {0x4e421420u, "fadd_vh"},  // fadd v0.8h, v1.8h, v2.8h
    {0x4e421c20u, "fmulx_vh"},  // fmulx v0.8h, v1.8h, v2.8h
    {0x4e422420u, "fcmeq_vh"},  // fcmeq v0.8h, v1.8h, v2.8h
    {0x4e423420u, "fmax_vh"},  // fmax v0.8h, v1.8h, v2.8h
    {0x4e423c20u, "frecps_vh"},  // frecps v0.8h, v1.8h, v2.8h
    {0x4ec20420u, "fminnm_vh"},  // fminnm v0.8h, v1.8h, v2.8h
    {0x4ec20c20u, "fmls_vh"},  // fmls v0.8h, v1.8h, v2.8h
    {0x0ec21420u, "fsub_vh"},  // fsub v0.4h, v1.4h, v2.4h
    {0x4ec23420u, "fmin_vh"},  // fmin v0.8h, v1.8h, v2.8h
    {0x4ec23c20u, "frsqrts_vh"},  // frsqrts v0.8h, v1.8h, v2.8h
    {0x6e420420u, "fmaxnmp_vh"},  // fmaxnmp v0.8h, v1.8h, v2.8h
    {0x2e421420u, "faddp_vh"},  // faddp v0.4h, v1.4h, v2.4h
    {0x6e421c20u, "fmul_vh"},  // fmul v0.8h, v1.8h, v2.8h
    {0x6e422420u, "fcmge_vh"},  // fcmge v0.8h, v1.8h, v2.8h
    {0x6e422c20u, "facge_vh"},  // facge v0.8h, v1.8h, v2.8h
    {0x6e423420u, "fmaxp_vh"},  // fmaxp v0.8h, v1.8h, v2.8h
    {0x6e423c20u, "fdiv_vh"},  // fdiv v0.8h, v1.8h, v2.8h
    {0x6ec20420u, "fminnmp_vh"},  // fminnmp v0.8h, v1.8h, v2.8h
    {0x6ec21420u, "fabd_vh"},  // fabd v0.8h, v1.8h, v2.8h
    {0x6ec22420u, "fcmgt_vh"},  // fcmgt v0.8h, v1.8h, v2.8h
    {0x6ec22c20u, "facgt_vh"},  // facgt v0.8h, v1.8h, v2.8h
    {0x6ec23420u, "fminp_vh"},  // fminp v0.8h, v1.8h, v2.8h
    {0x4e798820u, "frintn_vh"},  // frintn v0.8h, v1.8h
    {0x4e799820u, "frintm_vh"},  // frintm v0.8h, v1.8h
    {0x4e79a820u, "fcvtns_vh"},  // fcvtns v0.8h, v1.8h
    {0x4e79b820u, "fcvtms_vh"},  // fcvtms v0.8h, v1.8h
    {0x4e79c820u, "fcvtas_vh"},  // fcvtas v0.8h, v1.8h
    {0x4e79d820u, "scvtf_vh"},  // scvtf v0.8h, v1.8h
    {0x4ef8c820u, "fcmgt_vh0"},  // fcmgt v0.8h, v1.8h, #0.0
    {0x4ef8d820u, "fcmeq_vh0"},  // fcmeq v0.8h, v1.8h, #0.0
    {0x4ef8e820u, "fcmlt_vh0"},  // fcmlt v0.8h, v1.8h, #0.0
    {0x0ef8f820u, "fabs_vh"},  // fabs v0.4h, v1.4h
    {0x4ef98820u, "frintp_vh"},  // frintp v0.8h, v1.8h
    {0x4ef99820u, "frintz_vh"},  // frintz v0.8h, v1.8h
    {0x4ef9a820u, "fcvtps_vh"},  // fcvtps v0.8h, v1.8h
    {0x4ef9b820u, "fcvtzs_vh"},  // fcvtzs v0.8h, v1.8h
    {0x4ef9d820u, "frecpe_vh"},  // frecpe v0.8h, v1.8h
    {0x6e798820u, "frinta_vh"},  // frinta v0.8h, v1.8h
    {0x6e799820u, "frintx_vh"},  // frintx v0.8h, v1.8h
    {0x6e79a820u, "fcvtnu_vh"},  // fcvtnu v0.8h, v1.8h
    {0x6e79b820u, "fcvtmu_vh"},  // fcvtmu v0.8h, v1.8h
    {0x6e79c820u, "fcvtau_vh"},  // fcvtau v0.8h, v1.8h
    {0x6e79d820u, "ucvtf_vh"},  // ucvtf v0.8h, v1.8h
    {0x6ef8c820u, "fcmge_vh0"},  // fcmge v0.8h, v1.8h, #0.0
    {0x6ef8d820u, "fcmle_vh0"},  // fcmle v0.8h, v1.8h, #0.0
    {0x6ef8f820u, "fneg_vh"},  // fneg v0.8h, v1.8h
    {0x6ef99820u, "frinti_vh"},  // frinti v0.8h, v1.8h
    {0x6ef9a820u, "fcvtpu_vh"},  // fcvtpu v0.8h, v1.8h
    {0x6ef9b820u, "fcvtzu_vh"},  // fcvtzu v0.8h, v1.8h
    {0x6ef9d820u, "frsqrte_vh"},  // frsqrte v0.8h, v1.8h
    {0x6ef9f820u, "fsqrt_vh"},  // fsqrt v0.8h, v1.8h
    {0x4e30c820u, "fmaxnmv_vh"},  // fmaxnmv h0, v1.8h
    {0x0e30f820u, "fmaxv_vh"},  // fmaxv h0, v1.4h
    {0x4eb0c820u, "fminnmv_vh"},  // fminnmv h0, v1.8h
    {0x4eb0f820u, "fminv_vh"},  // fminv h0, v1.8h
    {0x5e421c20u, "fmulx_sh"},  // fmulx h0, h1, h2
    {0x5e422420u, "fcmeq_sh"},  // fcmeq h0, h1, h2
    {0x5e423c20u, "frecps_sh"},  // frecps h0, h1, h2
    {0x5ec23c20u, "frsqrts_sh"},  // frsqrts h0, h1, h2
    {0x7e422420u, "fcmge_sh"},  // fcmge h0, h1, h2
    {0x7e422c20u, "facge_sh"},  // facge h0, h1, h2
    {0x7ec21420u, "fabd_sh"},  // fabd h0, h1, h2
    {0x7ec22420u, "fcmgt_sh"},  // fcmgt h0, h1, h2
    {0x7ec22c20u, "facgt_sh"},  // facgt h0, h1, h2
    {0x5e79a820u, "fcvtns_sh"},  // fcvtns h0, h1
    {0x5e79b820u, "fcvtms_sh"},  // fcvtms h0, h1
    {0x5e79c820u, "fcvtas_sh"},  // fcvtas h0, h1
    {0x5e79d820u, "scvtf_sh"},  // scvtf h0, h1
    {0x5ef8c820u, "fcmgt_sh0"},  // fcmgt h0, h1, #0.0
    {0x5ef8d820u, "fcmeq_sh0"},  // fcmeq h0, h1, #0.0
    {0x5ef8e820u, "fcmlt_sh0"},  // fcmlt h0, h1, #0.0
    {0x5ef9a820u, "fcvtps_sh"},  // fcvtps h0, h1
    {0x5ef9b820u, "fcvtzs_sh"},  // fcvtzs h0, h1
    {0x5ef9d820u, "frecpe_sh"},  // frecpe h0, h1
    {0x5ef9f820u, "frecpx_sh"},  // frecpx h0, h1
    {0x7e79a820u, "fcvtnu_sh"},  // fcvtnu h0, h1
    {0x7e79b820u, "fcvtmu_sh"},  // fcvtmu h0, h1
    {0x7e79c820u, "fcvtau_sh"},  // fcvtau h0, h1
    {0x7e79d820u, "ucvtf_sh"},  // ucvtf h0, h1
    {0x7ef8c820u, "fcmge_sh0"},  // fcmge h0, h1, #0.0
    {0x7ef8d820u, "fcmle_sh0"},  // fcmle h0, h1, #0.0
    {0x7ef9a820u, "fcvtpu_sh"},  // fcvtpu h0, h1
    {0x7ef9b820u, "fcvtzu_sh"},  // fcvtzu h0, h1
    {0x7ef9d820u, "frsqrte_sh"},  // frsqrte h0, h1
    {0x5e30c820u, "fmaxnmp_sh"},  // fmaxnmp h0, v1.2h
    {0x5e30d820u, "faddp_sh"},  // faddp h0, v1.2h
    {0x5e30f820u, "fmaxp_sh"},  // fmaxp h0, v1.2h
    {0x5eb0c820u, "fminnmp_sh"},  // fminnmp h0, v1.2h
    {0x5eb0f820u, "fminp_sh"},  // fminp h0, v1.2h
    {0x4f3f1820u, "fmla_evh"},  // fmla v0.8h, v1.8h, v15.h[7]
    {0x0f025020u, "fmls_evh"},  // fmls v0.4h, v1.4h, v2.h[0]
    {0x4f329020u, "fmul_evh"},  // fmul v0.8h, v1.8h, v2.h[3]
    {0x6f129820u, "fmulx_evh"},  // fmulx v0.8h, v1.8h, v2.h[5]
    {0x5f121020u, "fmla_esh"},  // fmla h0, h1, v2.h[1]
    {0x5f225020u, "fmls_esh"},  // fmls h0, h1, v2.h[2]
    {0x5f229820u, "fmul_esh"},  // fmul h0, h1, v2.h[6]
    {0x7f029820u, "fmulx_esh"},  // fmulx h0, h1, v2.h[4]
    {0x4f04fc80u, "fmov_imm_vh"},  // fmov v0.8h, #-2.50000000
    {0x4f10e420u, "scvtf_fixvh"},  // scvtf v0.8h, v1.8h, #16
    {0x2f1fe420u, "ucvtf_fixvh"},  // ucvtf v0.4h, v1.4h, #1
    {0x4f1bfc20u, "fcvtzs_fixvh"},  // fcvtzs v0.8h, v1.8h, #5
    {0x6f17fc20u, "fcvtzu_fixvh"},  // fcvtzu v0.8h, v1.8h, #9
    {0x5f10e420u, "scvtf_fixsh"},  // scvtf h0, h1, #16
    {0x7f1fe420u, "ucvtf_fixsh"},  // ucvtf h0, h1, #1
    {0x5f19fc20u, "fcvtzs_fixsh"},  // fcvtzs h0, h1, #7
    {0x7f14fc20u, "fcvtzu_fixsh"},  // fcvtzu h0, h1, #12
};

// Armv8.0 floating point and Advanced SIMD (single and double precision, the
// conversions between half and single or double precision, FCVTL/FCVTN),
// FEAT_FCMA on halves, SVE, integer SIMD on halfwords, and unallocated words
// next to the FP16 encodings.
const uint32_t kRejected[] = {
    0x1e222820u,  // fadd s0, s1, s2
    0x1e622820u,  // fadd d0, d1, d2
    0x1f020c20u,  // fmadd s0, s1, s2, s3
    0x1e23c020u,  // fcvt h0, s1
    0x1e63c020u,  // fcvt h0, d1
    0x1ee24020u,  // fcvt s0, h1
    0x1ee2c020u,  // fcvt d0, h1
    0x1e270020u,  // fmov s0, w1
    0x1e260020u,  // fmov w0, s1
    0x1e2e1000u,  // fmov s0, #1.00000000
    0x1e212000u,  // fcmp s0, s1
    0x1e610400u,  // fccmp d0, d1, #0, eq
    0x1e220c20u,  // fcsel s0, s1, s2, eq
    0x1e220020u,  // scvtf s0, w1
    0x9e42f420u,  // scvtf d0, x1, #3
    0x1e380020u,  // fcvtzs w0, s1
    0x9e58d820u,  // fcvtzs x0, d1, #10
    0x1e274020u,  // frintx s0, s1
    0x4e22d420u,  // fadd v0.4s, v1.4s, v2.4s
    0x4e62d420u,  // fadd v0.2d, v1.2d, v2.2d
    0x4fa21020u,  // fmla v0.4s, v1.4s, v2.s[1]
    0x5fa29020u,  // fmul s0, s1, v2.s[1]
    0x6e30c820u,  // fmaxnmv s0, v1.4s
    0x7e30d820u,  // faddp s0, v1.2s
    0x6e22d420u,  // faddp v0.4s, v1.4s, v2.4s
    0x4f03f600u,  // fmov v0.4s, #1.00000000
    0x6f03f600u,  // fmov v0.2d, #1.00000000
    0x0e217820u,  // fcvtl v0.4s, v1.4h
    0x0e216820u,  // fcvtn v0.4h, v1.4s
    0x4ea1b820u,  // fcvtzs v0.4s, v1.4s
    0x4f3de420u,  // scvtf v0.4s, v1.4s, #3
    0x5f3dfc20u,  // fcvtzs s0, s1, #3
    0x5ea1d820u,  // frecpe s0, s1
    0x4ea0d820u,  // fcmeq v0.4s, v1.4s, #0.0
    0x6e42cc20u,  // fcmla v0.8h, v1.8h, v2.8h, #90
    0x6e42e420u,  // fcadd v0.8h, v1.8h, v2.8h, #90
    0x65420020u,  // fadd z0.h, z1.h, z2.h
    0x65408020u,  // fadd z0.h, p0/m, z0.h, z1.h
    0x65620020u,  // fmla z0.h, p0/m, z1.h, z2.h
    0x65442020u,  // fmaxnmv h0, p0, z1.h
    0x4e628420u,  // add v0.8h, v1.8h, v2.8h
    0x0f528020u,  // mul v0.4h, v1.4h, v2.h[1]
    0x4f008420u,  // movi v0.8h, #1
    0x4f135420u,  // shl v0.8h, v1.8h, #3
    0x4f1d0420u,  // sshr v0.8h, v1.8h, #3
    0x1ee09800u,  // 2-source opcode 1001, half
    0x0ec01c00u,  // three same FP16, U=0 a=1 opcode 011
    0x1ed87c20u,  // fcvtzs w0, h1, #33 (32-bit with scale < 32)
    0x1ee02001u,  // fcmp with opcode2 bit 0 set
    0x1ee3c000u,  // fcvt from half to half
    0x0e79f800u,  // two-register misc FP16, U=0 a=0 opcode 11111
    0x2f001000u,  // by element, U=1 opcode 0001
    0x5e30e800u,  // scalar pairwise FP16, opcode 01110
    0x2e79e800u,  // two-register misc FP16, U=1 a=0 opcode 11110
};

const sve_handler_info *entry_named(const char *name) {
    size_t n = 0;
    const sve_handler_info *all = half_precision_catalog(&n);
    for (size_t i = 0; i < n; ++i)
        if (std::strcmp(all[i].name, name) == 0) return &all[i];
    return nullptr;
}

TEST(HalfPrecisionDecode, EveryEntryClaimsItsOwnInstruction) {
    size_t n = 0;
    half_precision_catalog(&n);
    ASSERT_EQ(n, sizeof kClaimed / sizeof kClaimed[0]);
    for (const claimed_word &c : kClaimed) {
        const sve_handler_info *e = entry_named(c.entry);
        ASSERT_NE(e, nullptr) << c.entry;
        EXPECT_EQ(c.word & e->fixed_mask, e->fixed_value) << c.entry;
        EXPECT_EQ(is_half_precision(c.word), e->fn) << std::hex << c.word << " " << c.entry;
    }
}

TEST(HalfPrecisionDecode, ArmV80AndOtherFormsAreNotClaimed) {
    for (uint32_t w : kRejected) EXPECT_EQ(is_half_precision(w), nullptr) << std::hex << w;
}

TEST(HalfPrecisionDecode, EntriesDoNotOverlapAndAreNumbered) {
    size_t n = 0;
    const sve_handler_info *all = half_precision_catalog(&n);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(all[i].key, i);
        EXPECT_TRUE(all[i].implemented);
        EXPECT_EQ(all[i].fixed_value & ~all[i].fixed_mask, 0u) << all[i].name;
        for (size_t j = i + 1; j < n; ++j)
            EXPECT_NE((all[i].fixed_value ^ all[j].fixed_value) & all[i].fixed_mask & all[j].fixed_mask, 0u)
                << all[i].name << " and " << all[j].name;
    }
}

// ---- Executors -------------------------------------------------------------

constexpr uint16_t kOne = 0x3C00, kTwo = 0x4000, kThree = 0x4200, kHalf = 0x3800;

struct machine {
    alignas(16) cpu_state s;
    uint32_t code[1] = {0};
    machine() {
        std::memset(&s, 0, sizeof s);
        for (unsigned r = 0; r < 32; ++r) std::memset(s.z[r], 0xA5, kVecBytes);
    }
    void set_h(unsigned reg, unsigned lane, uint16_t v) { std::memcpy(s.z[reg] + 2 * lane, &v, 2); }
    uint16_t h(unsigned reg, unsigned lane) const {
        uint16_t v;
        std::memcpy(&v, s.z[reg] + 2 * lane, 2);
        return v;
    }
    bool zero_from(unsigned reg, unsigned byte) const {
        for (unsigned b = byte; b < kVecBytes; ++b)
            if (s.z[reg][b] != 0) return false;
        return true;
    }
    aarch64_decode_rc run(uint32_t word) {
        code[0] = word;
        s.pc = reinterpret_cast<unsigned char *>(code);
        return execute_half_precision_instruction(&s);
    }
};

TEST(HalfPrecisionExecute, ScalarResultsClearTheRestOfZ) {
    machine m;
    m.set_h(1, 0, kOne);
    m.set_h(2, 0, kTwo);
    ASSERT_EQ(m.run(0x1ee22820u), DECODE_OK);  // fadd h0, h1, h2
    EXPECT_EQ(m.h(0, 0), kThree);
    EXPECT_TRUE(m.zero_from(0, 2));
    EXPECT_EQ(m.s.pc, reinterpret_cast<unsigned char *>(m.code) + 4);
    // Sources are untouched, upper bytes included.
    EXPECT_EQ(m.s.z[1][2], 0xA5);
    EXPECT_EQ(m.s.z[2][255], 0xA5);

    m.set_h(3, 7, kTwo);
    ASSERT_EQ(m.run(0x4e30f860u), DECODE_OK);  // fmaxv h0, v3.8h
    EXPECT_EQ(m.h(0, 0), kTwo);
    EXPECT_TRUE(m.zero_from(0, 2));
}

TEST(HalfPrecisionExecute, VectorResultsClearAboveTheirWidth) {
    machine m;
    for (unsigned e = 0; e < 8; ++e) {
        m.set_h(1, e, kOne);
        m.set_h(2, e, kHalf);
    }
    ASSERT_EQ(m.run(0x4e421420u), DECODE_OK);  // fadd v0.8h, v1.8h, v2.8h
    for (unsigned e = 0; e < 8; ++e) EXPECT_EQ(m.h(0, e), 0x3E00) << e;  // 1.5
    EXPECT_TRUE(m.zero_from(0, 16));
    ASSERT_EQ(m.run(0x0ec21420u), DECODE_OK);  // fsub v0.4h, v1.4h, v2.4h
    for (unsigned e = 0; e < 4; ++e) EXPECT_EQ(m.h(0, e), kHalf) << e;
    EXPECT_TRUE(m.zero_from(0, 8));
}

TEST(HalfPrecisionExecute, DestinationMayBeASource) {
    machine m;
    for (unsigned e = 0; e < 8; ++e) m.set_h(1, e, uint16_t(kOne + e));
    ASSERT_EQ(m.run(0x6e411421u), DECODE_OK);  // faddp v1.8h, v1.8h, v1.8h
    // Pairs of Vm:Vn, both v1: lanes 0-3 and 4-7 hold the same sums.
    for (unsigned e = 0; e < 4; ++e) EXPECT_EQ(m.h(1, e), m.h(1, e + 4)) << e;
    EXPECT_EQ(m.h(1, 0), 0x4000);  // 1 + 1.0009765625, rounded to even
}

TEST(HalfPrecisionExecute, ByElementTakesTheIndexedLaneOfTheLowSixteenRegisters) {
    machine m;
    for (unsigned e = 0; e < 8; ++e) {
        m.set_h(1, e, kTwo);
        m.set_h(15, e, kOne);
        m.set_h(0, e, kOne);
    }
    m.set_h(15, 7, kThree);
    ASSERT_EQ(m.run(0x4f3f1820u), DECODE_OK);  // fmla v0.8h, v1.8h, v15.h[7]
    for (unsigned e = 0; e < 8; ++e) EXPECT_EQ(m.h(0, e), 0x4700) << e;  // 1 + 2 * 3
}

TEST(HalfPrecisionExecute, CompareSetsNzcvAndConditionalCompareFallsBackToItsImmediate) {
    machine m;
    m.set_h(0, 0, kOne);
    m.set_h(1, 0, kTwo);
    ASSERT_EQ(m.run(0x1ee12000u), DECODE_OK);  // fcmp h0, h1
    EXPECT_EQ(m.s.nzcv, 0x80000000u);        // less than
    m.set_h(1, 0, 0x7E00);                    // quiet NaN
    ASSERT_EQ(m.run(0x1ee12000u), DECODE_OK);
    EXPECT_EQ(m.s.nzcv, 0x30000000u);  // unordered
    EXPECT_EQ(m.s.fpsr, 0u);           // quiet compare: no Invalid Operation
    ASSERT_EQ(m.run(0x1ee12010u), DECODE_OK);  // fcmpe h0, h1
    EXPECT_EQ(m.s.fpsr, uint32_t(FPSCR_IOC));
    // fccmp h0, h1, #3, eq with Z clear: NZCV = 0011 from the word, no compare.
    m.s.nzcv = 0;
    m.s.fpsr = 0;
    ASSERT_EQ(m.run(0x1ee10403u), DECODE_OK);
    EXPECT_EQ(m.s.nzcv, 0x30000000u);
    EXPECT_EQ(m.s.fpsr, 0u);
}

TEST(HalfPrecisionExecute, FlagsAccumulateAndControlsApply) {
    machine m;
    m.s.fpsr = FPSCR_DZC;
    m.set_h(1, 0, 0x7BFF);  // largest finite
    m.set_h(2, 0, 0x7BFF);
    ASSERT_EQ(m.run(0x1ee22820u), DECODE_OK);  // fadd h0, h1, h2
    EXPECT_EQ(m.h(0, 0), 0x7C00);              // overflow to +infinity
    EXPECT_EQ(m.s.fpsr, uint32_t(FPSCR_DZC | FPSCR_OFC | FPSCR_IXC));
    m.s.fpcr = 3u << 22;  // round toward zero
    ASSERT_EQ(m.run(0x1ee22820u), DECODE_OK);
    EXPECT_EQ(m.h(0, 0), 0x7BFF);
    // FZ16 flushes a subnormal operand to zero (without IDC for half).
    m.s.fpcr = FPSCR_FZ16;
    m.s.fpsr = 0;
    m.set_h(1, 0, 0x0001);
    m.set_h(2, 0, 0x0000);
    ASSERT_EQ(m.run(0x1ee22820u), DECODE_OK);
    EXPECT_EQ(m.h(0, 0), 0x0000);
    EXPECT_EQ(m.s.fpsr, 0u);
}

TEST(HalfPrecisionExecute, GeneralRegisterMovesAndConversions) {
    machine m;
    m.s.x[1] = 0xFFFFFFFF12343C00ull;
    ASSERT_EQ(m.run(0x9ee70020u), DECODE_OK);  // fmov h0, x1
    EXPECT_EQ(m.h(0, 0), kOne);
    EXPECT_TRUE(m.zero_from(0, 2));
    m.s.x[0] = ~0ull;
    m.set_h(1, 0, 0xC200);  // -3.0
    ASSERT_EQ(m.run(0x1ee60020u), DECODE_OK);  // fmov w0, h1
    EXPECT_EQ(m.s.x[0], 0xC200u);
    ASSERT_EQ(m.run(0x1ef80020u), DECODE_OK);  // fcvtzs w0, h1
    EXPECT_EQ(m.s.x[0], 0xFFFFFFFDu);          // 32-bit result, zero-extended
    ASSERT_EQ(m.run(0x9ef80020u), DECODE_OK);  // fcvtzs x0, h1
    EXPECT_EQ(m.s.x[0], 0xFFFFFFFFFFFFFFFDull);
    // scvtf h0, w1 reads the low word as signed.
    m.s.x[1] = 0x00000001FFFFFFFEull;
    ASSERT_EQ(m.run(0x1ee20020u), DECODE_OK);
    EXPECT_EQ(m.h(0, 0), 0xC000);  // -2.0
    // Register 31 is the zero register for both directions.
    ASSERT_EQ(m.run(0x1ee703e0u), DECODE_OK);  // fmov h0, wzr
    EXPECT_EQ(m.h(0, 0), 0);
    const uint64_t sp = m.s.sp = 0x1234;
    ASSERT_EQ(m.run(0x1ee6003fu), DECODE_OK);  // fmov wzr, h1
    EXPECT_EQ(m.s.sp, sp);
}

TEST(HalfPrecisionExecute, ScalarFixedPointResultIsSixteenBits) {
    // fcvtzs h0, h1, #7 of -1.0: -128 in the low halfword and nothing above it
    // (the result is an H register, written with V[d, 16]).
    machine m;
    m.set_h(1, 0, 0xBC00);
    ASSERT_EQ(m.run(0x5f19fc20u), DECODE_OK);
    EXPECT_EQ(m.h(0, 0), 0xFF80);
    EXPECT_TRUE(m.zero_from(0, 2));
}

TEST(HalfPrecisionExecute, ImmediatesExpand) {
    machine m;
    ASSERT_EQ(m.run(0x4f04fc80u), DECODE_OK);  // fmov v0.8h, #-2.5
    for (unsigned e = 0; e < 8; ++e) EXPECT_EQ(m.h(0, e), 0xC100) << e;
    EXPECT_TRUE(m.zero_from(0, 16));
    ASSERT_EQ(m.run(0x1ee01000u | (0x70u << 13)), DECODE_OK);  // fmov h0, #1.0
    EXPECT_EQ(m.h(0, 0), kOne);
    ASSERT_EQ(m.run(0x1ee01000u | (0x3Fu << 13)), DECODE_OK);  // fmov h0, #31.0
    EXPECT_EQ(m.h(0, 0), 0x4FC0);
}

TEST(HalfPrecisionExecute, UnclaimedWordLeavesTheStateAlone) {
    machine m;
    machine before = m;
    EXPECT_EQ(m.run(0x1e222820u), DECODE_UNIMPLEMENTED);  // fadd s0, s1, s2
    EXPECT_EQ(m.s.pc, reinterpret_cast<unsigned char *>(m.code));
    EXPECT_EQ(std::memcmp(m.s.z, before.s.z, sizeof m.s.z), 0);
}

}  // namespace
