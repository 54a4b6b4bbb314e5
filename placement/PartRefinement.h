#pragma once
#include <cstddef>
#include <vector>

#include "placement/MassTransport.h"
#include "placement/PartMotions.h"

class MyTessaron;

// Refines each part's map so that the alpha before, moved by it, matches the alpha now over the
// pixels of the transport's cells that part was fitted to (`gridCells`: by cell added to the
// parts, its cell of t's grid, or none past the grid) and the other pixels it explains best
// (ownPixels): an image registration started from the transport's map, coarse blur first, its
// shift pulled a little towards the transport's and its stretch towards none (kRefinePrior). A
// map whose move at its centre would change by more than a cell (the transport is closer than
// that) stays as it was.
void refinePartMaps(const MyTessaron& e, PartMotions& parts, const MassTransport& t,
                    const std::vector<size_t>& gridCells);
