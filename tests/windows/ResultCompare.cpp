#include "ResultCompare.h"

#include <cmath>

namespace {

using Json = nlohmann::json;

void walk(const Json& a, const Json& b, const std::string& path, double tolerance,
          Comparison& out) {
    if (a.is_number() && b.is_number()) {
        const double gap = std::fabs(a.get<double>() - b.get<double>());
        if (gap == 0) return;
        if (gap <= tolerance) {
            ++out.roundedNumbers;
            if (gap > out.largestGap) {
                out.largestGap = gap;
                out.largestGapAt = path;
            }
            return;
        }
    } else if (a.type() == b.type() && a.is_object() && a.size() == b.size()) {
        for (auto it = a.begin(); it != a.end(); ++it) {
            if (!b.contains(it.key())) {
                out.mismatches.push_back(path + "." + it.key() + ": missing on Windows");
                continue;
            }
            walk(it.value(), b.at(it.key()), path + "." + it.key(), tolerance, out);
        }
        return;
    } else if (a.type() == b.type() && a.is_array() && a.size() == b.size()) {
        for (size_t i = 0; i < a.size(); ++i)
            walk(a[i], b[i], path + "[" + std::to_string(i) + "]", tolerance, out);
        return;
    } else if (a == b) {
        return;
    }
    out.mismatches.push_back(path + ": " + a.dump().substr(0, 200) + " vs " +
                             b.dump().substr(0, 200));
}

}  // namespace

Comparison compareResults(const Json& linux, const Json& windows, double tolerance) {
    Comparison out;
    walk(linux, windows, "", tolerance, out);
    return out;
}
