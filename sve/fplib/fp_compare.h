// Comparisons, maximum and minimum of half, single and double encodings.
// Operands are unpacked under the FPSCR (flush-to-zero with IDC for single and
// double); exceptions are ORed into the FPSCR. Nothing here rounds.
#pragma once

#include "sve/fplib/fp_types.h"

// Quiet equality: IOC only for a signalling NaN operand.
template <typename T>
bool FPCompareEQ(T a, T b, FPSCR &fpscr);
// Signalling ordered compares: IOC for any NaN operand, result false.
template <typename T>
bool FPCompareGE(T a, T b, FPSCR &fpscr);
template <typename T>
bool FPCompareGT(T a, T b, FPSCR &fpscr);
// Unordered: true when either operand is a NaN (IOC only for a signalling NaN).
template <typename T>
bool FPCompareUN(T a, T b, FPSCR &fpscr);
// Full comparison as an NZCV nibble: 6 equal, 8 less, 2 greater, 3 unordered.
template <typename T>
int FPCompare(T a, T b, bool signal_nans, FPSCR &fpscr);

template <typename T>
T FPMax(T a, T b, FPSCR &fpscr);
template <typename T>
T FPMin(T a, T b, FPSCR &fpscr);
// As FPMax/FPMin, but a single quiet NaN operand loses to the other operand.
template <typename T>
T FPMaxNum(T a, T b, FPSCR &fpscr);
template <typename T>
T FPMinNum(T a, T b, FPSCR &fpscr);
