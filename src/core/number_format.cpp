#include "core/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vantrel {

std::string FormatFloat(std::string_view pattern, double value) {
    // Split the pattern into: literal prefix, integer digit placeholders, fraction placeholders, suffix.
    size_t firstDigit = pattern.find_first_of("0#.");
    if (firstDigit == std::string_view::npos) return std::string(pattern);
    size_t end = firstDigit;
    while (end < pattern.size() &&
           (pattern[end] == '0' || pattern[end] == '#' || pattern[end] == '.' || pattern[end] == ','))
        ++end;
    std::string_view prefix = pattern.substr(0, firstDigit);
    std::string_view body = pattern.substr(firstDigit, end - firstDigit);
    std::string_view suffix = pattern.substr(end);

    size_t point = body.find('.');
    std::string_view intPart = point == std::string_view::npos ? body : body.substr(0, point);
    std::string_view fracPart = point == std::string_view::npos ? std::string_view{} : body.substr(point + 1);

    int minInt = 0;
    for (char c : intPart)
        if (c == '0') ++minInt;
    int maxFrac = static_cast<int>(fracPart.size());
    int minFrac = 0;  // count of '0' up to the last '0' in the fraction
    for (int i = 0; i < maxFrac; ++i)
        if (fracPart[i] == '0') minFrac = i + 1;

    if (!std::isfinite(value)) {
        std::string s = std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
        return std::string(prefix) + s + std::string(suffix);
    }

    // Round half away from zero at the last decimal place. Going through a decimal string with extra
    // digits first avoids binary artefacts such as 0.125 being stored as 0.12499999.
    double mag = std::fabs(value);
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", maxFrac + 3, mag);
    std::string digits(buf);
    size_t dot = digits.find('.');
    std::string ip = digits.substr(0, dot);
    std::string fp = dot == std::string::npos ? std::string() : digits.substr(dot + 1);
    // Decide rounding from the first dropped digit (with the exact decimal expansion to 3 extra places,
    // a value of ...4999 below half stays down).
    bool roundUp = fp.size() > static_cast<size_t>(maxFrac) && fp[maxFrac] >= '5';
    fp.resize(maxFrac);
    std::string all = ip + fp;
    if (roundUp) {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0) {
            if (all[i] == '9') {
                all[i] = '0';
                --i;
            } else {
                ++all[i];
                break;
            }
        }
        if (i < 0) all.insert(all.begin(), '1');
    }
    ip = all.substr(0, all.size() - maxFrac);
    fp = all.substr(all.size() - maxFrac);

    // Optional fraction digits are dropped from the right while they are zero.
    while (static_cast<int>(fp.size()) > minFrac && !fp.empty() && fp.back() == '0') fp.pop_back();
    // Integer part: strip leading zeros, then pad to the pattern's required digits.
    size_t nz = ip.find_first_not_of('0');
    ip = nz == std::string::npos ? std::string() : ip.substr(nz);
    while (static_cast<int>(ip.size()) < minInt) ip.insert(ip.begin(), '0');

    bool isZero =
        ip.find_first_not_of('0') == std::string::npos && fp.find_first_not_of('0') == std::string::npos;
    std::string out;
    if (value < 0 && !isZero) out += '-';
    out += prefix;
    out += ip;
    if (!fp.empty()) {
        out += '.';
        out += fp;
    }
    out += suffix;
    return out;
}

std::string formatFixedTrimmed(double v) {
    if (!std::isfinite(v)) return "null";
    // A double of up to 1e308 has 309 digits before the point.
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    std::string s(buf, r.ec == std::errc() ? r.ptr : buf);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0') s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

}  // namespace vantrel
