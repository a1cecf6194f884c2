#include "sve/kernels/move_kernels.h"

#include "sve/kernels/kernel_common.h"

namespace {

// Every element of Zd = the low bytes of v at Zd's element size.
aarch64_decode_rc broadcast(cpu_state *s, aarch64_z_reg zd, uint64_t v) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        unsigned char *d = zreg(s, zd);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(d, i, static_cast<T>(v));
        return DECODE_OK;
    });
}

}  // namespace

aarch64_decode_rc sve_dup_zi(cpu_state *s, aarch64_z_reg zd, int imm) {
    return broadcast(s, zd, static_cast<uint64_t>(static_cast<int64_t>(imm)));
}

aarch64_decode_rc sve_dup_zr(cpu_state *s, aarch64_z_reg zd, aarch64_i_rsp_reg rn) {
    return broadcast(s, zd, xread(s, rn));
}
