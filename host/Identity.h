#pragma once
// The effect's identity: what the host shows, registers and reads from the property list.
// Every use (About, Global Setup, registration, the property list generator) takes it from here.
#include "AE_Effect.h"

namespace identity {

constexpr const char* kName = "Tessaron (Pro)";
constexpr const char* kVersionText = "1.0.51";
constexpr const char* kDescription = "Fill a layer with a collage of layers.";
constexpr const char* kHolder = "Copyright 2026 Tessaron.";
constexpr const char* kMatchName = "QV Tessaron (Pro)";
constexpr const char* kCategory = "Brannoquistelle";
constexpr const char* kEntryPointName = "EntryPointFunc";

// Version 1.0.0, release stage, build 1.
constexpr A_u_long kPackedVersion = PF_VERSION(1, 0, 0, PF_Stage_RELEASE, 1);

// The oldest effect API served.
constexpr A_short kMinApiMajor = 13;
constexpr A_short kMinApiMinor = 1;

constexpr A_long kOutFlags = PF_OutFlag_CUSTOM_UI | PF_OutFlag_DEEP_COLOR_AWARE;
constexpr A_long kOutFlags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;

// Property list facts beyond the above.
constexpr A_short kPiplVersionMajor = 2;
constexpr A_short kPiplVersionMinor = 0;
constexpr A_long kReservedInfo = 8;
constexpr int kPiplResourceId = 16000;
constexpr int kPiplLanguage = 1033;  // English (United States)

static_assert(kPackedVersion == 0x00080601, "packed version");
static_assert(kOutFlags == 0x02008000, "out flags");
static_assert(kOutFlags2 == 0x00001400, "out flags 2");

}  // namespace identity
