#include "io/Version.h"

std::string ProgramVersionText() { return std::string("oscalyx ") + kVersion + " (" + SourceRevision() + ")"; }
