#pragma once

#include <functional>

class ProgrammerLink;

// The Device menu's Fuse item. The window calls FuseClick with whether its
// Fuse item is enabled and a function that shows the editor modally (for
// TFuseForm: exec()); afterwards the window gives the focus to ResetCount.
namespace FuseLauncher {

enum class Outcome { NotConnected, Shown, NoFuse };

// No programmer found: "Comport Not Connect". Fuse item disabled: "Not Fuse
// on Device". Otherwise the editor is shown. Boxes go through the link's
// prompter.
Outcome FuseClick(ProgrammerLink &link, bool fuseItemEnabled, const std::function<void()> &showEditor);

} // namespace FuseLauncher
