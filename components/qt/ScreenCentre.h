// Places a top-level window in the middle of the screen it will appear on,
// frame included, as the program's windows open.
#pragma once

class QWidget;

void CentreOnScreen(QWidget& window);
