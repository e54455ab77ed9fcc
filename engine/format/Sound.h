#pragma once

// Sound records: DefineSound (an event sound's samples), StartSound and StartSound2
// (play one, with its sound-info), SoundStreamHead(2) and SoundStreamBlock (a
// timeline's streamed sound, one block per frame) and DefineButtonSound (the sounds of
// a button's transitions). The sample data stay undecoded views into the tag bodies.

#include "engine/format/Tags.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace swf {

// The stored codec numbers.
enum class SoundFormat : uint8_t {
    PcmNative = 0,   // uncompressed, the authoring machine's byte order
    Adpcm = 1,
    Mp3 = 2,
    PcmLittle = 3,   // uncompressed, little-endian
    Nelly16k = 4,
    Nelly8k = 5,
    Nellymoser = 6,
    Speex = 11,
};

// How samples are stored: codec, rate, width, channels.
struct SoundEncoding {
    SoundFormat format = SoundFormat::PcmLittle;
    uint8_t rateCode = 3;  // 0: 5.5 kHz, 1: 11 kHz, 2: 22 kHz, 3: 44 kHz
    bool is16Bit = true;
    bool stereo = false;

    // The codec's real rate in hertz (Nellymoser and Speex fix their own); 5.5 kHz
    // is 5512.5 Hz, given as 5512.
    int sampleRate() const;
    int channels() const { return stereo ? 2 : 1; }
    bool known() const;
};

std::string soundFormatName(SoundFormat format);

struct SoundDef {
    uint16_t id = 0;
    SoundEncoding encoding;
    uint32_t sampleCount = 0;  // per channel, as declared (may lie)
    // MP3 only: samples of decoder delay to drop at the start.
    int seekSamples = 0;
    std::span<const uint8_t> data;  // the codec payload
};

struct SoundEnvelopePoint {
    uint32_t position44 = 0;  // in samples at 44.1 kHz from where the sound starts
    uint16_t left = 32768;    // 0 .. 32768
    uint16_t right = 32768;
};

struct SoundInfo {
    bool syncStop = false;        // stop this sound wherever it plays, start nothing
    bool syncNoMultiple = false;  // do not start it while it plays already
    std::optional<uint32_t> inPoint;   // 44.1 kHz samples skipped at the start
    std::optional<uint32_t> outPoint;  // 44.1 kHz sample where it ends
    uint16_t loopCount = 1;
    std::vector<SoundEnvelopePoint> envelope;
};

struct StartSoundDef {
    uint16_t soundId = 0;      // StartSound
    std::string className;     // StartSound2 names a class instead
    SoundInfo info;
};

struct SoundStreamHeadDef {
    SoundEncoding playback;  // what the authoring tool suggests playing at
    SoundEncoding stream;    // how the blocks are stored
    uint16_t samplesPerBlock = 0;  // per frame, on average
    int latencySeek = 0;           // MP3: decoder delay to drop at the start
};

// One frame's share of a stream. For MP3 the block starts with its sample count and
// seek samples; `data` is the payload after them.
struct SoundStreamBlockDef {
    std::span<const uint8_t> data;
    uint16_t sampleCount = 0;  // MP3 only
    int seekSamples = 0;       // MP3 only
};

// The four transitions DefineButtonSound gives a sound to, in stored order.
enum class ButtonSoundTransition : uint8_t { OverUpToIdle, IdleToOverUp, OverUpToOverDown, OverDownToOverUp };

struct ButtonSoundEntry {
    uint16_t soundId = 0;  // 0: no sound
    SoundInfo info;
};

struct ButtonSoundDef {
    uint16_t buttonId = 0;
    std::array<ButtonSoundEntry, 4> sounds;  // by ButtonSoundTransition
};

// Each takes the tag body; malformed bodies raise FormatError.
SoundInfo parseSoundInfo(ByteReader& r);
SoundDef parseDefineSound(std::span<const uint8_t> body);
StartSoundDef parseStartSound(const Tag& tag);  // StartSound and StartSound2
SoundStreamHeadDef parseSoundStreamHead(std::span<const uint8_t> body);
SoundStreamBlockDef parseSoundStreamBlock(std::span<const uint8_t> body, SoundFormat streamFormat);
ButtonSoundDef parseDefineButtonSound(std::span<const uint8_t> body);

} // namespace swf
