// Names for screen readers and UI automation. A control that shows a text
// (a button, a check box, a radio button) is named by that text; one that
// shows none (a text box, a slider, a plot) by its hint, or by the name its
// window gives it. The names are Japanese, as everything the user reads.
#pragma once

#include <QString>
#include <initializer_list>
#include <utility>

class QWidget;

// Names every control under `window` (the window included) that has no
// accessible name yet: first from `names` (object name → name), then from
// its caption, then from its hint. Call it once the window's controls exist.
void NameControls(QWidget& window, std::initializer_list<std::pair<const char*, const char*>> names = {});

// The caption of a control as a name: the mnemonic mark and the full-width
// spaces that widen captions ("評　価") removed.
QString CaptionAsName(QString caption);
