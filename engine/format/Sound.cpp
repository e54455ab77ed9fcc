#include "engine/format/Sound.h"

#include "engine/format/Reader.h"

namespace swf {

namespace {

SoundEncoding readEncoding(BitReader& bits)
{
    SoundEncoding encoding;
    encoding.format = static_cast<SoundFormat>(bits.ub(4));
    encoding.rateCode = static_cast<uint8_t>(bits.ub(2));
    encoding.is16Bit = bits.flag();
    encoding.stereo = bits.flag();
    return encoding;
}

constexpr size_t kMaxEnvelopePoints = 255;

} // namespace

int SoundEncoding::sampleRate() const
{
    switch (format) {
    case SoundFormat::Nelly16k:
    case SoundFormat::Speex: return 16000;
    case SoundFormat::Nelly8k: return 8000;
    default: break;
    }
    static constexpr int kRates[] = {5512, 11025, 22050, 44100};
    return kRates[rateCode & 3];
}

bool SoundEncoding::known() const
{
    switch (format) {
    case SoundFormat::PcmNative:
    case SoundFormat::Adpcm:
    case SoundFormat::Mp3:
    case SoundFormat::PcmLittle:
    case SoundFormat::Nelly16k:
    case SoundFormat::Nelly8k:
    case SoundFormat::Nellymoser:
    case SoundFormat::Speex: return true;
    }
    return false;
}

std::string soundFormatName(SoundFormat format)
{
    switch (format) {
    case SoundFormat::PcmNative: return "uncompressed";
    case SoundFormat::Adpcm: return "ADPCM";
    case SoundFormat::Mp3: return "MP3";
    case SoundFormat::PcmLittle: return "uncompressed little-endian";
    case SoundFormat::Nelly16k: return "Nellymoser 16 kHz";
    case SoundFormat::Nelly8k: return "Nellymoser 8 kHz";
    case SoundFormat::Nellymoser: return "Nellymoser";
    case SoundFormat::Speex: return "Speex";
    }
    return "format " + std::to_string(static_cast<int>(format));
}

SoundInfo parseSoundInfo(ByteReader& r)
{
    SoundInfo info;
    uint8_t flags = r.u8();
    info.syncStop = (flags & 0x20) != 0;
    info.syncNoMultiple = (flags & 0x10) != 0;
    bool hasEnvelope = (flags & 0x08) != 0;
    bool hasLoops = (flags & 0x04) != 0;
    bool hasOutPoint = (flags & 0x02) != 0;
    bool hasInPoint = (flags & 0x01) != 0;
    if (hasInPoint)
        info.inPoint = r.u32();
    if (hasOutPoint)
        info.outPoint = r.u32();
    if (hasLoops)
        info.loopCount = r.u16();
    if (hasEnvelope) {
        size_t count = r.u8();
        if (count > kMaxEnvelopePoints || count * 8 > r.remaining())
            throw FormatError("sound envelope runs past the end of its tag");
        info.envelope.reserve(count);
        for (size_t i = 0; i < count; ++i) {
            SoundEnvelopePoint point;
            point.position44 = r.u32();
            point.left = r.u16();
            point.right = r.u16();
            info.envelope.push_back(point);
        }
    }
    return info;
}

SoundDef parseDefineSound(std::span<const uint8_t> body)
{
    ByteReader r(body);
    SoundDef sound;
    sound.id = r.u16();
    BitReader bits(r);
    sound.encoding = readEncoding(bits);
    sound.sampleCount = r.u32();
    if (sound.encoding.format == SoundFormat::Mp3)
        sound.seekSamples = r.s16();
    sound.data = r.rest();
    return sound;
}

StartSoundDef parseStartSound(const Tag& tag)
{
    ByteReader r(tag.body);
    StartSoundDef start;
    if (tag.is(TagCode::StartSound2))
        start.className = r.cstring();
    else
        start.soundId = r.u16();
    start.info = parseSoundInfo(r);
    return start;
}

SoundStreamHeadDef parseSoundStreamHead(std::span<const uint8_t> body)
{
    ByteReader r(body);
    SoundStreamHeadDef head;
    BitReader bits(r);
    bits.ub(4);  // reserved
    uint8_t playRate = static_cast<uint8_t>(bits.ub(2));
    head.playback.rateCode = playRate;
    head.playback.is16Bit = bits.flag();
    head.playback.stereo = bits.flag();
    head.stream = readEncoding(bits);
    head.playback.format = head.stream.format;
    head.samplesPerBlock = r.u16();
    // Writers often leave the latency out when it is zero.
    if (head.stream.format == SoundFormat::Mp3 && r.remaining() >= 2)
        head.latencySeek = r.s16();
    return head;
}

SoundStreamBlockDef parseSoundStreamBlock(std::span<const uint8_t> body, SoundFormat streamFormat)
{
    SoundStreamBlockDef block;
    if (streamFormat != SoundFormat::Mp3) {
        block.data = body;
        return block;
    }
    ByteReader r(body);
    block.sampleCount = r.u16();
    block.seekSamples = r.s16();
    block.data = r.rest();
    return block;
}

ButtonSoundDef parseDefineButtonSound(std::span<const uint8_t> body)
{
    ByteReader r(body);
    ButtonSoundDef def;
    def.buttonId = r.u16();
    for (ButtonSoundEntry& entry : def.sounds) {
        if (r.atEnd())
            break;  // writers may stop after the last transition with a sound
        entry.soundId = r.u16();
        if (entry.soundId != 0)
            entry.info = parseSoundInfo(r);
    }
    return def;
}

} // namespace swf
