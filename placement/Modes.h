#pragma once
// Position mode values as plain numbers, for code comparing the engine's uint32_t settings.
#include <cstdint>

#include "host/Params.h"

constexpr uint32_t PositionMode_Ignore = static_cast<uint32_t>(PositionMode::Ignore);
constexpr uint32_t PositionMode_UsePreviousValue =
    static_cast<uint32_t>(PositionMode::UsePreviousValue);
