#include "attributes/SiteSize.h"

#include <algorithm>
#include <cmath>

#include "attributes/Growth.h"

void seedSite(MySitePoint& site, float w, float h) {
    site.layerWidth = w;
    site.layerHeight = h;
    const bool empty = hasNoArea(site);
    site.aspect = empty ? 1.0f : w / h;
    // The longer side starts at one pixel, the side that grows: a tall layer seeded one pixel
    // wide would start taller than its neighbours' gaps.
    site.width = 0.0f;
    site.height = 0.0f;
    if (!empty) {
        setLongerSide(site, 1.0f);
    }
    site.growStep = 1.0f;
    site.growing = !empty;
    site.placeRectangle();
}

void setLongerSide(MySitePoint& site, float size) {
    if (site.aspect >= 1.0f) {
        site.width = size;
        site.height = site.width / site.aspect;
    } else {
        site.height = size;
        site.width = site.height * site.aspect;
    }
}

float longerSide(const MySitePoint& site) {
    return std::max(site.height, site.width);
}

float scalePercent(float r, const MySitePoint& site) {
    if (hasNoArea(site)) {
        return float(double(r) * 100.0);
    }
    return float(double(r) * 100.0 * double(site.width) / double(site.layerWidth));
}
