// Explaining an instruction word that could not be emulated.
//
// A host that meets such a word prints its one-line error first
//   Error: failed to emulate SVE instruction 0x%08x at PC %p
// and then the lines sve_explain_failure writes:
//   instruction: add z0.b, p0/m, z0.b, z1.b   (VecU8AddVVM)
//   location: kernel+0x24 in /home/me/prog
//   reason: an SVE instruction that is not emulated yet (VecU8AddVVM has no implementation)
// The instruction is named from the emulator's own dispatch tables, as a
// disassembler would name it, where the word is in them.
//
// Everything here is callable from a signal handler: no heap, no locks of its
// own, output into the caller's buffer (the symbol comes from dladdr, or from a
// resolver the host gives).
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/decode/sve_utils.h"

enum class sve_failure_kind : uint8_t {
    unimplemented,      // in the tables; its handler is not written yet
    rejected,           // in the tables; the handler refused the operand fields
    sve2,               // an SVE2 instruction (not emulated)
    sve_extension,      // BF16, I8MM, F32MM or F64MM on top of SVE (not emulated)
    sme,                // in the SME encoding space (not emulated)
    reserved,           // a reserved or unallocated encoding in the SVE space
    half_precision,     // an FP16 scalar or Advanced SIMD instruction, processor without FP16
    not_sve,            // outside the SVE, SME encoding spaces and not FP16
};

struct sve_failure_diagnosis {
    sve_failure_kind kind;
    // The dispatch entry the word is in (unimplemented, rejected and, where the
    // word shares an entry's fixed bits, sve2 / sve_extension / reserved), else null.
    const sve_handler_info *entry;
    // The half-precision entry of a half_precision word, where the decoder has one.
    const sve_handler_info *half_entry;
};

// What the word is and why it was not emulated. has_fp16: the processor
// implements FEAT_FP16 (scalar and Advanced SIMD half precision).
sve_failure_diagnosis sve_diagnose_word(uint32_t word, bool has_fp16);

// The word as a disassembler names it ("add z0.b, p0/m, z0.b, z1.b"), from the
// dispatch entry's template; an operand the template cannot read from one
// field is "?". Writes a terminated string, truncated to size; returns false
// (and writes nothing) when the word is in no dispatch entry.
bool sve_format_instruction(uint32_t word, char *out, size_t size);

// The short name of a dispatch entry, the mnemonic with the shape of its first
// operand ("add z.b", "ld1w z.s", "whilelo p.s"), or the handler name; null
// for an entry index out of range. Indexes are those of sve_handler_catalog.
const char *sve_instruction_short_name(size_t entry_index);
// The catalogue index of the entry the tables dispatch `word` to, or -1.
long sve_entry_index_of(uint32_t word);

// A code address as "symbol+0xoff in /path/object" (or "/path/object+0xoff", or
// "0x..." when nothing is known).
struct sve_code_location {
    const char *object;  // file of the object that contains the address, or null
    uintptr_t object_base;
    const char *symbol;  // nearest symbol at or below the address, or null
    uintptr_t symbol_address;
};
// Fills *out for pc; false when nothing is known. The default uses dladdr; a
// host where dladdr does not see the program's objects (the DynamoRIO client)
// installs its own.
using sve_location_resolver = bool (*)(const void *pc, sve_code_location *out);
void sve_set_location_resolver(sve_location_resolver resolver);
bool sve_resolve_location(const void *pc, sve_code_location *out);
// "symbol+0x24 in /path" etc.; returns the length written (terminated, truncated).
size_t sve_format_location(const void *pc, char *out, size_t size);

// The explanation lines (each "  name: text\n") that follow the host's error
// line: the instruction, its location and the reason. Returns the length
// written; out is always terminated.
size_t sve_explain_failure(uint32_t word, const void *pc, bool has_fp16, char *out, size_t size);

// Whether this processor implements FEAT_FP16 (HWCAP_FPHP); false off AArch64.
bool sve_processor_has_fp16();
