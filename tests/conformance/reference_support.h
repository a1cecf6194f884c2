// What the harness's own tests share: whether the reference can run here, and
// the report a run wrote to its sink.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tools/conformance/harness.h"

namespace conformance {

// The probe, QEMU and llvm-mc are all there.
inline bool reference_available(const run_options &o) {
    return !o.probe.empty() && access(o.probe.c_str(), R_OK) == 0 && access(o.qemu.c_str(), X_OK) == 0 &&
           access(o.llvm_mc.c_str(), X_OK) == 0;
}

// Everything written to SINK so far.
inline std::string sink_text(FILE *sink) {
    std::rewind(sink);
    std::string s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, sink)) > 0) s.append(buf, n);
    return s;
}

}  // namespace conformance
