// The graphs only keep what they could not draw; the windows show it, once
// per drawing, after the picture is drawn.
#pragma once

#include "components/MyGraph.h"
#include "components/Platform.h"

inline void ShowGraphNotices(Platform& platform, TMyGraph& graph) {
  for (const GraphNotice& notice : graph.TakeNotices()) platform.ShowMessage(notice.Text, notice.Title, notice.Icon);
}
