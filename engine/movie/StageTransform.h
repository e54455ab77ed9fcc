#pragma once

// Where the stage lands in a window: the twips -> device matrix for each scale mode.

#include "engine/format/Primitives.h"

namespace swf::movie {

enum class StageScale { ShowAll, NoBorder, ExactFit, NoScale };

struct DeviceArea {
    double x = 0, y = 0, width = 0, height = 0;
};

// ShowAll: the whole stage visible, aspect kept, centred. NoBorder: the area filled,
// aspect kept, centred, the overflow cut off. ExactFit: stretched to the area.
// NoScale: one stage pixel per device pixel, centred.
Matrix stageToDevice(const Rect& stage, const DeviceArea& area, StageScale scale);

} // namespace swf::movie
