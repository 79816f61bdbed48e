#pragma once

namespace parcelo {
class CParceloApp;
}

namespace parcelo::ui {

// What the window's Close and End store, in this order: the source actions, the filter
// modes and the destination folder.
void SaveWindowSettings(const CParceloApp& app);

} // namespace parcelo::ui
