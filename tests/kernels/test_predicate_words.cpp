// The word-at-a-time predicate and compare kernels against element-by-element
// models: loop predicates at the wrap and saturation edges of both register
// widths, PTEST's first and last elements, logic and SEL under merging and
// zeroing, PNEXT, PTRUE patterns, CNTP and compare results (under governing
// predicates that are windows too, as at a loop's end), and the wide compares
// at the edges of the element ranges.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "sve/kernels/compare_kernels.h"
#include "sve/kernels/compare_lanes.h"
#include "sve/kernels/predicate_kernels.h"
#include "tests/common/test_state.h"

namespace {

constexpr uint32_t kQuals[] = {kQualB, kQualH, kQualS, kQualD};
constexpr unsigned esize(uint32_t qual) { return 1u << qual; }

uint32_t nzcv(const cpu_state *s) { return static_cast<uint32_t>(s->nzcv >> 28) & 0xF; }

// N: first active element of G true in R; Z: none true; C: last one not true.
uint32_t model_flags(const unsigned char *g, const unsigned char *r, unsigned e) {
    int first = -1, last = -1;
    bool any = false;
    for (unsigned i = 0; i < kVecBytes / e; ++i) {
        if (!(g[i * e] & 1)) continue;
        if (first < 0) first = static_cast<int>(i);
        last = static_cast<int>(i);
        any = any || (r[i * e] & 1);
    }
    const bool n = first >= 0 && (r[first * e] & 1), c = last < 0 || !(r[last * e] & 1);
    return uint32_t(n) << 3 | uint32_t(!any) << 2 | uint32_t(c) << 1;
}

// Predicate bytes 0 or 1; `elements_only` leaves the bytes after each element's first 0.
void random_pred(std::mt19937_64 &rng, unsigned char *p, unsigned e, unsigned percent, bool elements_only) {
    for (unsigned j = 0; j < kVecBytes; ++j)
        p[j] = (!elements_only || j % e == 0) && rng() % 100 < percent;
}

std::vector<unsigned char> bytes(const unsigned char *p) { return {p, p + kVecBytes}; }

// Bytes [from, to) set, the others clear, for a random window: a loop's last
// predicate (a prefix), a suffix, or a stretch in the middle, with either end
// anywhere, in or between the 64-byte pieces.
void window_pred(std::mt19937_64 &rng, unsigned char *p) {
    unsigned from = static_cast<unsigned>(rng() % (kVecBytes + 1)), to = static_cast<unsigned>(rng() % (kVecBytes + 1));
    if (from > to) std::swap(from, to);
    if (rng() % 3 == 0) from = 0;
    for (unsigned j = 0; j < kVecBytes; ++j) p[j] = j >= from && j < to;
}

enum class loop_kind { lt, lo, ls };

// Element i true while the condition holds for Rn + i (wrapping at the width)
// and every earlier element.
std::vector<unsigned char> model_loop(loop_kind k, uint64_t n0, uint64_t m0, bool x, unsigned e) {
    const uint64_t mask = x ? ~uint64_t{0} : 0xFFFFFFFFu;
    auto sx = [x](uint64_t v) { return x ? static_cast<int64_t>(v) : static_cast<int64_t>(static_cast<int32_t>(v)); };
    uint64_t c = n0 & mask;
    const uint64_t l = m0 & mask;
    std::vector<unsigned char> r(kVecBytes, 0);
    bool last = true;
    for (unsigned i = 0; i < kVecBytes / e; ++i) {
        const bool cond = k == loop_kind::lt ? sx(c) < sx(l) : k == loop_kind::lo ? c < l : c <= l;
        last = last && cond;
        r[i * e] = last;
        c = (c + 1) & mask;
    }
    return r;
}

TEST(PredicateWords, LoopPredicatesAtTheWrapAndSaturationEdges) {
    const uint64_t edges[] = {0, 1, 3, 31, 32, 33, 255, 256, 0x7FFFFFE0, 0x7FFFFFFE, 0x7FFFFFFF, 0x80000000,
                              0x80000001, 0xFFFFFFE0, 0xFFFFFFFE, 0xFFFFFFFF, 0x100000000, 0x7FFFFFFFFFFFFFF0,
                              0x7FFFFFFFFFFFFFFF, 0x8000000000000000, 0xFFFFFFFFFFFFFFF0, 0xFFFFFFFFFFFFFFFF};
    const int deltas[] = {0, 1, 2, 3, 4, 7, 31, 32, 33, 63, 64, 255, 256, 257};
    auto s = new_state();
    auto check = [&](loop_kind k, uint64_t n0, uint64_t m0) {
        for (bool x : {false, true})
            for (uint32_t q : kQuals) {
                s->x[1] = n0;
                s->x[2] = m0;
                std::memset(s->p[5], 1, kVecBytes);
                s->nzcv = 0x50000000;
                const aarch64_p_reg pd = make_preg(5, q);
                const aarch64_i_reg rn = make_ireg(1, x ? kQualX : kQualW), rm = make_ireg(2, x ? kQualX : kQualW);
                (k == loop_kind::lt ? sve_whilelt_prr : k == loop_kind::lo ? sve_whilelo_prr : sve_whilels_prr)(s.get(), pd, rn, rm);
                const auto want = model_loop(k, n0, m0, x, esize(q));
                ASSERT_EQ(bytes(s->p[5]), want) << int(k) << " x=" << x << " q=" << q << " n=" << n0 << " m=" << m0;
                unsigned char all[kVecBytes];
                std::memset(all, 1, kVecBytes);
                ASSERT_EQ(nzcv(s.get()), model_flags(all, want.data(), esize(q)))
                    << int(k) << " x=" << x << " q=" << q << " n=" << n0 << " m=" << m0;
            }
    };
    for (loop_kind k : {loop_kind::lt, loop_kind::lo, loop_kind::ls})
        for (uint64_t a : edges) {
            for (uint64_t b : edges) check(k, a, b);
            for (int d : deltas) {
                check(k, a - d, a);  // the limit d above the counter, wrapping included
                check(k, a, a - d);
                check(k, 0xABCD000000000000u | ((a - d) & 0xFFFFFFFFu), a & 0xFFFFFFFFu);  // W forms ignore bits 63..32
            }
        }
}

TEST(PredicateWords, PtestTakesFirstAndLastElementsAndIgnoresOtherBytes) {
    std::mt19937_64 rng(7);
    auto s = new_state();
    for (int iter = 0; iter < 400; ++iter)
        for (uint32_t q : kQuals) {
            const unsigned e = esize(q);
            // Sparse governing predicates put the first and last active elements anywhere,
            // empty ones included; bytes inside elements are set too and must not count.
            random_pred(rng, s->p[1], 1, iter % 4 == 0 ? 1 : iter % 4 == 1 ? 3 : 40, false);
            random_pred(rng, s->p[2], 1, 50, false);
            sve_ptest(s.get(), s->p[1], s->p[2], e);
            ASSERT_EQ(nzcv(s.get()), model_flags(s->p[1], s->p[2], e)) << "q=" << q << " iter=" << iter;
            if (q == kQualB) {
                sve_ptest_pp(s.get(), make_preg(1, kQualZeroing), make_preg(2, kQualB));
                ASSERT_EQ(nzcv(s.get()), model_flags(s->p[1], s->p[2], 1));
            }
        }
    // An all-true G: R's only true byte anywhere, in any 64-byte piece, or none.
    std::memset(s->p[1], 1, kVecBytes);
    for (uint32_t q : kQuals)
        for (int at : {-1, 0, 1, 63, 64, 127, 128, 200, 248, 255}) {
            std::memset(s->p[2], 0, kVecBytes);
            if (at >= 0) s->p[2][at] = 1;
            sve_ptest(s.get(), s->p[1], s->p[2], esize(q));
            ASSERT_EQ(nzcv(s.get()), model_flags(s->p[1], s->p[2], esize(q))) << "q=" << q << " at=" << at;
        }
    // Only the very last element active, in both.
    std::memset(s->p[1], 0, kVecBytes);
    std::memset(s->p[2], 0, kVecBytes);
    s->p[1][kVecBytes - 8] = s->p[2][kVecBytes - 8] = 1;
    sve_ptest(s.get(), s->p[1], s->p[2], 8);
    EXPECT_EQ(nzcv(s.get()), 0x8u);  // N, not Z, not C
}

TEST(PredicateWords, LogicAndSelMergeOrZeroInactiveBytes) {
    using kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_p_reg, aarch64_p_reg, aarch64_p_reg, aarch64_p_reg);
    struct op_case {
        kernel k;
        bool (*f)(bool, bool);
    };
    const op_case ops[] = {
        {sve_and_pppp, [](bool a, bool b) { return a && b; }}, {sve_orr_pppp, [](bool a, bool b) { return a || b; }},
        {sve_eor_pppp, [](bool a, bool b) { return a != b; }}, {sve_bic_pppp, [](bool a, bool b) { return a && !b; }},
        {sve_nor_pppp, [](bool a, bool b) { return !(a || b); }},
    };
    std::mt19937_64 rng(11);
    auto s = new_state();
    for (int iter = 0; iter < 40; ++iter)
        for (const op_case &op : ops)
            for (uint32_t gq : {kQualZeroing, kQualB}) {
                for (unsigned p = 1; p <= 4; ++p) random_pred(rng, s->p[p], 1, 50, false);
                const unsigned d = iter % 3 == 0 ? 2 : 4;  // sometimes the destination is Pn
                unsigned char g[kVecBytes], a[kVecBytes], b[kVecBytes], old[kVecBytes];
                std::memcpy(g, s->p[1], kVecBytes);
                std::memcpy(a, s->p[2], kVecBytes);
                std::memcpy(b, s->p[3], kVecBytes);
                std::memcpy(old, s->p[d], kVecBytes);
                std::vector<unsigned char> want(kVecBytes);
                for (unsigned j = 0; j < kVecBytes; ++j)
                    want[j] = g[j] ? op.f(a[j], b[j]) : gq == kQualZeroing ? 0 : old[j];
                op.k(s.get(), make_preg(d, kQualB), make_preg(1, gq), make_preg(2, kQualB), make_preg(3, kQualB));
                ASSERT_EQ(bytes(s->p[d]), want) << "iter=" << iter << " gq=" << gq;
                if (gq != kQualB) continue;
                for (unsigned j = 0; j < kVecBytes; ++j) want[j] = g[j] ? a[j] : b[j];
                std::memcpy(s->p[2], a, kVecBytes);
                sve_sel_pppp(s.get(), make_preg(6, kQualB), make_preg(1, kQualB), make_preg(2, kQualB), make_preg(3, kQualB));
                ASSERT_EQ(bytes(s->p[6]), want) << "iter=" << iter;
            }
}

// BRKA/BRKB at every kind of break position (none, each end of a 16- and a
// 64-byte piece, the last byte), with Pg all true or random and with stray
// bits above bit 0, zeroing and merging, into a third register, into Pg and
// into Pn.
TEST(PredicateWords, BreaksAtEveryPieceEdgeAndIntoTheirSources) {
    std::mt19937_64 rng(23);
    auto s = new_state();
    const int positions[] = {-1, 0, 1, 15, 16, 63, 64, 65, 127, 128, 191, 200, 255};
    for (int at : positions)
        for (bool all_true_g : {true, false})
            for (bool after : {false, true})
                for (uint32_t gq : {kQualZeroing, kQualB})
                    for (unsigned d : {3u, 1u, 2u}) {
                        unsigned char g[kVecBytes], a[kVecBytes], old[kVecBytes];
                        for (unsigned j = 0; j < kVecBytes; ++j) {
                            g[j] = static_cast<unsigned char>((all_true_g || rng() % 3 != 0) | (rng() % 4 == 0 ? 0x80 : 0));
                            // Pn true only from the break on, active or not there.
                            a[j] = static_cast<unsigned char>((at >= 0 && j >= unsigned(at) && rng() % 2) | (rng() % 4 == 0 ? 0x40 : 0));
                            old[j] = static_cast<unsigned char>(rng() % 2);
                        }
                        if (at >= 0) {
                            g[at] |= 1;
                            a[at] |= 1;
                        }
                        std::memcpy(s->p[1], g, kVecBytes);
                        std::memcpy(s->p[2], a, kVecBytes);
                        if (d == 3) std::memcpy(s->p[3], old, kVecBytes);
                        const unsigned char *before = d == 1 ? g : d == 2 ? a : old;
                        std::vector<unsigned char> want(kVecBytes);
                        bool broken = false;
                        for (unsigned j = 0; j < kVecBytes; ++j) {
                            if (!(g[j] & 1)) {
                                want[j] = gq == kQualZeroing ? 0 : before[j] & 1;
                                continue;
                            }
                            if (!after) broken = broken || (a[j] & 1);
                            want[j] = !broken;
                            if (after) broken = broken || (a[j] & 1);
                        }
                        (after ? sve_brka_ppp : sve_brkb_ppp)(s.get(), make_preg(d, kQualB), make_preg(1, gq),
                                                              make_preg(2, kQualB));
                        ASSERT_EQ(bytes(s->p[d]), want)
                            << "break at " << at << (all_true_g ? ", Pg all true" : ", Pg random")
                            << (after ? ", BRKA" : ", BRKB") << (gq == kQualZeroing ? ", zeroing" : ", merging") << ", Pd=P" << d;
                    }
}

TEST(PredicateWords, PnextFindsTheNextActiveElement) {
    std::mt19937_64 rng(13);
    auto s = new_state();
    for (int iter = 0; iter < 300; ++iter)
        for (uint32_t q : kQuals) {
            const unsigned e = esize(q), n = kVecBytes / e;
            random_pred(rng, s->p[1], e, iter % 3 == 0 ? 2 : 20, false);  // Pg, with bytes inside elements
            std::memset(s->p[2], 0, kVecBytes);
            if (iter % 5) s->p[2][(rng() % n) * e] = 1;  // Pdn: one element or none
            unsigned next = 0;
            for (unsigned i = n; i-- > 0;)
                if (s->p[2][i * e] & 1) {
                    next = i + 1;
                    break;
                }
            while (next < n && !(s->p[1][next * e] & 1)) ++next;
            std::vector<unsigned char> want(kVecBytes, 0);
            if (next < n) want[next * e] = 1;
            const uint32_t flags = model_flags(s->p[1], want.data(), e);
            sve_pnext_pp(s.get(), make_preg(2, q), make_preg(1, q));
            ASSERT_EQ(bytes(s->p[2]), want) << "q=" << q << " iter=" << iter;
            ASSERT_EQ(nzcv(s.get()), flags);
        }
}

TEST(PredicateWords, PtrueEveryPatternAndCntp) {
    auto s = new_state();
    for (uint32_t q : kQuals)
        for (int pattern = 0; pattern < 32; ++pattern) {
            const unsigned e = esize(q), count = pattern_element_count(static_cast<unsigned>(pattern), e);
            std::memset(s->p[7], 1, kVecBytes);
            sve_ptrue_pi(s.get(), make_preg(7, q), pattern);
            std::vector<unsigned char> want(kVecBytes, 0);
            for (unsigned i = 0; i < count; ++i) want[i * e] = 1;
            ASSERT_EQ(bytes(s->p[7]), want) << "q=" << q << " pattern=" << pattern;
        }
    std::mt19937_64 rng(17);
    for (int iter = 0; iter < 50; ++iter)
        for (uint32_t q : kQuals) {
            const unsigned e = esize(q);
            random_pred(rng, s->p[1], 1, 60, false);
            random_pred(rng, s->p[2], 1, 60, false);
            uint64_t want = 0;
            for (unsigned i = 0; i < kVecBytes / e; ++i) want += s->p[1][i * e] & s->p[2][i * e];
            sve_cntp_rpp(s.get(), make_ireg(3), make_preg(1, kQualB), make_preg(2, q));
            ASSERT_EQ(s->x[3], want);
        }
    // Every element, up to 256 of them: more than a byte counts.
    std::memset(s->p[1], 1, kVecBytes);
    std::memset(s->p[2], 1, kVecBytes);
    for (uint32_t q : kQuals) {
        sve_cntp_rpp(s.get(), make_ireg(3), make_preg(1, kQualB), make_preg(2, q));
        ASSERT_EQ(s->x[3], kVecBytes / esize(q)) << "q=" << q;
    }
}

TEST(PredicateWords, ComparesWriteWholeElementsUnderPg) {
    std::mt19937_64 rng(19);
    auto s = new_state();
    for (int iter = 0; iter < 60; ++iter)
        for (uint32_t q : kQuals) {
            const unsigned e = esize(q), n = kVecBytes / e;
            // Bytes inside elements set too; every fourth a window, as at a loop's end.
            if (iter % 4 == 1)
                window_pred(rng, s->p[1]);
            else
                random_pred(rng, s->p[1], 1, iter % 4 == 0 ? 2 : 60, false);
            for (unsigned j = 0; j < kVecBytes; ++j) {
                s->z[1][j] = static_cast<unsigned char>(rng() % 3 == 0 ? 0xFF : rng());
                s->z[2][j] = rng() % 2 ? s->z[1][j] : static_cast<unsigned char>(rng());
            }
            auto elem = [&](unsigned r, unsigned i) {
                uint64_t v = 0;
                std::memcpy(&v, &s->z[r][i * e], e);
                return v;
            };
            auto sgn = [&](uint64_t v) { return e == 8 ? static_cast<int64_t>(v) : static_cast<int64_t>(v << (64 - 8 * e)) >> (64 - 8 * e); };
            const uint64_t emask = e == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * e)) - 1;
            auto run = [&](auto kernel, auto cond, const char *what) {
                std::memset(s->p[3], 1, kVecBytes);
                std::vector<unsigned char> want(kVecBytes, 0);
                for (unsigned i = 0; i < n; ++i) want[i * e] = (s->p[1][i * e] & 1) && cond(i);
                const uint32_t flags = model_flags(s->p[1], want.data(), e);
                kernel();
                ASSERT_EQ(bytes(s->p[3]), want) << what << " q=" << q << " iter=" << iter;
                ASSERT_EQ(nzcv(s.get()), flags) << what << " q=" << q << " iter=" << iter;
            };
            const aarch64_p_reg pd = make_preg(3, q), pg = make_preg(1, kQualZeroing);
            run([&] { sve_cmpeq_ppzz(s.get(), pd, pg, make_zreg(1, q), make_zreg(2, q)); },
                [&](unsigned i) { return elem(1, i) == elem(2, i); }, "cmpeq");
            run([&] { sve_cmpgt_ppzz(s.get(), pd, pg, make_zreg(1, q), make_zreg(2, q)); },
                [&](unsigned i) { return sgn(elem(1, i)) > sgn(elem(2, i)); }, "cmpgt");
            run([&] { sve_cmphi_ppzz(s.get(), pd, pg, make_zreg(1, q), make_zreg(2, q)); },
                [&](unsigned i) { return elem(1, i) > elem(2, i); }, "cmphi");
            run([&] { sve_cmplt_ppzi(s.get(), pd, pg, make_zreg(1, q), -1); },
                [&](unsigned i) { return sgn(elem(1, i)) < -1; }, "cmplt #-1");
            run([&] { sve_cmpeq_ppzi(s.get(), pd, pg, make_zreg(1, q), -1); },
                [&](unsigned i) { return elem(1, i) == emask; }, "cmpeq #-1");
            run([&] { sve_cmplo_ppzi(s.get(), pd, pg, make_zreg(1, q), 100u); },
                [&](unsigned i) { return elem(1, i) < 100; }, "cmplo #100");
        }
}

// Every condition, at every element size, with Pd the governing predicate
// itself: the result is computed from Pg as it was, and the flags test it.
TEST(PredicateWords, ComparesIntoTheirGoverningPredicate) {
    std::mt19937_64 rng(23);
    auto s = new_state();
    for (int iter = 0; iter < 40; ++iter)
        for (uint32_t q : kQuals) {
            const unsigned e = esize(q), n = kVecBytes / e;
            for (unsigned j = 0; j < kVecBytes; ++j) {
                s->z[1][j] = static_cast<unsigned char>(rng() % 3 == 0 ? 0x80 : rng());
                s->z[2][j] = rng() % 2 ? s->z[1][j] : static_cast<unsigned char>(rng());
            }
            auto elem = [&](unsigned r, unsigned i) {
                uint64_t v = 0;
                std::memcpy(&v, &s->z[r][i * e], e);
                return v;
            };
            auto sgn = [&](uint64_t v) { return e == 8 ? static_cast<int64_t>(v) : static_cast<int64_t>(v << (64 - 8 * e)) >> (64 - 8 * e); };
            const uint64_t emask = e == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * e)) - 1;
            auto run = [&](auto kernel, auto cond, const char *what) {
                // Empty, full, one element at either end, a window, or random with bytes inside
                // elements set.
                const unsigned shape = static_cast<unsigned>(rng() % 7);
                if (shape == 6) window_pred(rng, s->p[5]);
                for (unsigned j = 0; j < kVecBytes && shape != 6; ++j)
                    s->p[5][j] = shape == 0   ? 0
                                 : shape == 1 ? 1
                                 : shape == 2 ? j == 0
                                 : shape == 3 ? j == kVecBytes - e
                                              : rng() % 3 != 0;
                std::vector<unsigned char> want(kVecBytes, 0);
                for (unsigned i = 0; i < n; ++i) want[i * e] = (s->p[5][i * e] & 1) && cond(i);
                const uint32_t flags = model_flags(s->p[5], want.data(), e);
                kernel();
                ASSERT_EQ(bytes(s->p[5]), want) << what << " q=" << q << " iter=" << iter << " shape=" << shape;
                ASSERT_EQ(nzcv(s.get()), flags) << what << " q=" << q << " iter=" << iter << " shape=" << shape;
            };
            const aarch64_p_reg pd = make_preg(5, q), pg = make_preg(5, kQualZeroing);
            const aarch64_z_reg zn = make_zreg(1, q), zm = make_zreg(2, q);
            run([&] { sve_cmpne_ppzz(s.get(), pd, pg, zn, zm); }, [&](unsigned i) { return elem(1, i) != elem(2, i); }, "cmpne");
            run([&] { sve_cmpge_ppzz(s.get(), pd, pg, zn, zm); }, [&](unsigned i) { return sgn(elem(1, i)) >= sgn(elem(2, i)); }, "cmpge");
            run([&] { sve_cmphs_ppzz(s.get(), pd, pg, zn, zm); }, [&](unsigned i) { return elem(1, i) >= elem(2, i); }, "cmphs");
            run([&] { sve_cmpeq_ppzz(s.get(), pd, pg, zn, zm); }, [&](unsigned i) { return elem(1, i) == elem(2, i); }, "cmpeq");
            run([&] { sve_cmpgt_ppzi(s.get(), pd, pg, zn, -16); }, [&](unsigned i) { return sgn(elem(1, i)) > -16; }, "cmpgt #-16");
            run([&] { sve_cmple_ppzi(s.get(), pd, pg, zn, 15); }, [&](unsigned i) { return sgn(elem(1, i)) <= 15; }, "cmple #15");
            run([&] { sve_cmpne_ppzi(s.get(), pd, pg, zn, -16); }, [&](unsigned i) { return elem(1, i) != (emask & ~uint64_t{15}); }, "cmpne #-16");
            run([&] { sve_cmphi_ppzi(s.get(), pd, pg, zn, 127u); }, [&](unsigned i) { return elem(1, i) > 127; }, "cmphi #127");
        }
}

}  // namespace

// The wide compares against every condition at the edges of each element
// range: a 64-bit operand just inside, at and just outside the element's
// signed and unsigned limits, against elements at those limits too. The
// model compares the sign- or zero-extended element with the operand.
template <typename T, int_cond C>
void check_wide(cpu_state *s, std::mt19937_64 &rng, const std::vector<uint64_t> &operands) {
    constexpr unsigned e = sizeof(T), n = kVecBytes / e;
    constexpr bool kUnsigned = C == int_cond::hs || C == int_cond::hi || C == int_cond::lo || C == int_cond::ls;
    const T edges[] = {0, 1, T(~T(0)), T(T(~T(0)) >> 1), T(T(T(~T(0)) >> 1) + 1), T(T(~T(0)) - 1)};
    for (unsigned i = 0; i < n; ++i) {
        const T v = rng() % 2 ? edges[rng() % 6] : static_cast<T>(rng());
        std::memcpy(&s->z[1][i * e], &v, e);
    }
    for (unsigned lane = 0; lane < kVecBytes / 8; ++lane) {
        const uint64_t y = operands[rng() % operands.size()];
        std::memcpy(&s->z[2][8 * lane], &y, 8);
    }
    random_pred(rng, s->p[1], e, 80, true);
    std::vector<unsigned char> want(kVecBytes, 0);
    for (unsigned i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, &s->z[1][i * e], e);
        uint64_t y;
        std::memcpy(&y, &s->z[2][(i * e) / 8 * 8], 8);
        const int64_t sv = static_cast<std::make_signed_t<T>>(v), sy = static_cast<int64_t>(y);
        const uint64_t uv = v;
        bool holds = false;
        switch (C) {
            case int_cond::eq: holds = kUnsigned ? uv == y : sv == sy; break;
            case int_cond::ne: holds = sv != sy; break;
            case int_cond::gt: holds = sv > sy; break;
            case int_cond::ge: holds = sv >= sy; break;
            case int_cond::lt: holds = sv < sy; break;
            case int_cond::le: holds = sv <= sy; break;
            case int_cond::hi: holds = uv > y; break;
            case int_cond::hs: holds = uv >= y; break;
            case int_cond::lo: holds = uv < y; break;
            case int_cond::ls: holds = uv <= y; break;
        }
        want[i * e] = (s->p[1][i * e] & 1) && holds;
    }
    const uint32_t flags = model_flags(s->p[1], want.data(), e);
    sve_compare_wide<T, C>(s, 3, 1, 1, 2);
    ASSERT_EQ(bytes(s->p[3]), want) << "size " << e << " cond " << static_cast<int>(C);
    ASSERT_EQ(nzcv(s), flags) << "size " << e << " cond " << static_cast<int>(C);
}

template <typename T>
void check_wide_all(cpu_state *s, std::mt19937_64 &rng) {
    using S = std::make_signed_t<T>;
    const int64_t smax = std::numeric_limits<S>::max(), smin = std::numeric_limits<S>::min();
    const uint64_t umax = std::numeric_limits<T>::max();
    std::vector<uint64_t> operands;
    for (int64_t d = -2; d <= 2; ++d) {
        operands.push_back(static_cast<uint64_t>(smax + d));
        operands.push_back(static_cast<uint64_t>(smin + d));
        operands.push_back(umax + static_cast<uint64_t>(d));
        operands.push_back(static_cast<uint64_t>(d));
    }
    operands.push_back(uint64_t{1} << 63);
    operands.push_back(~(uint64_t{1} << 63));
    check_wide<T, int_cond::eq>(s, rng, operands);
    check_wide<T, int_cond::ne>(s, rng, operands);
    check_wide<T, int_cond::gt>(s, rng, operands);
    check_wide<T, int_cond::ge>(s, rng, operands);
    check_wide<T, int_cond::lt>(s, rng, operands);
    check_wide<T, int_cond::le>(s, rng, operands);
    check_wide<T, int_cond::hi>(s, rng, operands);
    check_wide<T, int_cond::hs>(s, rng, operands);
    check_wide<T, int_cond::lo>(s, rng, operands);
    check_wide<T, int_cond::ls>(s, rng, operands);
}

TEST(PredicateWords, WideComparesAtTheElementRangeEdges) {
    std::mt19937_64 rng(29);
    auto s = new_state();
    for (int iter = 0; iter < 20; ++iter) {
        check_wide_all<uint8_t>(s.get(), rng);
        check_wide_all<uint16_t>(s.get(), rng);
        check_wide_all<uint32_t>(s.get(), rng);
        if (HasFatalFailure()) return;
    }
}
