// The evaluation log grows new columns from one version of the program to the
// next. A log written with another header is never rewritten and never gets
// rows of another shape: the rows go to the next free "<name>_2.csv",
// "<name>_3.csv", … beside it whose header is the current one (or that is new
// or empty).
#pragma once

#include <string>
#include <string_view>

// The file rows with `header` go to: `path` itself when it is missing, empty or
// starts with `header`, else the first such numbered file beside it.
std::string CurrentLogPath(const std::string& path, std::string_view header);
