#pragma once

struct TarvoLayout;

// Names for assistive technology that the controls do not get by
// themselves, each distinct within its window and made of what a sighted
// operator reads there.
namespace WindowNames {

// The edit field and the opened list of each list box ("Device text",
// "Device list"), File > Exit and the Device menu apart from the Exit
// button and the Device list, and the status bar named by the message it
// shows.
void nameMainWindow(const TarvoLayout &ui);

} // namespace WindowNames
