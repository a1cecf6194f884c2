// The two disassemblers the harness consults, both as separate programs:
// llvm-mc decides which words are plain SVE (SVE only, no SVE2: the reference
// also implements SVE2 and SME, whose words may fit our dispatch keys), and
// aarch64 objdump names the word in failure reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace conformance {

struct disassembly {
    bool valid = false;  // llvm-mc accepts the word as plain SVE
    std::string text;    // "mnemonic operands", single spaces
};

// One llvm-mc run for all the words. False with `error` set when llvm-mc cannot
// be run or its output cannot be matched to the input.
bool disassemble_plain_sve(const std::string &llvm_mc, const std::vector<uint32_t> &words,
                           std::vector<disassembly> &out, std::string &error);

// objdump's rendering of one word, or a note saying why there is none.
std::string objdump_disassembly(const std::string &objdump, uint32_t word);

}  // namespace conformance
