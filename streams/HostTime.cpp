#include "streams/HostTime.h"

double timeSeconds(const A_Time& t) {
    return t.scale ? double(t.value) / double(t.scale) : 0.0;
}
