#pragma once
// Texts of the effect's parameters as the host keeps them.
#include <string>
#include <vector>

namespace sim {

// The items of a popup's text ("Grid|Organic|(-|Ignore"), separators included.
std::vector<std::string> popupItems(const std::string& text);

}  // namespace sim
