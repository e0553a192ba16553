// The wire EDM through vantrel-sim: the punch sample's traced wire path against the contour's own
// geometry, and its play, which removes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "cli/play_command.h"
#include "cli/trace_command.h"

namespace vantrel {
namespace {

std::string samplePath(const char* name) {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/../../samples/" + name;
}

struct P {
    double x = 0, y = 0;
};

// The punch of samples/punch_wire.nc: the rectangle (0,0)-(40,30) whose corner at (40,30) is
// rounded with R10 about (30,20), walked clockwise from (0,0).
constexpr double kArcCx = 30, kArcCy = 20, kArcR = 10;

double segmentDistance(P p, P a, P b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double contourDistance(P p) {
    double d = segmentDistance(p, {0, 0}, {0, 30});
    d = std::min(d, segmentDistance(p, {0, 30}, {30, 30}));
    d = std::min(d, segmentDistance(p, {40, 20}, {40, 0}));
    d = std::min(d, segmentDistance(p, {40, 0}, {0, 0}));
    // The arc runs from 90 degrees down to 0 degrees about its centre.
    const double a = std::atan2(p.y - kArcCy, p.x - kArcCx);
    if (a >= 0 && a <= M_PI / 2) d = std::min(d, std::fabs(std::hypot(p.x - kArcCx, p.y - kArcCy) - kArcR));
    return d;
}

bool insidePunch(P p) {
    if (p.x < 0 || p.x > 40 || p.y < 0 || p.y > 30) return false;
    if (p.x > kArcCx && p.y > kArcCy) return std::hypot(p.x - kArcCx, p.y - kArcCy) <= kArcR;
    return true;
}

// The numbers after `key` ("[x, y, z]" or a single number) in a JSON line; empty when absent.
std::vector<double> numbersAfter(const std::string& line, const std::string& key) {
    std::vector<double> v;
    size_t p = line.find("\"" + key + "\": ");
    if (p == std::string::npos) return v;
    p += key.size() + 4;
    const bool list = line[p] == '[';
    if (list) ++p;
    while (p < line.size()) {
        char* end = nullptr;
        const double x = std::strtod(line.c_str() + p, &end);
        if (end == line.c_str() + p) break;
        v.push_back(x);
        p = static_cast<size_t>(end - line.c_str());
        if (!list || line[p] != ',') break;
        p += 2;
    }
    return v;
}

TEST(WireCommand, PunchTraceRunsAtTheDRadiusOutsideTheContour) {
    // --tool-diameter sets the milling store, whose entry 1 the program's D1 names: the offset is 1.
    std::ostringstream out, err;
    ASSERT_EQ(
        runTraceCommand({samplePath("punch_wire.nc"), "--machine", "wire", "--tool-diameter", "2", "--steps"},
                        out, err),
        0)
        << err.str();
    constexpr double r = 1;
    std::istringstream lines(out.str());
    std::string line;
    int contourLine = -1;  // source line of the piece the steps belong to
    int checked = 0, arcs = 0;
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    auto checkPoint = [&](P p, const std::string& what) {
        EXPECT_NEAR(contourDistance(p), r, 1e-6) << what << " (" << p.x << ", " << p.y << ")";
        EXPECT_FALSE(insidePunch(p)) << what;
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        ++checked;
    };
    while (std::getline(lines, line)) {
        const std::vector<double> ln = numbersAfter(line, "line");
        if (!ln.empty()) {
            contourLine = static_cast<int>(ln[0]);
            // Lines 5 to 9 are the contour; line 4 leads in under G41, line 10 leads out under G40.
            if (contourLine < 5 || contourLine > 9) continue;
            const std::vector<double> s = numbersAfter(line, "start"), e = numbersAfter(line, "end");
            ASSERT_EQ(s.size(), 3u) << line;
            ASSERT_EQ(e.size(), 3u) << line;
            checkPoint({s[0], s[1]}, line);
            checkPoint({e[0], e[1]}, line);
            EXPECT_EQ(s[2], 0) << "the wire stays in the XY plane: " << line;
            if (contourLine == 7 && line.find("\"kind\": \"cw\"") != std::string::npos) {
                // The programmed R10 arc grows by the offset about the same centre.
                const std::vector<double> c = numbersAfter(line, "centre");
                ASSERT_EQ(c.size(), 3u) << line;
                EXPECT_NEAR(c[0], kArcCx, 1e-6);
                EXPECT_NEAR(c[1], kArcCy, 1e-6);
                EXPECT_NEAR(numbersAfter(line, "radius").at(0), kArcR + r, 1e-6);
                ++arcs;
            }
        } else if (contourLine >= 5 && contourLine <= 9) {
            const std::vector<double> st = numbersAfter(line, "step");
            if (st.size() == 3) checkPoint({st[0], st[1]}, line);
        }
    }
    EXPECT_EQ(arcs, 1);
    EXPECT_GT(checked, 100);  // the steps were checked, not only the ends of pieces
    // The wire went all the way round, one radius outside each side.
    EXPECT_NEAR(minX, -r, 1e-6);
    EXPECT_NEAR(maxX, 40 + r, 1e-6);
    EXPECT_NEAR(minY, -r, 1e-6);
    EXPECT_NEAR(maxY, 30 + r, 1e-6);
    EXPECT_NE(out.str().find("{\"end\": [-10, -10, 0]"), std::string::npos) << out.str();
}

TEST(WireCommand, PunchPlaysInWireModeWithoutRemovingStock) {
    // Whatever mode is asked, the wire EDM plays in its own mode and the wire cuts nothing.
    for (const char* mode : {"play", "fast", "step"}) {
        std::ostringstream out, err;
        ASSERT_EQ(runPlayCommand({samplePath("punch_wire.nc"), "--machine", "wire", "--mode", mode,
                                  "--tool-diameter", "2", "--stock", "60,50,20@-10,-10,-10"},
                                 out, err),
                  0)
            << mode << err.str();
        const std::string j = out.str();
        EXPECT_NE(j.find("\"end\": \"m30\""), std::string::npos) << mode << j;
        EXPECT_NE(j.find("\"position\": [-10, -10, 0]"), std::string::npos) << mode << j;
        EXPECT_NE(j.find("\"cut_steps\": 0"), std::string::npos) << mode << j;
        EXPECT_NE(j.find("\"stock_changed_steps\": 0"), std::string::npos) << mode << j;
        EXPECT_NE(j.find("\"warnings\": 0"), std::string::npos) << mode << j;
    }
}

}  // namespace
}  // namespace vantrel
