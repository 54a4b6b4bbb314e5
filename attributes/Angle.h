#pragma once

// The angle (degrees) equal to `angle` modulo 360 that lies nearest to `reference`; half a turn
// away either way goes to the larger angle. Keys written this way turn a layer by the short way
// round, where the host would otherwise spin it through every degree between the two values.
float nearestEquivalentAngle(float angle, float reference);
