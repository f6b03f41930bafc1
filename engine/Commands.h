// The document's command ids (menu, toolbar and accelerators).
#pragma once

#include <cstdint>

inline constexpr uint32_t ID_START_DIAGNOSTIC = 32771;
inline constexpr uint32_t ID_STOP_DIAGNOSTIC = 32772;
inline constexpr uint32_t ID_HIGH_PRIORITY = 32774;
inline constexpr uint32_t ID_FAST_TEST = 32778;
inline constexpr uint32_t ID_FULL_TEST = 32779;
inline constexpr uint32_t ID_BURST_TEST = 32780;
inline constexpr uint32_t ID_RANDOM_ACCESS = 32781;
