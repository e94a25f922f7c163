#pragma once
// The logging setup dialog as it was drawn: its client area and the place of
// each control, in twips. The dialog lays itself out from this table; the
// tests read it too.

#include "platform/gui/twips.h"

namespace tavelin {

inline constexpr char kFrmLoggingflowTitle[] = "Logger";

inline constexpr TwipsSize kFrmLoggingflowClient{3504, 2424};

inline constexpr TwipsPlace kFrmLoggingflowPlaces[] = {
    {"cmdExit", nullptr, 1920, 1920, 972, 372},
    {"cmdSelect", nullptr, 600, 1920, 972, 372},
    {"Frame1", nullptr, 120, 120, 3252, 1692},
    {"optDatafile0", "Frame1", 120, 240, 1212, 372},
    {"optDatafile1", "Frame1", 120, 720, 1212, 252},
    {"optAppend0", nullptr, 720, 1200, 1332, 252},
    {"optAppend1", nullptr, 720, 1440, 1332, 252},
    {"cmbInterval", "Frame1", 2040, 780, 792, 288},
    {"Label1", "Frame1", 1800, 300, 1332, 372},
};

} // namespace tavelin
