#include "FuseLauncher.h"

#include "ProgrammerLink.h"
#include "Prompter.h"

namespace FuseLauncher {

Outcome FuseClick(ProgrammerLink &link, bool fuseItemEnabled, const std::function<void()> &showEditor)
{
    if (!link.HardwareFound()) {
        link.prompter().inform(QStringLiteral("Comport Not Connect"));
        return Outcome::NotConnected;
    }
    if (!fuseItemEnabled) {
        link.prompter().inform(QStringLiteral("Not Fuse on Device"));
        return Outcome::NoFuse;
    }
    showEditor();
    return Outcome::Shown;
}

} // namespace FuseLauncher
