// The window-level variables of the main window that several subsystems share,
// under the names the handlers use, with their start-up values.
#pragma once

#include <cstdint>
#include <string>

namespace tallyro::context {

// Docking sides and the shown/hidden marks are short words compared exactly.
inline constexpr const char* kSideFree = "中";
inline constexpr const char* kSideLeft = "左";
inline constexpr const char* kSideRight = "右";
inline constexpr const char* kSideTop = "上";
inline constexpr const char* kYes = "是";
inline constexpr const char* kNo = "否";

// 16-bit flags hold -1 for true and 0 for false.
inline constexpr std::int16_t kTrue = -1;
inline constexpr std::int16_t kFalse = 0;

struct WindowState {
    std::int16_t TempWindowNum = 0;
    std::string TempWindowPosition = kSideFree;
    std::string TempWindowCtrl = kNo;
    std::int16_t MaxMeWidth = 3600;
    std::int16_t TempClickMun = 0;
    std::int16_t TempMoveMun = 0;
    std::int16_t SearchNum = 0;
    std::int16_t SearchNumAll = 0;
    std::int16_t TempPlayNum = 0;
    std::string TempPlayFx = kSideRight;
    std::string TempAutoLogin = "No";
    std::int16_t TempDragFlag = kFalse;
    // Drag offsets in twips are 32-bit: a 16-bit twip value overflows on screens
    // wider or taller than 2184 pixels.
    std::int32_t TempDragX = 0;
    std::int32_t TempDragY = 0;
};

}  // namespace tallyro::context
