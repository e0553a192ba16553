#include "stock/stock_fit.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "core/rounding.h"

namespace vantrel {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double& component(Vec3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
double component(const Vec3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// First and second axis of the plane: XY (X, Y), ZX (Z, X), YZ (Y, Z).
void planeAxes(int plane, int& a, int& b) {
    switch (plane) {
        case 18:
            a = 2, b = 0;
            break;
        case 19:
            a = 1, b = 2;
            break;
        default:
            a = 0, b = 1;
            break;
    }
}

// The label number after N or O: digits and points; with a point the number counts in hundredths,
// rounded half to even.
int64_t readLabelNumber(std::string_view text, size_t pos) {
    std::string digits;
    bool point = false;
    for (; pos < text.size(); ++pos) {
        char ch = text[pos];
        if (ch >= '0' && ch <= '9') {
            digits += ch;
        } else if (ch == '.') {
            point = true;
            digits += ch;
        } else {
            break;
        }
        if (digits.size() > 30) break;
    }
    if (digits.find_first_of("0123456789") == std::string::npos) return 0;
    double v = std::strtod(digits.c_str(), nullptr);
    if (point) v = std::nearbyint(v * 100);
    return saturatingToInt64(v);
}

// The first line of every label (N or O number): built once per scan, so that a call costs a lookup
// instead of a pass over the whole program.
std::unordered_map<int64_t, int> indexLabels(const ProgramLines& lines) {
    std::unordered_map<int64_t, int> index;
    const int count = lines.lineCount();
    for (int li = 0; li < count; ++li) {
        std::string_view t = lines.line(li);
        for (size_t i = 0; i < t.size(); ++i) {
            char ch = t[i];
            if (ch == 'N' || ch == 'n' || ch == 'O' || ch == 'o')
                index.emplace(readLabelNumber(t, i + 1), li);
        }
    }
    return index;
}

// Widens the extent by the quadrant points that an arc from `s` to `e` around `c` passes.
void addArcQuadrants(PathExtent& ext, const Vec3& s, const Vec3& e, const Vec3& c, double radius, bool ccw,
                     int a, int b) {
    const double sa = component(s, a) - component(c, a), sb = component(s, b) - component(c, b);
    const double ea = component(e, a) - component(c, a), eb = component(e, b) - component(c, b);
    const double t0 = std::atan2(sb, sa), t1 = std::atan2(eb, ea);
    auto wrap = [](double v) {
        v = std::fmod(v, kTwoPi);
        return v < 0 ? v + kTwoPi : v;
    };
    const bool closed = std::fabs(sa - ea) < 1e-9 && std::fabs(sb - eb) < 1e-9;
    double sweep = closed ? kTwoPi : wrap(ccw ? t1 - t0 : t0 - t1);
    if (!closed && sweep == 0) sweep = kTwoPi;
    for (int q = 0; q < 4; ++q) {
        const double angle = q * std::numbers::pi / 2;
        const double along = wrap(ccw ? angle - t0 : t0 - angle);
        if (along > sweep + 1e-12) continue;
        switch (q) {
            case 0:
                ext.widen(a, component(c, a) + radius);
                break;
            case 1:
                ext.widen(b, component(c, b) + radius);
                break;
            case 2:
                ext.widen(a, component(c, a) - radius);
                break;
            case 3:
                ext.widen(b, component(c, b) - radius);
                break;
        }
    }
}

}  // namespace

WordValue readNcWordValue(std::string_view text, size_t pos) {
    WordValue w;
    double divisor = 10;
    bool negative = false;
    size_t i = pos;
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == ' ' || ch == '+') continue;
        if (ch == '-') {
            negative = true;
        } else if (ch == '.') {
            w.hadDecimal = true;
        } else if (ch >= '0' && ch <= '9') {
            const int d = ch - '0';
            if (w.hadDecimal) {
                w.value += d / divisor;
                divisor *= 10;
            } else {
                w.value = w.value * 10 + d;
            }
            w.hadDigits = true;
        } else {
            break;
        }
    }
    w.consumed = i - pos;
    if (w.hadDigits && !w.hadDecimal) w.value /= 1000;
    if (negative) w.value = -w.value;
    return w;
}

void PathExtent::widen(int axis, double v) {
    if (!std::isfinite(v)) return;
    double& lo = component(min, axis);
    double& hi = component(max, axis);
    if (!open[axis]) {
        lo = hi = v;
        open[axis] = true;
        return;
    }
    lo = std::min(lo, v);
    hi = std::max(hi, v);
}

PathExtent scanProgramExtent(const ProgramLines& lines, const FitScanContext& ctx,
                             const WordValueReader& reader) {
    PathExtent ext;
    Vec3 pos = ctx.start;
    bool incremental = false;
    int plane = 17;
    int motion = 0;  // modal motion code (G00)
    bool inComment = false;
    int stack[kFitSubprogramDepth];
    int depth = 0;
    const int count = lines.lineCount();
    const double xDivisor = ctx.xDivisor != 0 && std::isfinite(ctx.xDivisor) ? ctx.xDivisor : 1;

    std::unordered_map<int64_t, int> labels;
    bool labelsIndexed = false;
    int visits = 0;
    for (int li = 0; li < count && visits < ctx.maxLines; ++visits) {
        std::string_view t = lines.line(li);
        bool has[3] = {false, false, false};
        double word[3] = {0, 0, 0};
        double ijk[3] = {0, 0, 0};
        bool hasR = false;
        double r = 0, p = 0;
        int blockMotion = -1;
        bool call = false, ret = false, stop = false;

        for (size_t i = 0; i < t.size();) {
            const char ch = t[i];
            if (inComment) {
                if (ch == ')') inComment = false;
                ++i;
                continue;
            }
            if (ch == '(') {
                inComment = true;
                ++i;
                continue;
            }
            const char up = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
            if (std::string_view("GIJKLMPQRXYZ").find(up) == std::string_view::npos) {
                ++i;
                continue;
            }
            const WordValue w = reader(t, i + 1);
            i += 1 + w.consumed;
            double v = w.value;
            // Code words count in whole numbers: G01 is 1, M98 is 98, P1000 is 1000.
            if ((up == 'G' || up == 'L' || up == 'M' || up == 'P') && !w.hadDecimal) v *= 1000;
            switch (up) {
                case 'G': {
                    const int g = RoundHalfAway(v);
                    if ((g >= 0 && g <= 4) || g == 28 || g == 73 || g == 74 || g == 76 ||
                        (g >= 80 && g <= 89))
                        blockMotion = g == 80 ? 0 : g;
                    else if (g == 90)
                        incremental = false;
                    else if (g == 91)
                        incremental = true;
                    else if (g == 17 || g == 18 || g == 19)
                        plane = g;
                    break;
                }
                case 'M': {
                    const int m = RoundHalfAway(v);
                    if (m == 98) call = true;
                    if (m == 99) ret = true;
                    if (m == 2 || m == 30) stop = true;
                    break;
                }
                case 'P':
                    p = v;
                    break;
                case 'R':
                    hasR = true;
                    r = v;
                    break;
                case 'I':
                    ijk[0] = v;
                    break;
                case 'J':
                    ijk[1] = v;
                    break;
                case 'K':
                    ijk[2] = v;
                    break;
                case 'X':
                    has[0] = true;
                    word[0] = v / xDivisor;
                    break;
                case 'Y':
                    has[1] = true;
                    word[1] = v;
                    break;
                case 'Z':
                    has[2] = true;
                    word[2] = v;
                    break;
                default:
                    break;
            }
        }

        // Dwell and reference return act on their own block only; the others stay in force.
        const int code = blockMotion >= 0 ? blockMotion : motion;
        if (blockMotion >= 0 && blockMotion != 4 && blockMotion != 28) motion = blockMotion;
        if (has[0] || has[1] || has[2]) {
            Vec3 end = pos;
            for (int a = 0; a < 3; ++a)
                if (has[a]) component(end, a) = incremental ? component(pos, a) + word[a] : word[a];
            switch (code) {
                case 1:
                    ext.add(end);
                    pos = end;
                    break;
                case 2:
                case 3: {
                    int a, b;
                    planeAxes(plane, a, b);
                    ext.add(end);
                    Vec3 centre;
                    double radius;
                    if (hasR) {
                        radius = std::fabs(r);
                        const double da = component(end, a) - component(pos, a);
                        const double db = component(end, b) - component(pos, b);
                        const double chord = std::hypot(da, db);
                        centre = pos;
                        if (chord > 0) {
                            const double h = std::sqrt(std::max(r * r - chord * chord / 4, 0.0));
                            // Left of the chord for a counter-clockwise arc with positive R.
                            double side = (code == 3) == (r >= 0) ? 1.0 : -1.0;
                            component(centre, a) = component(pos, a) + da / 2 - db / chord * h * side;
                            component(centre, b) = component(pos, b) + db / 2 + da / chord * h * side;
                        }
                        if (chord > 0) addArcQuadrants(ext, pos, end, centre, radius, code == 3, a, b);
                    } else {
                        centre = pos + Vec3{ijk[0], ijk[1], ijk[2]};
                        radius = std::hypot(component(end, a) - component(centre, a),
                                            component(end, b) - component(centre, b));
                        addArcQuadrants(ext, pos, end, centre, radius, code == 3, a, b);
                    }
                    pos = end;
                    break;
                }
                case 28:
                    for (int a = 0; a < 3; ++a)
                        if (has[a]) component(pos, a) = component(ctx.referencePoint, a);
                    break;
                case 4:
                    break;  // dwell: X is a time
                case 73:
                case 74:
                case 76:
                case 81:
                case 82:
                case 83:
                case 84:
                case 85:
                case 86:
                case 87:
                case 88:
                case 89:
                    if (has[2]) ext.widen(2, end.z);
                    pos = end;
                    break;
                default:
                    pos = end;
                    break;  // rapid
            }
        }

        int next = li + 1;
        if (call && !inComment) {
            if (!labelsIndexed) {
                labels = indexLabels(lines);
                labelsIndexed = true;
            }
            const auto found = labels.find(RoundHalfAway64(p));
            const int label = found == labels.end() ? -1 : found->second;
            if (label >= 0 && depth < kFitSubprogramDepth) {
                stack[depth++] = li;
                next = label + 1;
            }
        }
        if (ret) {
            if (depth == 0) break;
            next = stack[--depth] + 1;
        }
        if (stop) break;
        li = next;
    }
    return ext;
}

bool fitStockToExtent(StockSpec& stock, MachineKind kind, PathExtent ext) {
    if (!ext.any()) return false;
    for (int a = 0; a < 3; ++a) {
        if (!ext.open[a]) continue;
        if (!(component(ext.max, a) - component(ext.min, a) > 0))
            component(ext.max, a) = component(ext.min, a) + 10;
    }
    // An axis no point touched keeps the stock's present span.
    const double pitch = stock.pitch;
    auto size = [&](int a, float present) {
        if (!ext.open[a]) return present;
        const double span = component(ext.max, a) - component(ext.min, a);
        return static_cast<float>(pitch > 0 && span / pitch > 1000 ? 1000 * pitch : span);
    };
    switch (familyOf(kind)) {
        case MachineFamily::Milling:
            if (ext.open[0]) stock.offsetX = static_cast<float>(ext.min.x);
            if (ext.open[1]) stock.offsetY = static_cast<float>(ext.min.y);
            if (ext.open[2]) stock.offsetZ = static_cast<float>(ext.min.z);
            stock.sizeX = size(0, stock.sizeX);
            stock.sizeY = size(1, stock.sizeY);
            stock.sizeZ = size(2, stock.sizeZ);
            break;
        case MachineFamily::Turning:
            if (ext.open[0]) {
                stock.sizeX = static_cast<float>(2 * ext.max.x);
                stock.sizeY = static_cast<float>(2 * ext.min.x);
            }
            if (ext.open[2]) {
                stock.sizeZ = static_cast<float>(ext.max.z - ext.min.z + 40);
                stock.offsetX = static_cast<float>(ext.max.z);
            }
            break;
        case MachineFamily::Wire:
            if (ext.open[0]) stock.offsetX = static_cast<float>(ext.min.x);
            if (ext.open[1]) stock.offsetY = static_cast<float>(ext.min.y);
            if (ext.open[2]) stock.offsetZ = static_cast<float>(ext.min.z);
            break;
    }
    // A path far out (X99999., a bore below the axis) still gives a stock the window can show and edit.
    clampStockToRanges(stock);
    return true;
}

}  // namespace vantrel
