#include "sim/model/ParamText.h"

namespace sim {

std::vector<std::string> popupItems(const std::string& text) {
    std::vector<std::string> items;
    size_t start = 0;
    for (size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
        items.push_back(text.substr(start, bar - start));
    items.push_back(text.substr(start));
    return items;
}

}  // namespace sim
