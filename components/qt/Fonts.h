// The fonts of the program: one proportional Japanese gothic face for the
// windows and the plots, and a rounded one for the version panel. Both come
// with the package's dependencies, so every machine draws the same pictures.
#pragma once

inline constexpr char kUiFontFamily[] = "IPAPGothic";
inline constexpr char kRoundedFontFamily[] = "MotoyaLMaru";
