#!/usr/bin/env python3
"""Generates the instruction names and encoding classes that diagnostics and the
profile use, from the dispatch entries and llvm-mc.

    tools/gen_instruction_names.py [--llvm-mc llvm-mc-14] [--out-dir sve/support]

Writes two files (deterministic for a given llvm-mc):

  instruction_names.def   SVE_INSTRUCTION_NAME(handler, "short name", "template")
      one line per dispatch entry, in the entries' order. The short name is the
      mnemonic with the shape of its first operand ("add z.b", "ld1w z.s",
      "whilelo p.s", "cntb x"); the template renders the word as a
      disassembler would, with each operand number taken from a bit field of
      the word:
        {H:L}        the field's value           {H:L+K}  (value + K) % 32
        {H:L*S}      value times S               {H:L~S}  sign-extended, times S
        {xz H:L}     x<n>, or xzr for 31         {xs H:L} x<n>, or sp for 31
        {wz H:L}     w<n>, or wzr for 31         {ws H:L} w<n>, or wsp for 31
        {rs C H:L}   C minus the value           {ls C H:L} the value minus C
        {pat H:L}    a predicate pattern (pow2, vl1 ... all, or #n)
        {prf H:L}    a prefetch operation (pldl1keep ... pstl3strm, or #n)
        {f H:L A B}  A when the field is 0, else B (e.g. #0.5 or #1.0)
        ?            an operand not read from one field (e.g. a bitmask immediate)
      The name and template are learnt from llvm-mc's disassembly (plain SVE) of
      random fillings of the entry's operand bits: each number of the most common
      rendering is matched against every field of the free bits.

  encoding_classes.def    SVE_ENCODING_RANGE(first key, last key, class)
      the class of an SVE-space word (bits 28:25 = 0010) that no dispatch
      table holds, by its key: bits 31:29 and 24:10, the word without its two
      register fields 9:5 and 4:0. SVE2 (valid only with SVE2 and its
      extensions) or SVE_EXTENSION (valid with BF16/I8MM/F32MM/F64MM on top of
      SVE); a key in no range is reserved. Every key is tried with three random
      fillings of bits 9:0; a key is SVE2 or an extension when any filling is.
"""
import argparse
import collections
import os
import random
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PLAIN = "+sve"
EXTENSIONS = "+sve,+bf16,+i8mm,+f32mm,+f64mm"
SVE2 = "+sve2,+sve2-bitperm,+sve2-aes,+sve2-sha3,+sve2-sm4,+bf16,+i8mm,+f32mm,+f64mm"


def read_tables():
    fields = {}
    for line in open(os.path.join(ROOT, "sve/decode/sve_tables.def")):
        m = re.match(r"SVE_TABLE\((\w+),(.*)\)\s*$", line)
        if m:
            fields[m.group(1)] = [(int(a), int(b)) for a, b in re.findall(r"SVE_FIELD\((\d+), (\d+)\)", m.group(2))]
    entries = []
    for line in open(os.path.join(ROOT, "sve/decode/sve_entries.def")):
        m = re.match(r"SVE_ENTRY\((\w+), (0x[0-9A-Fa-f]+|\d+), (\w+)\)", line)
        if not m:
            continue
        table, key, name = m.group(1), int(m.group(2), 0), m.group(3)
        mask = value = 0
        k = key
        for hi, lo in reversed(fields[table]):
            width = hi - lo + 1
            mask |= ((1 << width) - 1) << lo
            value |= (k & ((1 << width) - 1)) << lo
            k >>= width
        entries.append((name, mask, value))
    return entries


def disassemble(llvm_mc, attrs, words):
    """llvm-mc's text for each word ("mnemonic operands", single spaces), or None."""
    if not words:
        return []
    text = "".join("0x%02x,0x%02x,0x%02x,0x%02x\n" % (w & 255, w >> 8 & 255, w >> 16 & 255, w >> 24 & 255)
                   for w in words)
    r = subprocess.run([llvm_mc, "--disassemble", "-triple=aarch64", "-mattr=" + attrs],
                       input=text, capture_output=True, text=True)
    bad = set()
    for line in r.stderr.splitlines():
        m = re.match(r"<stdin>:(\d+):\d+: warning: invalid instruction encoding", line)
        if m:
            bad.add(int(m.group(1)) - 1)
    # Without llvm-mc's comments ("// =0x85").
    good = [re.sub(r"\s+", " ", l.split("//")[0].strip()) for l in r.stdout.splitlines()
            if l.strip() and l.strip() != ".text"]
    out, it = [], iter(good)
    for i in range(len(words)):
        out.append(None if i in bad else next(it, None))
    if len(good) != len(words) - len(bad):
        sys.exit("llvm-mc output does not match its input")
    return out


# --- Instruction names -------------------------------------------------------

NUM = re.compile(r"(?<![\w.])(-?\d+(?:\.\d+(?:e[+-]?\d+)?)?)(?![\w])")
PATTERNS = dict({"pow2": 0, "mul4": 29, "mul3": 30, "all": 31},
                **{"vl%d" % n: n for n in range(1, 9)}, vl16=9, vl32=10, vl64=11, vl128=12, vl256=13)
PRFOPS = {"p%sl%d%s" % (kind, level, policy): (8 if kind == "st" else 0) + 2 * (level - 1) + (policy == "strm")
          for kind in ("ld", "st") for level in (1, 2, 3) for policy in ("keep", "strm")}
SPECIAL = {"xzr": ("x", 31, "z"), "sp": ("x", 31, "s"), "wzr": ("w", 31, "z"), "wsp": ("w", 31, "s")}


def normalise(text):
    """Splits a rendering into literal pieces and numbers; scalar registers
    become ('reg', kind, number, zr-or-sp) items."""
    items = []
    pos = 0
    pattern = re.compile(r"\b(pow2|vl\d+|mul4|mul3|all|p(?:ld|st)l[123](?:keep|strm))\b|\b(xzr|wzr|wsp|sp|[xwzpbhsdqv]\d+)\b|"
                         r"(?<![\w.])(-?\d+(?:\.\d+(?:e[+-]?\d+)?)?)(?![\w])")
    mnemonic = text.split(" ")[0]
    counts_pattern = re.fullmatch(r"ptrues?|cnt[bhwd]|(sq|uq)?(inc|dec)[bhwd]", mnemonic) is not None
    for m in pattern.finditer(text):
        if m.start() > pos:
            items.append(("lit", text[pos:m.start()]))
        if m.group(1) and m.group(1) in PRFOPS:
            items.append(("prf", PRFOPS[m.group(1)]))
            pos = m.end()
            continue
        if mnemonic.startswith("prf") and m.group(3) and not items[1:] and items and items[-1] == ("lit", mnemonic + " #"):
            items[-1] = ("lit", mnemonic + " ")
            items.append(("prf", int(m.group(3))))
            pos = m.end()
            continue
        if m.group(1):
            items.append(("pat", PATTERNS[m.group(1)]))
            pos = m.end()
            continue
        if (counts_pattern and m.group(3) and items and items[-1][0] == "lit" and items[-1][1].endswith(", #")
                and 14 <= int(m.group(3)) <= 28 and not text[:m.start()].rstrip("#").rstrip().endswith("mul")):
            items[-1] = ("lit", items[-1][1][:-1])
            items.append(("pat", int(m.group(3))))
            pos = m.end()
            continue
        if m.group(2):
            tok = m.group(2)
            if tok in SPECIAL:
                kind, n, special = SPECIAL[tok]
                items.append(("reg", kind, n, special))
            else:
                items.append(("reg", tok[0], int(tok[1:]), None))
        else:
            tok = m.group(3)
            items.append(("num", tok))
        pos = m.end()
    if pos < len(text):
        items.append(("lit", text[pos:]))
    return items


def skeleton(items):
    return tuple(i[1] if i[0] == "lit" else (i[0], i[1] if i[0] == "reg" else "") for i in items)


def one_bit_choice(free, words, texts):
    """{f H:L A B}: a one-bit field choosing between two constants (FP immediates)."""
    distinct = sorted(set(texts))
    if len(distinct) != 2:
        return None
    for b in range(32):
        if not (free >> b & 1):
            continue
        zero = {t for w, t in zip(words, texts) if not (w >> b & 1)}
        one = {t for w, t in zip(words, texts) if w >> b & 1}
        if len(zero) == 1 and len(one) == 1 and zero != one:
            return "{f %d:%d %s %s}" % (b, b, zero.pop(), one.pop())
    return None


def field(word, hi, lo):
    return (word >> lo) & ((1 << (hi - lo + 1)) - 1)


def find_field(free, words, values, signed_ok=True):
    """A placeholder whose value equals values[s] for every sample word."""
    candidates = []
    for lo in range(32):
        for hi in range(lo, min(lo + 8, 32)):
            m = ((1 << (hi - lo + 1)) - 1) << lo
            if m & ~free:
                break
            candidates.append((hi, lo))
    # Narrow fields first: the register fields are 4 or 5 bits, immediates up to 8.
    candidates.sort(key=lambda f: (f[0] - f[1] != 4, f[0] - f[1], f[1]))
    for hi, lo in candidates:
        vals = [field(w, hi, lo) for w in words]
        if vals == values:
            return "{%d:%d}" % (hi, lo)
    for k in (1, 2, 3):
        for hi, lo in candidates:
            if hi - lo == 4 and [(field(w, hi, lo) + k) % 32 for w in words] == values:
                return "{%d:%d+%d}" % (hi, lo, k)
            if hi - lo < 4 and k == 1 and [field(w, hi, lo) + 1 for w in words] == values:
                return "{%d:%d+1}" % (hi, lo)
    # Shift amounts: C minus the field (right shifts), the field minus C (left).
    for c in (8, 16, 32, 64, 128):
        for hi, lo in candidates:
            if [c - field(w, hi, lo) for w in words] == values:
                return "{rs %d %d:%d}" % (c, hi, lo)
            if [field(w, hi, lo) - c for w in words] == values:
                return "{ls %d %d:%d}" % (c, hi, lo)
    for scale in (2, 3, 4, 8, 16):
        for hi, lo in candidates:
            if [field(w, hi, lo) * scale for w in words] == values:
                return "{%d:%d*%d}" % (hi, lo, scale)
    if signed_ok:
        for scale in (1, 2, 3, 4, 8, 16, 32):
            for hi, lo in candidates:
                width = hi - lo + 1
                if width < 2:
                    continue
                def sx(v):
                    return v - (1 << width) if v >> (width - 1) else v
                if [sx(field(w, hi, lo)) * scale for w in words] == values:
                    return "{%d:%d~%d}" % (hi, lo, scale)
    return None


def learn_template(free, samples):
    """samples: [(word, items)] of one skeleton."""
    words = [w for w, _ in samples]
    first = samples[0][1]
    out = []
    for idx, item in enumerate(first):
        if item[0] == "lit":
            out.append(item[1])
            continue
        if item[0] == "prf":
            f = find_field(free, words, [s[1][idx][1] for s in samples], signed_ok=False)
            out.append("{prf %s}" % f[1:-1] if f and ":" in f and "+" not in f and "*" not in f else "?")
            continue
        if item[0] == "pat":
            f = find_field(free, words, [s[1][idx][1] for s in samples], signed_ok=False)
            out.append("{pat %s}" % f[1:-1] if f and ":" in f and "+" not in f and "*" not in f else "?")
            continue
        if item[0] == "reg":
            values = [s[1][idx][2] for s in samples]
            f = find_field(free, words, values, signed_ok=False)
            specials = {s[1][idx][3] for s in samples if s[1][idx][3]}
            if f is None or "+" in f or "*" in f:
                out.append("?")
                continue
            if item[1] not in "xw":
                out.append("%s%s" % (item[1], f))
                continue
            special = specials.pop() if len(specials) == 1 else None
            if special is None:
                # Unseen: a base address register is SP, any other the zero register.
                before = "".join(i[1] for i in first[:idx] if i[0] == "lit")
                special = "s" if before.rstrip().endswith("[") else "z"
            out.append("{%s%s %s}" % (item[1], special, f[1:-1]))
            continue
        texts = [s[1][idx][1] for s in samples]
        if all(re.fullmatch(r"-?\d+", t) for t in texts):
            values = [int(t) for t in texts]
            f = find_field(free, words, values)
            if f is not None and not (len(set(texts)) == 1 and len(samples) < 3):
                out.append(f)
                continue
            out.append(texts[0] if len(set(texts)) == 1 else "?")
        else:
            choice = one_bit_choice(free, words, texts)
            out.append(choice if choice else texts[0] if len(set(texts)) == 1 else "?")
    return "".join(out)


def short_name(text):
    mnemonic, _, operands = text.partition(" ")
    if not operands:
        return mnemonic
    first = operands.split(",")[0].strip().strip("{}").strip()
    m = re.fullmatch(r"([zp])\d+(\.[bhsdq])?(/[mz])?", first)
    if m:
        return "%s %s%s" % (mnemonic, m.group(1), m.group(2) or "")
    m = re.fullmatch(r"([xwbhsdq])(\d+|zr|sp)", first)
    if m or first in ("sp", "wsp"):
        return "%s %s" % (mnemonic, (m.group(1) if m else first[0]))
    return mnemonic


def instruction_names(llvm_mc, entries, rng, samples=48):
    words, owners = [], []
    for i, (name, mask, value) in enumerate(entries):
        for _ in range(samples):
            words.append(value | (rng.getrandbits(32) & ~mask & 0xFFFFFFFF))
            owners.append(i)
    texts = disassemble(llvm_mc, PLAIN, words)
    per = collections.defaultdict(list)
    for w, o, t in zip(words, owners, texts):
        if t is not None:
            per[o].append((w, t))
    rows = []
    for i, (name, mask, value) in enumerate(entries):
        got = per.get(i, [])
        if not got:
            rows.append((name, name, name))
            continue
        groups = collections.defaultdict(list)
        for w, t in got:
            items = normalise(t)
            groups[skeleton(items)].append((w, items, t))
        best = max(groups.values(), key=len)
        template = learn_template(~mask & 0xFFFFFFFF, [(w, items) for w, items, _ in best])
        rows.append((name, short_name(best[0][2]), template))
    return rows


# --- Encoding classes ----------------------------------------------------------


def classify(llvm_mc, words):
    plain = disassemble(llvm_mc, PLAIN, words)
    ext = disassemble(llvm_mc, EXTENSIONS, words)
    sve2 = disassemble(llvm_mc, SVE2, words)
    out = []
    for p, e, s in zip(plain, ext, sve2):
        if p is not None:
            out.append(None)  # plain SVE: the dispatch tables hold it
        elif e is not None:
            out.append("SVE_EXTENSION")
        elif s is not None:
            out.append("SVE2")
        else:
            out.append("RESERVED")
    return out


def encoding_key(word):
    """Bits 31:29 and 24:10 of an SVE-space word: everything but the fixed
    28:25 and the two register fields 9:5 and 4:0."""
    return (word >> 29) << 15 | (word >> 10) & 0x7FFF


def encoding_classes(llvm_mc, rng, fillings=3):
    """Every key, each with a few random fillings of bits 9:0, classified by
    llvm-mc; a key is SVE2 (or an extension) when any filling is. Returns
    ranges of consecutive keys of one class."""
    keys = 1 << 18
    label = {}
    chunk = 1 << 14
    for start in range(0, keys, chunk):
        words = []
        for key in range(start, start + chunk):
            base = (key >> 15) << 29 | 0b0010 << 25 | (key & 0x7FFF) << 10
            for _ in range(fillings):
                words.append(base | rng.getrandbits(10))
        classes = classify(llvm_mc, words)
        for i, key in enumerate(range(start, start + chunk)):
            got = set(classes[i * fillings:(i + 1) * fillings]) - {None, "RESERVED"}
            if "SVE2" in got:
                label[key] = "SVE2"
            elif got:
                label[key] = "SVE_EXTENSION"
        print("  encoding classes: %d of %d keys" % (start + chunk, keys), file=sys.stderr)
    ranges = []
    for key in sorted(label):
        if ranges and ranges[-1][1] == key - 1 and ranges[-1][2] == label[key]:
            ranges[-1][1] = key
        else:
            ranges.append([key, key, label[key]])
    return ranges


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--llvm-mc", default="llvm-mc-14")
    ap.add_argument("--out-dir", default=os.path.join(ROOT, "sve/support"))
    ap.add_argument("--seed", type=int, default=2048)
    ap.add_argument("--names-only", action="store_true", help="leave encoding_classes.def alone")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    entries = read_tables()
    rows = instruction_names(args.llvm_mc, entries, rng)
    with open(os.path.join(args.out_dir, "instruction_names.def"), "w") as f:
        f.write("// Generated by tools/gen_instruction_names.py: one line per dispatch entry, in\n"
                "// the entries' order. SVE_INSTRUCTION_NAME(handler, short name, template)\n")
        for name, short, template in rows:
            f.write('SVE_INSTRUCTION_NAME(%s, "%s", "%s")\n' % (name, short, template))
    if args.names_only:
        return
    classes = encoding_classes(args.llvm_mc, rng)
    with open(os.path.join(args.out_dir, "encoding_classes.def"), "w") as f:
        f.write("// Generated by tools/gen_instruction_names.py: SVE-space words that no dispatch\n"
                "// table holds, by their key (bits 31:29 and 24:10; see encoding_key), in\n"
                "// ascending ranges. SVE_ENCODING_RANGE(first key, last key, class)\n")
        for lo, hi, c in classes:
            f.write("SVE_ENCODING_RANGE(0x%05X, 0x%05X, %s)\n" % (lo, hi, c))
    print("%d names, %d unresolved operands; %d encoding-class lines" %
          (len(rows), sum(r[2].count("?") for r in rows), len(classes)))


if __name__ == "__main__":
    main()
