#include "tests/support/SoundWriter.h"

namespace swf::test {

namespace {

void encoding(BitWriter& w, const SoundFields& f)
{
    w.ub(static_cast<uint8_t>(f.format), 4);
    w.ub(f.rateCode, 2);
    w.flag(f.is16Bit);
    w.flag(f.stereo);
}

} // namespace

std::vector<uint8_t> soundInfoBytes(const SoundInfo& info)
{
    BitWriter w;
    uint8_t flags = (info.syncStop ? 0x20 : 0) | (info.syncNoMultiple ? 0x10 : 0) | (!info.envelope.empty() ? 0x08 : 0) |
                    (info.loopCount != 1 ? 0x04 : 0) | (info.outPoint ? 0x02 : 0) | (info.inPoint ? 0x01 : 0);
    w.u8(flags);
    if (info.inPoint)
        w.u32(*info.inPoint);
    if (info.outPoint)
        w.u32(*info.outPoint);
    if (info.loopCount != 1)
        w.u16(info.loopCount);
    if (!info.envelope.empty()) {
        w.u8(static_cast<uint8_t>(info.envelope.size()));
        for (const SoundEnvelopePoint& p : info.envelope) {
            w.u32(p.position44);
            w.u16(p.left);
            w.u16(p.right);
        }
    }
    return w.take();
}

std::vector<uint8_t> pcm16Bytes(std::span<const int16_t> samples)
{
    BitWriter w;
    for (int16_t s : samples)
        w.u16(static_cast<uint16_t>(s));
    return w.take();
}

std::vector<int16_t> ramp(size_t count, int16_t first, int16_t step)
{
    std::vector<int16_t> out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(first + static_cast<int>(i) * step);
    return out;
}

void defineSound(TagStream& tags, uint16_t id, const SoundFields& fields, uint32_t sampleCount,
                 std::span<const uint8_t> data)
{
    BitWriter w;
    w.u16(id);
    encoding(w, fields);
    w.u32(sampleCount);
    w.bytes(data);
    tags.tag(static_cast<uint16_t>(TagCode::DefineSound), w.take(), true);
}

void definePcmSound(TagStream& tags, uint16_t id, std::span<const int16_t> samples)
{
    defineSound(tags, id, {}, static_cast<uint32_t>(samples.size()), pcm16Bytes(samples));
}

void startSound(TagStream& tags, uint16_t id, const SoundInfo& info)
{
    BitWriter w;
    w.u16(id);
    w.bytes(soundInfoBytes(info));
    tags.tag(static_cast<uint16_t>(TagCode::StartSound), w.take());
}

void soundStreamHead(TagStream& tags, const SoundFields& fields, uint16_t samplesPerBlock, bool version2)
{
    BitWriter w;
    w.ub(0, 4);
    w.ub(fields.rateCode, 2);
    w.flag(fields.is16Bit);
    w.flag(fields.stereo);
    encoding(w, fields);
    w.u16(samplesPerBlock);
    if (fields.format == SoundFormat::Mp3)
        w.u16(0);
    tags.tag(static_cast<uint16_t>(version2 ? TagCode::SoundStreamHead2 : TagCode::SoundStreamHead), w.take());
}

void soundStreamBlock(TagStream& tags, std::span<const uint8_t> data)
{
    tags.tag(static_cast<uint16_t>(TagCode::SoundStreamBlock), data, true);
}

void defineButtonSound(TagStream& tags, uint16_t buttonId, uint16_t pressSoundId)
{
    BitWriter w;
    w.u16(buttonId);
    w.u16(0);  // roll out
    w.u16(0);  // roll over
    w.u16(pressSoundId);
    w.bytes(soundInfoBytes({}));
    w.u16(0);  // release
    tags.tag(static_cast<uint16_t>(TagCode::DefineButtonSound), w.take());
}

} // namespace swf::test
