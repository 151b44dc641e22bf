// Fixed-point texts for labels, result lines and rows: printf's "%.Nf" in the
// C locale, whatever locale the window has set (FormatFixed).
#pragma once

#include "io/NumberText.h"
