#include "animation/OffsetOrder.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "host/Params.h"

namespace {

void shuffle(std::vector<IndexedPoint>& list, const std::function<int()>& draw) {
    for (size_t k = 1; k < list.size(); ++k) {
        const size_t j = size_t(draw()) % (k + 1);
        std::swap(list[k], list[j]);
    }
}

}  // namespace

void orderByOffsetMethod(std::vector<IndexedPoint>& list, OffsetMethod method,
                         const OffsetCentres& centres, const std::function<int()>& draw) {
    // std::sort is introspective and unstable: equal keys take their places in no set order.
    switch (method) {
        case OffsetMethod::FromLeftToRight:
            std::sort(list.begin(), list.end(), sort_indexed_point_from_left_to_right());
            break;
        case OffsetMethod::FromRightToLeft:
            std::sort(list.begin(), list.end(), sort_indexed_point_from_right_to_left());
            break;
        case OffsetMethod::FromTopToBottom:
            std::sort(list.begin(), list.end(), sort_indexed_point_from_top_to_bottom());
            break;
        case OffsetMethod::FromBottomToTop:
            std::sort(list.begin(), list.end(), sort_indexed_point_from_bottom_to_top());
            break;
        case OffsetMethod::DistanceFromCompCenter:
            std::sort(list.begin(), list.end(),
                      sort_indexed_point_by_distance_from_point(centres.comp));
            break;
        case OffsetMethod::DistanceFromImageCenter:
            std::sort(list.begin(), list.end(),
                      sort_indexed_point_by_distance_from_point(centres.image));
            break;
        case OffsetMethod::Random:
            shuffle(list, draw);
            break;
        default:
            break;
    }
}

std::vector<int32_t> orderPositions(const std::vector<IndexedPoint>& ordered) {
    std::vector<int32_t> positions(ordered.size(), -1);
    for (size_t k = 0; k < ordered.size(); ++k) {
        const int32_t i = ordered[k].index;
        assert(i >= 0 && size_t(i) < ordered.size() && positions[i] < 0);
        positions[i] = int32_t(k);
    }
    return positions;
}
