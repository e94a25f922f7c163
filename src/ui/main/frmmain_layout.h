#pragma once
// The instrument window as it was drawn: its client area and the place of
// each control, in twips. The window lays itself out from this table; the
// tests read it too.

#include "platform/gui/twips.h"

namespace tavelin {

inline constexpr char kFrmmainTitle[] = "Veltrane Ver. 1.0.0 \\ Comm1@19200";

inline constexpr TwipsSize kFrmmainClient{5280, 5340};

inline constexpr TwipsPlace kFrmmainPlaces[] = {
    {"Frame9", nullptr, 240, 120, 1572, 792},
    {"lblHz", "Frame9", 60, 240, 1452, 492},
    {"Frame1", nullptr, 240, 1020, 1572, 792},
    {"lblLitersPerMin", "Frame1", 60, 240, 1452, 492},
    {"Frame2", nullptr, 240, 1920, 1572, 792},
    {"liters", "Frame2", 60, 240, 1452, 492},
    {"CWSlide1", nullptr, 2160, 180, 1272, 4272},
    {"CWSlide2", nullptr, 3780, 180, 1272, 4272},
    {"CWKnob1", nullptr, 180, 2880, 1632, 1572},
    {"CWButton1", nullptr, 420, 4620, 1092, 312},
    {"CWButton2", nullptr, 2100, 4620, 1092, 312},
    {"CWButton3", nullptr, 3780, 4620, 1092, 312},
};

} // namespace tavelin
