// The Flash Player version check.
#pragma once

namespace kvr {

// True when the installed Flash Player ActiveX control is recent enough.
bool FlashPlayerIsCurrent();

}  // namespace kvr
