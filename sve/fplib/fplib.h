// The bit-exact floating-point library: half, single and double precision on
// raw encodings (uint16_t, uint32_t, uint64_t), following the AArch64
// floating-point rules, in integer arithmetic only.
//
// Use from a handler, per active element:
//
//     FPSCR fpscr = ctx->fpcr;                   // controls: RMode, FZ, DN, AHP, FZ16
//     result[e] = FPAdd(a[e], b[e], fpscr);      // ORs the raised flags into fpscr
//     ctx->fpsr = (ctx->fpsr | fpscr) & FPSR_MERGE_MASK;
//
// Arithmetic takes its rounding from the FPSCR; conversions and round to
// integral take an explicit FPRounding. Host-FPU kernels use host_fp.h.
#pragma once

#include "sve/fplib/fp_arith.h"
#include "sve/fplib/fp_compare.h"
#include "sve/fplib/fp_convert.h"
#include "sve/fplib/fp_estimate.h"
#include "sve/fplib/fp_round.h"
#include "sve/fplib/fp_special.h"
#include "sve/fplib/fp_types.h"
#include "sve/fplib/fp_unpack.h"
