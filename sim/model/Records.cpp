#include "sim/model/Records.h"

namespace sim {

void Records::addMessage(const std::string& text, bool shown) {
    messages.push_back(text);
    messageShown.push_back(shown);
}

}  // namespace sim
