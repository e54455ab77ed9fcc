#pragma once

// The player control's automation interface: exactly the operations the main window
// uses. Frames are numbered 1 to FrameCount for both SeekToFrame and QueryCurrentFrame.
// Every operation may fail with one of the OLE error classes.

#include <QString>

#include <cstdint>

namespace lanfan {

class IShockwaveFlash {
public:
    virtual ~IShockwaveFlash() = default;

    virtual void SetMovie(const QString& path) = 0;  // put Movie
    virtual int32_t FrameCount() = 0;                // get FrameCount
    virtual bool Playing() = 0;                      // get Playing (non-zero while playing)
    virtual void StartPlayback() = 0;
    virtual void StopPlayback() = 0;
    virtual void SeekToFrame(int32_t frame) = 0;
    virtual int32_t QueryCurrentFrame() = 0;
};

} // namespace lanfan
