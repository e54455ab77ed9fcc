#pragma once

namespace lanfan {

// Makes the program's compiled-in resources (":/...") available; cheap after the first call.
void ensureResources();

} // namespace lanfan
