#pragma once
// Comparing two result.json documents value for value, numbers within a tolerance.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct Comparison {
    std::vector<std::string> mismatches;  // "path: linux value vs windows value"
    int roundedNumbers = 0;               // numbers that differ but lie within the tolerance
    double largestGap = 0;                // the largest such difference
    std::string largestGapAt;
};

// Walks both documents in step; objects must have the same members, lists the same lengths,
// everything else be equal, numbers up to an absolute difference of tolerance.
Comparison compareResults(const nlohmann::json& linux, const nlohmann::json& windows,
                          double tolerance);
