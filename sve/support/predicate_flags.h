// Predicate scans and the predicate test that sets N, Z, C and V.
//
// Element i of an esize-bit element vector is governed by predicate bit
// p = i * esize / 8 and owns the esize/8 predicate bits from p upward (its
// group). An element is active in a governing predicate when bit p is set.
// The number of elements is vl64 * 64 / esize, taken from the context; vector
// lengths beyond the 2048 bits a PredV can describe count as 2048 bits, and
// element sizes other than 8, 16, 32 and 64 leave no elements.
//
// The flag setters read the governing predicate (mask) and the produced
// predicate (result) and update bits 31..28 (N, Z, C, V) of ctx->flags, never
// bits 27..0. Their return value carries no meaning.
#pragma once

#include "sve/state/cpu_context.h"
#include "sve/support/predv.h"

// Index of the lowest / highest active element of mask, or -1 if none.
int FindFirstActive(PredV mask, int esize, CpuContext *ctx);
int FindLastActive(PredV mask, int esize, CpuContext *ctx);

// The predicate test: N = bit p of result for the first active element;
// Z = no active element has a set bit in its result group; C = the last active
// element's result group is all zero; V = 0. No active element true gives
// N=0, Z=1, C=1, V=0.
int PredSetNZCV(PredV mask, PredV result, int esize, CpuContext *ctx);

// As PredSetNZCV, but V is left as it was.
int PredSetNZC(PredV mask, PredV result, int esize, CpuContext *ctx);

// As PredSetNZCV, but Z is left as it was.
int PredSetNCV(PredV mask, PredV result, int esize, CpuContext *ctx);

// Sets N and C from the first and last active elements only; with no active
// element the flags are left unchanged.
int PredSetNC(PredV mask, PredV result, int esize, CpuContext *ctx);
