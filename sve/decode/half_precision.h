// The half-precision (FP16) data-processing instructions of the A64 scalar
// floating-point and Advanced SIMD encodings. Processors with SVE always have
// them; Armv8.0 processors do not (HWCAP_FPHP and HWCAP_ASIMDHP clear), so
// compiled SVE programs that use _Float16 raise SIGILL there. The hosts call
// is_half_precision for such a word and run the executor it returns exactly
// like an SVE handler: it reads and writes the V (low 128 bits of Z), X, NZCV,
// FPCR and FPSR images of the state and leaves pc alone. Every result written
// to a scalar or 64-bit vector destination clears the rest of the Z register.
//
// The computation is the software floating-point library's: bit-exact under
// FPCR.RMode, FZ16 and DN (AHP does not apply to these instructions), with the
// cumulative exception flags ORed into FPSR.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/decode/sve_utils.h"
#include "sve/state/cpu_state.h"

extern "C" {
// The executor of a half-precision instruction word, or null when the word is
// not one (Armv8.0 floating-point forms such as FADD Sd or FCVT Hd, Sn included).
sve_handler_fn is_half_precision(uint32_t word);
// Decodes and executes the word at state->pc as is_half_precision does and
// advances pc by 4; DECODE_UNIMPLEMENTED with the state unchanged otherwise.
aarch64_decode_rc execute_half_precision_instruction(cpu_state *state);
}

// The entries (name, fixed bits, executor) for tools and tests, in table order.
// Table "half precision"; key is the entry's index; implemented is true.
const sve_handler_info *half_precision_catalog(size_t *count);
