// How the installer window looks: its size, colours, fonts and where everything sits, in
// client coordinates. The window draws from these, and its tests check against them.
#pragma once

#include <windows.h>

constexpr int kMainWindowWidth = 560;
constexpr int kMainWindowHeight = 420;

constexpr COLORREF kWindowBackground = RGB(247, 249, 252);
constexpr COLORREF kCardBackground = RGB(255, 255, 255);
constexpr COLORREF kLocationBackground = RGB(248, 251, 255);
constexpr COLORREF kTitleText = RGB(7, 16, 35);
constexpr COLORREF kSubtitleText = RGB(95, 107, 122);
constexpr COLORREF kCaptionText = RGB(66, 83, 108);
constexpr COLORREF kButtonFace = RGB(34, 170, 136);
constexpr COLORREF kButtonFaceDisabled = RGB(159, 216, 202);
constexpr COLORREF kProgressBackground = RGB(234, 248, 243);
constexpr COLORREF kButtonText = RGB(255, 255, 255);

constexpr wchar_t kFontFace[] = L"Microsoft YaHei UI";
struct FontStyle {
  int height;  // negative: the character height in pixels
  int weight;
};
constexpr FontStyle kTitleFont = {-22, FW_BOLD};
constexpr FontStyle kBodyFont = {-14, FW_NORMAL};
constexpr FontStyle kLabelFont = {-14, FW_BOLD};
constexpr FontStyle kButtonFont = {-15, FW_BOLD};

struct Box {
  int x, y, width, height;
  constexpr RECT Rect() const { return {x, y, x + width, y + height}; }
};
// Painted areas.
constexpr Box kCardBox = {20, 20, 520, 340};
constexpr Box kLocationBox = {46, 226, 304, 44};
// Texts painted on the card.
constexpr Box kTitleBox = {46, 44, 240, 30};
constexpr Box kSubtitleBox = {46, 80, 460, 42};
constexpr Box kLocationCaptionBox = {46, 144, 120, 22};
constexpr Box kActionCaptionBox = {386, 144, 120, 22};
// Controls; the drive box's height includes its open list.
constexpr Box kDriveComboBox = {46, 174, 304, 260};
constexpr Box kLocationLabelBox = {60, 236, 270, 22};
constexpr Box kStartButtonBox = {386, 174, 120, 96};
constexpr Box kProgressBarBox = {46, 312, 460, 12};
