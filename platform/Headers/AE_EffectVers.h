#pragma once
// The effect API version these declarations describe.
#define PF_PLUG_IN_VERSION 13
#define PF_PLUG_IN_SUBVERS 28
