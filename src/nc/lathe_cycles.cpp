#include "nc/lathe_cycles.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/number_format.h"
#include "core/rounding.h"
#include "nc/motion.h"

namespace vantrel::lathe::mrc {

namespace {

constexpr double kEps = 1e-6;        // geometric tolerance of levels and intervals
constexpr double kMonotony = 0.001;  // tolerance of the profile's monotony
constexpr double kMinMove = 1e-9;    // shorter moves are not emitted
constexpr double kTwoPi = 2 * std::numbers::pi;

// ---- messages ---------------------------------------------------------------------------------

const char* alarmMessage(int id) {
    switch (id) {
        case 1:
            return "P,Qの指定がありません";
        case 4:
            return "切込み量が0以下です";
        case 5:
            return "形状の最初のブロックが不正です";
        case 6:
            return "仕上げ形状が単調ではありません";
        case 7:
            return "形状プログラムに使用できない指令があります";
        case 8:
            return "サイクル開始点が形状の内側です";
        case 9:
            return "切削方向が決まりません";
        case 10:
            return "分割回数が1未満です";
        case 11:
            return "シフト量が0以下です";
        case 12:
            return "ねじ山の高さまたは切込み量が0以下です";
        case 13:
            return "仕上げ回数が0です";
        case 14:
            return "リードが0以下です";
        case 15:
            return "パス数が多すぎます";
        case 16:
            return "形状に移動がありません";
        default:
            return "サイクルを実行できません";
    }
}

// A block as the user finds it: its sequence number when it has one, else its line (1-based).
std::string blockName(int32_t line, int32_t n) {
    if (n >= 0) return std::string("N").append(std::to_string(n));
    return std::to_string(static_cast<int64_t>(line) + 1) + "行目";
}

CycleAlarm makeAlarm(int id, int32_t blockLine, int32_t profileLine = -1, int32_t profileN = -1) {
    CycleAlarm a;
    a.id = id;
    a.blockLine = blockLine;
    a.profileLine = profileLine;
    a.text = alarmMessage(id);
    if (profileLine >= 0) a.text += "(" + blockName(profileLine, profileN) + ")";
    return a;
}

CycleAlarm missingLabel(int id, int32_t label, int32_t blockLine) {
    CycleAlarm a;
    a.id = id;
    a.blockLine = blockLine;
    a.text = "シーケンス番号N" + std::to_string(label) + "がありません";
    return a;
}

void warn(std::vector<CycleWarning>& out, int id, int32_t line, std::string text) {
    out.push_back(CycleWarning{id, line, std::move(text)});
}

// ---- words ------------------------------------------------------------------------------------

int32_t sequenceNumber(const BlockWords& b) {
    const int i = b.find(kCodeN);
    return i < 0 ? -1 : RoundHalfAway(b.values[static_cast<std::size_t>(i)]);
}

// The words of one block, read by the cycle's own units.
struct Words {
    const BlockWords& b;
    bool has(WordCode c) const { return b.find(c) >= 0; }
    bool decimal(WordCode c) const {
        const int i = b.find(c);
        return i >= 0 && b.decimal[static_cast<std::size_t>(i)];
    }
    double scaled(WordCode c) const {
        const int i = b.find(c);
        return i < 0 ? 0.0 : b.values[static_cast<std::size_t>(i)];
    }
    // Millimetres by the thousandths rule (also micrometre words: P2000 is 2 mm).
    double mm(WordCode c) const { return writtenValue(c, scaled(c), decimal(c)); }
    // A count or a label as written: R3 and R3. both give 3, Q20 gives 20.
    double number(WordCode c) const { return decimal(c) ? mm(c) : mm(c) * 1000; }
    int32_t integer(WordCode c) const { return RoundHalfAway(number(c)); }
};

// W02: a distance written without a decimal point that is almost nothing (U2 is 0.002 mm).
void checkTinyWithoutPoint(const Words& w, WordCode c, int32_t line, std::vector<CycleWarning>& out) {
    if (!w.has(c) || w.decimal(c)) return;
    const double v = std::fabs(w.mm(c));
    if (v > 0 && v < 0.01) {
        std::string t;
        t += wordLetter(c);
        warn(out, 2, line,
             t + "が小数点なしのため" + FormatFloat("0.0####", v) + "mmです(小数点を付け忘れていませんか)");
    }
}

// W04: a micrometre word written with a decimal point is read as millimetres.
void checkMicrometreWord(const Words& w, WordCode c, int32_t line, std::vector<CycleWarning>& out) {
    if (w.has(c) && w.decimal(c)) {
        std::string t;
        t += wordLetter(c);
        warn(out, 4, line, t + "が小数点付きのためmmとして読みました");
    }
}

double signOf(double v) {
    return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0);
}

bool isForbiddenInProfile(double g) {
    if (g == 32 || g == 90 || g == 92 || g == 94) return true;
    for (int c = 70; c <= 76; ++c)
        if (g == c) return true;
    for (int c = 81; c <= 89; ++c)
        if (g == c) return true;
    // One-shot codes other than the dwell.
    static constexpr double kOneShot[] = {10, 11, 12, 13, 27, 28, 29, 30, 31, 50, 52, 53, 65};
    for (double c : kOneShot)
        if (g == c) return true;
    return false;
}

// ---- moves ------------------------------------------------------------------------------------

double dist(Pt a, Pt b) {
    return std::hypot(a.x - b.x, a.z - b.z);
}

// Appends moves, leaving out those too short to matter, and stops growing at the guard.
struct Emitter {
    std::vector<CycleMove>& out;
    Pt cur;
    double feed = 0;
    int32_t line = 0;
    bool overflow = false;

    void move(MoveKind kind, Pt to, Pt centre = {}) {
        if (dist(cur, to) < kMinMove) return;
        if (out.size() >= kMaxMoves) {
            overflow = true;
            return;
        }
        out.push_back(CycleMove{kind, to, feed, line, centre});
        cur = to;
    }
};

// ---- the roughing cycles' frame ---------------------------------------------------------------
//
// G71 and G72 run in coordinates (p, q) in which the infeed goes toward -p and every cut toward -q:
// G71 p = sigma*x, q = tau*z; G72 p = sigma*z, q = tau*x. Arc angles are measured as atan2(p, q).
struct Frame {
    bool facing = false;  // G72
    double sigma = 1, tau = 1;
    double p(Pt a) const { return facing ? sigma * a.z : sigma * a.x; }
    double q(Pt a) const { return facing ? tau * a.x : tau * a.z; }
    Pt back(double p, double q) const { return facing ? Pt{tau * q, sigma * p} : Pt{sigma * p, tau * q}; }
    // +1 when a counter-clockwise arc of the ZX plane stays counter-clockwise in (q, p).
    double orientation() const { return facing ? -sigma * tau : sigma * tau; }
};

struct Seg {
    bool arc = false;
    double p0 = 0, q0 = 0, p1 = 0, q1 = 0;
    double cp = 0, cq = 0, rad = 0, a0 = 0, sweep = 0;  // arcs: signed sweep in (q, p)
    ElementKind kind = ElementKind::Line;
    int32_t line = 0;
    int32_t n = -1;
    double pAt(double t) const {
        if (t >= 1) return p1;
        if (!arc) return p0 + (p1 - p0) * t;
        return cp + rad * std::sin(a0 + sweep * t);
    }
    double qAt(double t) const {
        if (t >= 1) return q1;
        if (!arc) return q0 + (q1 - q0) * t;
        return cq + rad * std::cos(a0 + sweep * t);
    }
    // Parameter of angle `phi` on the arc, or -1 when the arc does not pass it.
    double paramOfAngle(double phi) const {
        double off = sweep > 0 ? phi - a0 : a0 - phi;
        off = std::fmod(off, kTwoPi);
        if (off < 0) off += kTwoPi;
        const double t = off / std::fabs(sweep);
        return t <= 1 ? t : -1;
    }
};

Seg makeSeg(const Frame& f, const ProfileElement& e, double sx, double sz) {
    const Pt a{e.from.x + sx, e.from.z + sz}, b{e.to.x + sx, e.to.z + sz};
    Seg s;
    s.p0 = f.p(a), s.q0 = f.q(a), s.p1 = f.p(b), s.q1 = f.q(b);
    s.kind = e.kind;
    s.line = e.sourceLine;
    s.n = e.sourceN;
    if (e.kind == ElementKind::Line || !(e.radius > 0)) return s;
    const Pt c{e.centre.x + sx, e.centre.z + sz};
    s.arc = true;
    s.cp = f.p(c), s.cq = f.q(c), s.rad = e.radius;
    s.a0 = std::atan2(s.p0 - s.cp, s.q0 - s.cq);
    const double a1 = std::atan2(s.p1 - s.cp, s.q1 - s.cq);
    const double dir = (e.kind == ElementKind::ArcCCW ? 1.0 : -1.0) * f.orientation();
    const bool closed = std::hypot(s.p1 - s.p0, s.q1 - s.q0) < kMinMove;
    double sw = a1 - s.a0;
    if (dir > 0) {
        while (sw <= 0) sw += kTwoPi;
        if (sw > kTwoPi) sw -= kTwoPi;
        if (closed) sw = kTwoPi;
    } else {
        while (sw >= 0) sw -= kTwoPi;
        if (sw < -kTwoPi) sw += kTwoPi;
        if (closed) sw = -kTwoPi;
    }
    s.sweep = sw;
    return s;
}

struct Pos {
    int seg = 0;
    double t = 0;
};
bool posBefore(Pos a, Pos b) {
    return a.seg < b.seg || (a.seg == b.seg && a.t <= b.t + 1e-9);
}

// Points of a segment in path order where p or q may turn: its ends and an arc's extremes.
std::vector<double> turningParams(const Seg& s) {
    std::vector<double> ts{0.0};
    if (s.arc) {
        for (double phi : {0.0, std::numbers::pi / 2, std::numbers::pi, -std::numbers::pi / 2}) {
            const double t = s.paramOfAngle(phi);
            if (t > 0 && t < 1) ts.push_back(t);
        }
    }
    ts.push_back(1.0);
    std::sort(ts.begin(), ts.end());
    return ts;
}

// Where the segment crosses p == level (or q == level with `alongQ`), strictly inside.
void crossings(const Seg& s, double level, bool alongQ, std::vector<double>& ts) {
    if (!s.arc) {
        const double a = alongQ ? s.q0 : s.p0, b = alongQ ? s.q1 : s.p1;
        if ((a - level) * (b - level) < 0) ts.push_back((level - a) / (b - a));
        return;
    }
    const double c = alongQ ? s.cq : s.cp;
    const double v = (level - c) / s.rad;
    if (!(std::fabs(v) <= 1)) return;
    double phis[2];
    if (alongQ) {
        phis[0] = std::acos(v);
        phis[1] = -phis[0];
    } else {
        phis[0] = std::asin(v);
        phis[1] = std::numbers::pi - phis[0];
    }
    for (double phi : phis) {
        const double t = s.paramOfAngle(phi);
        if (t > 0 && t < 1) ts.push_back(t);
    }
}

struct Interval {
    int level = 0;
    Pos entry, exit;
    double qIn = 0, qOut = 0;
    int parent = -1;
    std::vector<int> children;
};

class Rougher {
  public:
    Rougher(const Profile& prof, Pt start, const RoughParams& prm, int32_t cycleLine)
        : prof(prof), prm(prm), cycleLine(cycleLine), startPt(start) {}

    std::variant<std::vector<CycleMove>, CycleAlarm> run() {
        const bool g72 = prm.depthAxis == Axis::Z;
        const bool typeII = prof.nsHasX && prof.nsHasZ;
        if (!(prm.depth > 0) || !std::isfinite(prm.depth)) return makeAlarm(4, cycleLine);
        // Type I needs the ns block to move along the depth axis.
        if (!typeII && (g72 ? !prof.nsHasZ : !prof.nsHasX))
            return makeAlarm(5, cycleLine, prof.nsLine, prof.nsN);
        f.facing = g72;
        return expand(typeII);
    }

  private:
    const Profile& prof;
    const RoughParams& prm;
    int32_t cycleLine;
    Pt startPt;
    Frame f;
    std::vector<Seg> segs;  // the shifted profile; segs[0] may be the stretch back to the start
    int firstReal = 0;      // index of the first segment of the profile itself
    double pA = 0, qA = 0, pS = 0, qS = 0;

    Pt pointAt(Pos a) const { return f.back(segs[a.seg].pAt(a.t), segs[a.seg].qAt(a.t)); }

    // The profile from `from` to `to` at feed (partial first and last segments).
    void follow(Emitter& em, Pos from, Pos to) const {
        em.move(MoveKind::Feed, pointAt(from));
        for (int i = from.seg; i <= to.seg && i < static_cast<int>(segs.size()); ++i) {
            const Seg& s = segs[static_cast<std::size_t>(i)];
            const double tb = i == to.seg ? to.t : 1.0;
            const Pt target = pointAt(Pos{i, tb});
            if (s.arc) {
                em.move(s.kind == ElementKind::ArcCW ? MoveKind::ArcCW : MoveKind::ArcCCW, target,
                        f.back(s.cp, s.cq));
            } else {
                em.move(MoveKind::Feed, target);
            }
        }
    }

    // The intervals of one level: maximal stretches of the profile, not behind the start, strictly
    // below the level.
    void intervalsAt(double level, int levelIndex, std::vector<Interval>& out) const {
        bool open = false;
        Interval cur;
        std::vector<double> ts;
        for (int i = 0; i < static_cast<int>(segs.size()); ++i) {
            const Seg& s = segs[static_cast<std::size_t>(i)];
            ts.assign({0.0, 1.0});
            crossings(s, level, false, ts);
            crossings(s, qA, true, ts);
            std::sort(ts.begin(), ts.end());
            for (std::size_t k = 0; k + 1 < ts.size(); ++k) {
                const double ta = ts[k], tb = ts[k + 1];
                if (tb - ta < 1e-12) continue;
                const double tm = 0.5 * (ta + tb);
                const bool below = s.pAt(tm) < level - kEps && s.qAt(tm) <= qA + kEps;
                if (below && !open) {
                    open = true;
                    cur = Interval{};
                    cur.level = levelIndex;
                    cur.entry = Pos{i, ta};
                    cur.qIn = std::min(qA, s.qAt(ta));
                } else if (!below && open) {
                    open = false;
                    cur.exit = Pos{i, ta};
                    cur.qOut = s.qAt(ta);
                    if (cur.qIn - cur.qOut > kEps) out.push_back(cur);
                }
            }
        }
        if (open) {
            cur.exit = Pos{static_cast<int>(segs.size()) - 1, 1.0};
            cur.qOut = segs.back().q1;
            if (cur.qIn - cur.qOut > kEps) out.push_back(cur);
        }
    }

    std::variant<std::vector<CycleMove>, CycleAlarm> expand(bool typeII) {
        const bool g72 = f.facing;
        const Pt A = startPt;
        const Pt first = prof.first, last = prof.last;
        const double depthMove = g72 ? first.z - A.z : first.x - A.x;
        const double cutMove = g72 ? last.x - first.x : last.z - first.z;
        if (std::fabs(depthMove) < kEps || std::fabs(cutMove) < kEps) return makeAlarm(9, cycleLine);
        f.sigma = -signOf(depthMove);
        f.tau = -signOf(cutMove);
        const double sx = prm.allowX, sz = prm.allowZ;
        const Pt S{first.x + sx, first.z + sz};
        pA = f.p(A), qA = f.q(A), pS = f.p(S), qS = f.q(S);

        // The stretch where the profile starts ahead of the start point counts as if its first point
        // continued back to the start.
        if (qS < qA - kMinMove) {
            Seg back;
            back.p0 = pS, back.q0 = qA, back.p1 = pS, back.q1 = qS;
            back.line = prof.nsLine;
            back.n = prof.nsN;
            segs.push_back(back);
            firstReal = 1;
        }
        for (const ProfileElement& e : prof.elements) segs.push_back(makeSeg(f, e, sx, sz));
        if (prof.elements.empty()) {
            // A one-block profile: the shape is its first point.
            Seg pt;
            pt.p0 = pt.p1 = pS, pt.q0 = pt.q1 = qS;
            pt.line = prof.nsLine;
            segs.push_back(pt);
        }

        // Monotony: q never increases (both types), p never decreases (type I).
        double qMin = qS, pMax = pS, pMin = pS;
        for (std::size_t i = static_cast<std::size_t>(firstReal); i < segs.size(); ++i) {
            const Seg& s = segs[i];
            for (double t : turningParams(s)) {
                const double p = s.pAt(t), q = s.qAt(t);
                if (q > qMin + kMonotony || (!typeII && p < pMax - kMonotony))
                    return makeAlarm(6, cycleLine, s.line, s.n);
                qMin = std::min(qMin, q);
                pMax = std::max(pMax, p);
                pMin = std::min(pMin, p);
            }
        }
        if (!(pA > pMin + kEps)) return makeAlarm(8, cycleLine);

        // Levels strictly above the deepest point; the semi-finishing pass takes the rest.
        const double span = (pA - pMin - kEps) / prm.depth;
        if (!(span <= kMaxPasses + 1)) return makeAlarm(15, cycleLine);
        int levels = static_cast<int>(std::ceil(span)) - 1;
        if (levels > kMaxPasses) return makeAlarm(15, cycleLine);
        if (levels < 0) levels = 0;

        // The levels are intersected with every piece of the profile: bound that work too.
        if (static_cast<double>(levels) * static_cast<double>(segs.size()) > 2e7)
            return makeAlarm(15, cycleLine);

        std::vector<Interval> all;
        std::vector<int> levelStart;  // first index in `all` of each level
        std::vector<int> roots;
        for (int k = 1; k <= levels; ++k) {
            const double L = pA - k * prm.depth;
            const int from = static_cast<int>(all.size());
            int scan = levelStart.empty() ? from : levelStart.back();
            levelStart.push_back(from);
            intervalsAt(L, k - 1, all);
            if (all.size() > kMaxMoves / 4) return makeAlarm(15, cycleLine);
            for (int j = from; j < static_cast<int>(all.size()); ++j) {
                Interval& iv = all[static_cast<std::size_t>(j)];
                if (k == 1) {
                    roots.push_back(j);
                    continue;
                }
                // The parent is the last interval of the level above that starts no later; both
                // lists are in path order, so one pointer walks the level above once.
                while (scan + 1 < from && posBefore(all[static_cast<std::size_t>(scan + 1)].entry, iv.entry))
                    ++scan;
                const int parent =
                    scan < from && posBefore(all[static_cast<std::size_t>(scan)].entry, iv.entry) ? scan : -1;
                iv.parent = parent;
                if (parent >= 0) {
                    all[static_cast<std::size_t>(parent)].children.push_back(j);
                } else {
                    roots.push_back(j);
                }
            }
        }

        // Depth first: parent, then its children nearest the start first.
        std::vector<int> order;
        order.reserve(all.size());
        std::vector<int> stack(roots.rbegin(), roots.rend());
        while (!stack.empty()) {
            const int j = stack.back();
            stack.pop_back();
            order.push_back(j);
            const auto& ch = all[static_cast<std::size_t>(j)].children;
            for (auto it = ch.rbegin(); it != ch.rend(); ++it) stack.push_back(*it);
        }

        std::vector<CycleMove> moves;
        Emitter em{moves, A, prm.feed, cycleLine};
        const MoveKind nsMode = prof.nsRapid ? MoveKind::Rapid : MoveKind::Feed;
        const double e = prm.retract;
        auto P = [&](double p, double q) { return f.back(p, q); };
        auto levelOf = [&](const Interval& iv) { return pA - (iv.level + 1) * prm.depth; };
        const Pos pathStart{firstReal < static_cast<int>(segs.size()) ? firstReal : 0, 0.0};
        const Pos pathEnd{static_cast<int>(segs.size()) - 1, 1.0};

        int prev = -1;
        for (int j : order) {
            const Interval& J = all[static_cast<std::size_t>(j)];
            const double L = levelOf(J);
            const bool atStart = std::fabs(J.qIn - qA) <= kEps;
            if (prev < 0) {
                if (atStart) {
                    em.move(nsMode, P(L, qA));
                } else {
                    em.move(nsMode, P(pS, qS));
                    follow(em, pathStart, J.entry);
                }
            } else if (J.parent == prev) {
                const Interval& I = all[static_cast<std::size_t>(prev)];
                const double LI = levelOf(I);
                // In a pocket narrower than the retract the 45-degree move would cut into the near
                // wall: it goes back at most to the pocket's entry and leaves the rest straight up.
                double t = e;
                if (std::fabs(I.qIn - qA) > kEps) t = std::min(e, I.qIn - I.qOut);
                em.move(MoveKind::Rapid, P(LI + t, I.qOut + t));
                em.move(MoveKind::Rapid, P(LI + e, I.qOut + t));
                em.move(MoveKind::Rapid, P(LI + e, J.qIn));
                em.move(atStart ? nsMode : MoveKind::Feed, P(L, J.qIn));
            } else {
                follow(em, all[static_cast<std::size_t>(prev)].exit, J.entry);
            }
            em.move(MoveKind::Feed, P(L, J.qOut));
            prev = j;
            if (em.overflow) return makeAlarm(15, cycleLine);
        }
        auto returnToStart = [&]() {
            em.move(MoveKind::Rapid, P(pA, f.q(em.cur)));
            em.move(MoveKind::Rapid, A);
        };
        if (prev >= 0) {
            const Interval& I = all[static_cast<std::size_t>(prev)];
            if (std::fabs(I.qIn - qA) <= kEps) {
                const double L = levelOf(I);
                em.move(MoveKind::Rapid, P(L + e, I.qOut + e));
                em.move(MoveKind::Rapid, P(L + e, qA));
            } else {
                follow(em, I.exit, pathEnd);
                returnToStart();
            }
        }
        if (prm.semiFinishingPass) {
            em.move(nsMode, P(pS, qS));
            follow(em, pathStart, pathEnd);
        }
        returnToStart();
        if (em.overflow) return makeAlarm(15, cycleLine);
        return moves;
    }
};

}  // namespace

// ---- profile ----------------------------------------------------------------------------------

std::variant<Profile, CycleAlarm> readProfile(const ProgramText& text, int32_t ns, int32_t nf,
                                              const ProfileContext& ctx, Pt start, int32_t cycleLine,
                                              std::vector<CycleWarning>& warnings) {
    Profile prof;
    ScanState st;
    st.startPass(0);
    BlockWords b;
    int32_t nsLine = -1, nfLine = -1;
    bool nsTwice = false, nfTwice = false;
    bool pending = false;  // a restriction alarm waits until both labels are known
    CycleAlarm pendingAlarm;
    bool tooMany = false;
    double div = ctx.diameterDivisor;
    if (!(std::fabs(div) > 0)) div = 1;
    int32_t motion = ctx.motion;
    Pt cur = start;
    double nsLength = 0;

    auto collect = [&](const BlockWords& blk, int32_t line, bool isNs) {
        if (pending) return;
        const Words w{blk};
        const int32_t n = sequenceNumber(blk);
        bool dwell = false;
        for (int i = 0; i < blk.count; ++i) {
            const double v = blk.values[static_cast<std::size_t>(i)];
            const WordCode c = blk.codes[static_cast<std::size_t>(i)];
            if (c == kCodeG) {
                if (v == 0 || v == 1 || v == 2 || v == 3) {
                    motion = static_cast<int32_t>(v);
                } else if (v == 4) {
                    dwell = true;
                } else if (isForbiddenInProfile(v)) {
                    pending = true;
                    pendingAlarm = makeAlarm(7, cycleLine, line, n);
                    return;
                }
            } else if (c == kCodeM && (v == 98 || v == 99)) {
                pending = true;
                pendingAlarm = makeAlarm(7, cycleLine, line, n);
                return;
            }
        }
        const bool hasX = !dwell && (w.has(kCodeX) || w.has(kCodeU));
        const bool hasZ = !dwell && (w.has(kCodeZ) || w.has(kCodeW));
        Pt to = cur;
        if (w.has(kCodeX)) to.x = w.mm(kCodeX) / div;
        if (w.has(kCodeU)) to.x = (w.has(kCodeX) ? to.x : cur.x) + w.mm(kCodeU) / div;
        if (w.has(kCodeZ)) to.z = w.mm(kCodeZ);
        if (w.has(kCodeW)) to.z = (w.has(kCodeZ) ? to.z : cur.z) + w.mm(kCodeW);
        if (dwell) to = cur;
        if (isNs) {
            if ((motion != 0 && motion != 1) || !(hasX || hasZ)) {
                pending = true;
                pendingAlarm = makeAlarm(5, cycleLine, line, n);
                return;
            }
            prof.nsRapid = motion == 0;
            prof.nsHasX = hasX;
            prof.nsHasZ = hasZ;
            prof.first = to;
            nsLength = dist(cur, to);
            cur = to;
            return;
        }
        const bool arcWords = !dwell && (w.has(kCodeI) || w.has(kCodeK) || w.has(kCodeR));
        if (!(hasX || hasZ) && !((motion == 2 || motion == 3) && arcWords)) return;
        ProfileElement e;
        e.from = cur;
        e.to = to;
        e.sourceLine = line;
        e.sourceN = n;
        if (motion == 2 || motion == 3) {
            e.kind = motion == 2 ? ElementKind::ArcCW : ElementKind::ArcCCW;
            if (w.has(kCodeR)) {
                const Vec3 c = ArcCentreFromRadius(kPlaneZX, motion, w.mm(kCodeR), Vec3{to.x, 0, to.z},
                                                   Vec3{cur.x, 0, cur.z});
                e.centre = Pt{c.x, c.z};
            } else {
                e.centre = Pt{cur.x + w.mm(kCodeI), cur.z + w.mm(kCodeK)};
            }
            e.radius = dist(to, e.centre);
            if (!(e.radius > kMinMove)) e.kind = ElementKind::Line;
        } else {
            e.rapid = motion == 0;
        }
        const bool closedArc = e.kind != ElementKind::Line;
        if (dist(e.from, e.to) < kMinMove && !closedArc) return;
        if (prof.elements.size() >= kMaxMoves) {
            tooMany = true;
            return;
        }
        prof.elements.push_back(e);
        cur = to;
    };

    for (int32_t line = 0; line < text.count(); ++line) {
        b.clear();
        ScanLine(text.lineText(line), line, st, b);
        if (b.count == 0) continue;
        const int32_t n = sequenceNumber(b);
        if (nsLine < 0) {
            if (n != ns) continue;
            nsLine = line;
            prof.nsN = n;
            collect(b, line, true);
            if (ns == nf) nfLine = line;
            continue;
        }
        if (n == ns) nsTwice = true;
        if (nfLine < 0) {
            collect(b, line, false);
            if (n == nf) nfLine = line;
        } else if (n == nf) {
            nfTwice = true;
        }
    }
    if (nsLine < 0) return missingLabel(2, ns, cycleLine);
    if (nfLine < 0) return missingLabel(3, nf, cycleLine);
    if (nsTwice)
        warn(warnings, 1, cycleLine,
             "シーケンス番号N" + std::to_string(ns) + "が複数あります(最初のものを使います)");
    if (nfTwice && nf != ns)
        warn(warnings, 1, cycleLine,
             "シーケンス番号N" + std::to_string(nf) + "が複数あります(最初のものを使います)");
    if (pending) return pendingAlarm;
    if (tooMany) return makeAlarm(15, cycleLine);
    if (prof.elements.empty() && nsLength < kMinMove) return makeAlarm(16, cycleLine, nsLine, prof.nsN);
    prof.last = cur;
    prof.nsLine = nsLine;
    prof.nfLine = nfLine;
    return prof;
}

// ---- expansions -------------------------------------------------------------------------------

std::variant<std::vector<CycleMove>, CycleAlarm> expandRough(const Profile& profile, Pt start,
                                                             const RoughParams& params, int32_t cycleLine) {
    return Rougher(profile, start, params, cycleLine).run();
}

namespace {

void emitShiftedProfile(Emitter& em, const Profile& prof, Pt A, double sx, double sz) {
    em.move(MoveKind::Rapid, Pt{A.x + sx, A.z + sz});
    em.move(prof.nsRapid ? MoveKind::Rapid : MoveKind::Feed, Pt{prof.first.x + sx, prof.first.z + sz});
    for (const ProfileElement& e : prof.elements) {
        const Pt to{e.to.x + sx, e.to.z + sz};
        switch (e.kind) {
            case ElementKind::Line:
                em.move(MoveKind::Feed, to);
                break;
            case ElementKind::ArcCW:
            case ElementKind::ArcCCW: {
                const MoveKind k = e.kind == ElementKind::ArcCW ? MoveKind::ArcCW : MoveKind::ArcCCW;
                const Pt c{e.centre.x + sx, e.centre.z + sz};
                if (dist(em.cur, to) < kMinMove) {
                    // A full circle ends where it starts: the move list keeps it as one arc.
                    if (em.out.size() >= kMaxMoves) {
                        em.overflow = true;
                        return;
                    }
                    em.out.push_back(CycleMove{k, to, em.feed, em.line, c});
                } else {
                    em.move(k, to, c);
                }
                break;
            }
        }
    }
}

}  // namespace

std::variant<std::vector<CycleMove>, CycleAlarm> expandPattern(const Profile& profile, Pt start,
                                                               const PatternParams& prm, int32_t cycleLine) {
    if (prm.count < 1) return makeAlarm(10, cycleLine);
    if (prm.count > kMaxPasses) return makeAlarm(15, cycleLine);
    if (static_cast<double>(prm.count) * static_cast<double>(profile.elements.size() + 2) >
        static_cast<double>(kMaxMoves))
        return makeAlarm(15, cycleLine);
    std::vector<CycleMove> moves;
    Emitter em{moves, start, prm.feed, cycleLine};
    const int d = prm.count;
    for (int j = 1; j <= d; ++j) {
        const double fj = d > 1 ? static_cast<double>(d - j) / (d - 1) : 0.0;
        emitShiftedProfile(em, profile, start, prm.allowX + prm.reliefX * fj, prm.allowZ + prm.reliefZ * fj);
    }
    em.move(MoveKind::Rapid, start);
    if (em.overflow) return makeAlarm(15, cycleLine);
    return moves;
}

std::vector<CycleMove> finishingMoves(const Profile& profile, Pt start, double feed, int32_t cycleLine) {
    std::vector<CycleMove> moves;
    Emitter em{moves, start, feed, cycleLine};
    emitShiftedProfile(em, profile, start, 0, 0);
    em.move(MoveKind::Rapid, start);
    return moves;
}

std::variant<std::vector<CycleMove>, CycleAlarm> expandGroove(Pt start, const GrooveParams& prm,
                                                              int32_t cycleLine) {
    // a: the peck axis, b: the shift axis.
    const bool g75 = prm.peckAxis == Axis::X;
    auto A = [&](Pt p) { return g75 ? p.x : p.z; };
    auto B = [&](Pt p) { return g75 ? p.z : p.x; };
    auto at = [&](double a, double b) { return g75 ? Pt{a, b} : Pt{b, a}; };
    const double a0 = A(start), b0 = B(start), a1 = A(prm.end), b1 = B(prm.end);
    const double da = std::fabs(a1 - a0), db = std::fabs(b1 - b0);
    const double sa = signOf(a1 - a0), sb = db > kEps ? signOf(b1 - b0) : 0.0;
    if (sb != 0 && !(prm.shift > 0)) return makeAlarm(11, cycleLine);
    const double plungesD = sb != 0 ? db / prm.shift : 0.0;
    const bool pecking = prm.peck > 0 && da > kEps;
    const double pecksD = pecking ? da / prm.peck : 1.0;
    // Grooves and pecks per groove each within the pass guard, and all pecks within ten times it.
    if (!(plungesD <= kMaxPasses) || !(pecksD <= kMaxPasses) ||
        (std::floor(plungesD) + 2) * (std::ceil(pecksD) + 1) > 10.0 * kMaxPasses)
        return makeAlarm(15, cycleLine);

    std::vector<double> plunges{b0};
    if (sb != 0) {
        for (int j = 1;; ++j) {
            const double off = j * prm.shift;
            if (off >= db - kEps) break;
            plunges.push_back(b0 + sb * off);
        }
        plunges.push_back(b1);
    }
    const double relief = sb != 0 ? -sb * std::fabs(prm.relief) : prm.relief;

    std::vector<CycleMove> moves;
    Emitter em{moves, start, prm.feed, cycleLine};
    for (std::size_t j = 0; j < plunges.size(); ++j) {
        const double b = plunges[j];
        em.move(MoveKind::Rapid, at(a0, b));
        if (pecking) {
            for (int n = 1;; ++n) {
                const double depth = n * prm.peck;
                if (depth >= da - kEps) break;
                em.move(MoveKind::Feed, at(a0 + sa * depth, b));
                em.move(MoveKind::Rapid, at(a0 + sa * (depth - prm.retract), b));
            }
        }
        em.move(MoveKind::Feed, at(a1, b));
        em.move(MoveKind::Rapid, at(a1, b + relief));
        em.move(MoveKind::Rapid, at(a0, b + relief));
    }
    em.move(MoveKind::Rapid, start);
    if (em.overflow) return makeAlarm(15, cycleLine);
    return moves;
}

std::variant<std::vector<CycleMove>, CycleAlarm> expandThread(Pt start, const ThreadParams& prm,
                                                              int32_t cycleLine,
                                                              std::vector<CycleWarning>& warnings) {
    if (!(prm.height > 0) || !(prm.firstDepth > 0)) return makeAlarm(12, cycleLine);
    if (prm.finishCount < 1) return makeAlarm(13, cycleLine);
    if (!(prm.lead > 0)) return makeAlarm(14, cycleLine);
    const double sx = signOf(prm.end.x - start.x);
    if (std::fabs(prm.end.x - start.x) < kEps) return makeAlarm(9, cycleLine);
    const double sz = signOf(prm.end.z - start.z);
    const double k = prm.height, d = prm.finishAllowance;

    std::vector<double> depths;
    const double rough = k - d;
    if (!(rough > 0)) {
        warn(warnings, 8, cycleLine, "仕上げ代がねじ山の高さ以上のため荒切削を行いません");
    } else {
        double prev = 0;
        for (int n = 1;; ++n) {
            if (n > kMaxPasses) return makeAlarm(15, cycleLine);
            double delta = prm.firstDepth;
            if (n > 1) {
                const double base = prm.constantDepth ? n * prm.firstDepth : prm.firstDepth * std::sqrt(n);
                delta = std::max(base, prev + prm.minDepth);
            }
            if (delta >= rough) {
                depths.push_back(rough);
                break;
            }
            depths.push_back(delta);
            prev = delta;
        }
    }
    if (depths.size() + static_cast<std::size_t>(prm.finishCount) > static_cast<std::size_t>(kMaxPasses))
        return makeAlarm(15, cycleLine);
    for (int i = 0; i < prm.finishCount; ++i) depths.push_back(k);

    const double cD = prm.end.x - sx * k;
    const double cC = cD + prm.taper;
    const double len = prm.end.z - start.z;
    const double c = prm.chamfer * prm.lead / 10;
    const double tanHalf = std::tan(prm.angle * std::numbers::pi / 360);
    auto lineX = [&](double delta, double z) {
        const double base = cC + sx * delta;
        if (std::fabs(len) < kEps) return cD + sx * delta;
        return base + (cD - cC) * (z - start.z) / len;
    };
    std::vector<CycleMove> moves;
    Emitter em{moves, start, prm.lead, cycleLine};
    for (double delta : depths) {
        const double zs = start.z + sz * delta * tanHalf;
        em.move(MoveKind::Rapid, Pt{lineX(delta, zs), zs});
        const double ze = prm.end.z - sz * c;
        em.move(MoveKind::Thread, Pt{lineX(delta, ze), ze});
        if (c > 0) em.move(MoveKind::Thread, Pt{lineX(delta, ze) - sx * c, prm.end.z});
        em.move(MoveKind::Rapid, Pt{start.x, prm.end.z});
        em.move(MoveKind::Rapid, start);
    }
    if (em.overflow) return makeAlarm(15, cycleLine);
    return moves;
}

// ---- the cycle block ----------------------------------------------------------------------------

int32_t cycleCode(const BlockWords& block) {
    for (int i = 0; i < block.count; ++i) {
        if (block.codes[static_cast<std::size_t>(i)] != kCodeG) continue;
        const double v = block.values[static_cast<std::size_t>(i)];
        for (int c = 70; c <= 76; ++c)
            if (v == c) return c;
    }
    return 0;
}

namespace {

// The line play continues at after a cycle whose profile follows it: the line after nf, with a
// warning when blocks between the cycle and the profile are passed over.
int32_t continuation(const ProgramText& text, const Profile& prof, int32_t cycleLine,
                     std::vector<CycleWarning>& warnings) {
    if (prof.nsLine <= cycleLine) return -1;
    ScanState st;
    st.startPass(0);
    BlockWords b;
    for (int32_t line = cycleLine + 1; line < prof.nsLine; ++line) {
        b.clear();
        ScanLine(text.lineText(line), line, st, b);
        if (b.count > 0) {
            warn(
                warnings, 6, cycleLine,
                "サイクルと形状の間のブロック(" + blockName(line, sequenceNumber(b)) + "から)は実行しません");
            break;
        }
    }
    return prof.nfLine + 1;
}

Pt cycleEnd(const Words& w, Pt start, double div) {
    Pt e = start;
    if (w.has(kCodeX)) e.x = w.mm(kCodeX) / div;
    if (w.has(kCodeU)) e.x = (w.has(kCodeX) ? e.x : start.x) + w.mm(kCodeU) / div;
    if (w.has(kCodeZ)) e.z = w.mm(kCodeZ);
    if (w.has(kCodeW)) e.z = (w.has(kCodeZ) ? e.z : start.z) + w.mm(kCodeW);
    return e;
}

}  // namespace

CycleResult runCycleBlock(const ProgramText& text, const BlockWords& block, Pt start, const CallState& call,
                          MrcModal& modal) {
    CycleResult res;
    const int32_t code = cycleCode(block);
    const int32_t line = block.line;
    const Words w{block};
    double div = call.diameterDivisor;
    if (!(std::fabs(div) > 0)) div = 1;
    const double xSign = div < 0 ? -1.0 : 1.0;
    auto& warns = res.warnings;
    const std::string prefix =
        "G" + std::to_string(code) + " " + blockName(line, sequenceNumber(block)) + ": ";
    auto fail = [&](CycleAlarm a) {
        res.action = CycleResult::Action::Alarm;
        a.blockLine = line;
        a.text = prefix + a.text;
        res.alarm = std::move(a);
        res.moves.clear();
        return res;
    };
    auto finishMoves = [&](std::variant<std::vector<CycleMove>, CycleAlarm> r) {
        if (auto* a = std::get_if<CycleAlarm>(&r)) return fail(std::move(*a));
        res.action = CycleResult::Action::Moves;
        res.moves = std::move(std::get<std::vector<CycleMove>>(r));
        return res;
    };
    auto compensationNote = [&]() {
        if (call.compensationActive) warn(warns, 7, line, "サイクル中は刃先R補正を行いません");
    };
    const ProfileContext pctx{call.motion, div};
    const bool hasP = w.has(kCodeP), hasQ = w.has(kCodeQ);
    const bool hasAxis = w.has(kCodeX) || w.has(kCodeZ) || w.has(kCodeU) || w.has(kCodeW);

    auto profileFor = [&](Profile& out) -> bool {
        auto r = readProfile(text, w.integer(kCodeP), w.integer(kCodeQ), pctx, start, line, warns);
        if (auto* a = std::get_if<CycleAlarm>(&r)) {
            fail(std::move(*a));
            return false;
        }
        out = std::move(std::get<Profile>(r));
        return true;
    };

    switch (code) {
        case 70: {
            if (!hasP || !hasQ) return fail(makeAlarm(1, line));
            Profile prof;
            if (!profileFor(prof)) return res;
            res.action = CycleResult::Action::Finish;
            res.finishFrom = prof.nsLine;
            res.finishTo = prof.nfLine;
            return res;
        }
        case 71:
        case 72: {
            const bool g72 = code == 72;
            if (!hasP && !hasQ) {
                const WordCode depthWord = g72 ? kCodeW : kCodeU;
                if (w.has(depthWord)) modal.roughDepth = std::fabs(w.mm(depthWord));
                if (w.has(kCodeR)) modal.roughRetract = std::fabs(w.mm(kCodeR));
                checkTinyWithoutPoint(w, depthWord, line, warns);
                checkTinyWithoutPoint(w, kCodeR, line, warns);
                return res;
            }
            if (!hasP || !hasQ) return fail(makeAlarm(1, line));
            if (w.has(kCodeD)) {
                modal.roughDepth = std::fabs(w.mm(kCodeD));
                checkTinyWithoutPoint(w, kCodeD, line, warns);
            }
            if (w.has(kCodeR)) warn(warns, 5, line, "G71,G72のサイクルブロックのRは無視します");
            checkTinyWithoutPoint(w, kCodeU, line, warns);
            checkTinyWithoutPoint(w, kCodeW, line, warns);
            if (!(modal.roughDepth > 0)) return fail(makeAlarm(4, line));
            Profile prof;
            if (!profileFor(prof)) return res;
            RoughParams rp;
            rp.depthAxis = g72 ? Axis::Z : Axis::X;
            rp.depth = modal.roughDepth;
            rp.retract = modal.roughRetract;
            rp.allowX = w.mm(kCodeU) / div;
            rp.allowZ = w.mm(kCodeW);
            rp.feed = call.feed;
            compensationNote();
            res.nextLine = continuation(text, prof, line, warns);
            finishMoves(expandRough(prof, start, rp, line));
            if (res.action == CycleResult::Action::Alarm) res.nextLine = -1;
            return res;
        }
        case 73: {
            if (!hasP && !hasQ) {
                if (w.has(kCodeU)) modal.patternReliefX = w.mm(kCodeU) * xSign;
                if (w.has(kCodeW)) modal.patternReliefZ = w.mm(kCodeW);
                if (w.has(kCodeR)) modal.patternCount = RoundHalfAway(w.number(kCodeR));
                return res;
            }
            if (!hasP || !hasQ) return fail(makeAlarm(1, line));
            if (w.has(kCodeI)) modal.patternReliefX = w.mm(kCodeI) * xSign;
            if (w.has(kCodeK)) modal.patternReliefZ = w.mm(kCodeK);
            if (w.has(kCodeD)) modal.patternCount = RoundHalfAway(w.number(kCodeD));
            checkTinyWithoutPoint(w, kCodeU, line, warns);
            checkTinyWithoutPoint(w, kCodeW, line, warns);
            if (modal.patternCount < 1) return fail(makeAlarm(10, line));
            Profile prof;
            if (!profileFor(prof)) return res;
            PatternParams pp;
            pp.reliefX = modal.patternReliefX;
            pp.reliefZ = modal.patternReliefZ;
            pp.count = modal.patternCount;
            pp.allowX = w.mm(kCodeU) / div;
            pp.allowZ = w.mm(kCodeW);
            pp.feed = call.feed;
            compensationNote();
            res.nextLine = continuation(text, prof, line, warns);
            finishMoves(expandPattern(prof, start, pp, line));
            if (res.action == CycleResult::Action::Alarm) res.nextLine = -1;
            return res;
        }
        case 74:
        case 75: {
            if (!hasAxis) {
                if (w.has(kCodeR)) modal.grooveRetract = std::fabs(w.mm(kCodeR));
                checkTinyWithoutPoint(w, kCodeR, line, warns);
                return res;
            }
            checkMicrometreWord(w, kCodeP, line, warns);
            checkMicrometreWord(w, kCodeQ, line, warns);
            GrooveParams gp;
            gp.peckAxis = code == 75 ? Axis::X : Axis::Z;
            gp.end = cycleEnd(w, start, div);
            const double p = std::fabs(w.mm(kCodeP)), q = std::fabs(w.mm(kCodeQ));
            gp.peck = code == 75 ? p : q;
            gp.shift = code == 75 ? q : p;
            gp.relief = w.mm(kCodeR);
            gp.retract = modal.grooveRetract;
            gp.feed = call.feed;
            compensationNote();
            return finishMoves(expandGroove(start, gp, line));
        }
        case 76: {
            if (!hasAxis) {
                if (w.has(kCodeP)) {
                    double v = std::fabs(w.number(kCodeP));
                    if (v > 999999) {
                        warn(warns, 3, line, "G76のPが6桁を超えるため制限しました");
                        v = 999999;
                    }
                    const int32_t pv = RoundHalfAway(v);
                    modal.threadFinishCount = pv / 10000;
                    modal.threadChamfer = (pv / 100) % 100;
                    modal.threadAngle = pv % 100;
                }
                if (w.has(kCodeQ)) modal.threadMinDepth = std::fabs(w.mm(kCodeQ));
                if (w.has(kCodeR)) modal.threadFinishAllowance = std::fabs(w.mm(kCodeR));
                checkMicrometreWord(w, kCodeQ, line, warns);
                return res;
            }
            ThreadParams tp;
            tp.end = cycleEnd(w, start, div);
            tp.finishCount = modal.threadFinishCount;
            tp.chamfer = modal.threadChamfer;
            tp.angle = modal.threadAngle;
            tp.minDepth = modal.threadMinDepth;
            tp.finishAllowance = modal.threadFinishAllowance;
            const bool oneBlock = w.has(kCodeK) || w.has(kCodeD);
            if (oneBlock) {
                tp.taper = w.mm(kCodeI) * xSign;
                tp.height = w.mm(kCodeK);
                tp.firstDepth = w.mm(kCodeD);
                if (w.has(kCodeA)) {
                    const double a = std::fabs(w.number(kCodeA));
                    if (a > 99) warn(warns, 3, line, "G76のAが範囲外のため制限しました");
                    tp.angle = std::min(a, 99.0);
                }
                const int32_t method = w.has(kCodeP) ? w.integer(kCodeP) : 1;
                tp.constantDepth = method == 3 || method == 4;
            } else {
                checkMicrometreWord(w, kCodeP, line, warns);
                checkMicrometreWord(w, kCodeQ, line, warns);
                tp.taper = w.mm(kCodeR) * xSign;
                tp.height = w.mm(kCodeP);
                tp.firstDepth = w.mm(kCodeQ);
            }
            tp.lead = w.has(kCodeF) ? w.mm(kCodeF) : call.feed;
            compensationNote();
            std::vector<CycleWarning> tw;
            auto r = expandThread(start, tp, line, tw);
            for (auto& x : tw) warns.push_back(std::move(x));
            return finishMoves(std::move(r));
        }
        default:
            return res;
    }
}

}  // namespace vantrel::lathe::mrc
