// Turns the tag stream into definitions: characters into the dictionary, control tags
// into frames. Tag bodies that fail to parse are dropped one by one; a movie with a
// damaged shape still plays the rest.

#include "engine/audio/Decoder.h"
#include "engine/format/Bitmap.h"
#include "engine/format/Button.h"
#include "engine/format/EditText.h"
#include "engine/format/Font.h"
#include "engine/format/Shape.h"
#include "engine/format/Text.h"
#include "engine/format/Video.h"
#include "engine/movie/ButtonCharacter.h"
#include "engine/movie/ClipEvents.h"
#include "engine/movie/MovieDef.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

namespace swf::movie {

namespace {

constexpr int kMaxFrames = 65535;
// Memory the decoded definitions (bitmap pixels, shape records) of one movie may take.
// Compression lets a small file ask for far more than that; such a movie is refused
// with this limit named rather than left to exhaust the machine.
constexpr size_t kMaxDefinitionBytes = size_t{1} << 30;
constexpr uint16_t kScriptLimitsTag = 65;
// CSMTextSettings: how a text is rendered (its id, then the renderer in the top two
// bits of a byte: 1 for advanced anti-aliasing).
constexpr uint16_t kTextSettingsTag = 74;

class Loader {
public:
    explicit Loader(MovieDef& movie) : movie_(movie) {}

    // The definitions read so far take more memory than a movie may use.
    bool overBudget() const { return definitionBytes_ > kMaxDefinitionBytes; }

    void readTimeline(std::span<const uint8_t> stream, TimelineDef& timeline, int declaredFrames, bool isRoot)
    {
        timeline.byteLength = static_cast<uint32_t>(stream.size());
        Frame current;
        bool currentHasContent = false;
        std::optional<audio::StreamBuilder> soundStream;
        TagReader tags(stream);
        bool ended = false;
        bool damaged = false;
        while (auto tag = tags.next()) {
            if (tag->is(TagCode::End) || overBudget()) {
                ended = true;
                break;
            }
            if (readSoundTag(*tag, timeline, current, soundStream)) {
                currentHasContent = true;
                continue;
            }
            if (tag->is(TagCode::ShowFrame)) {
                if (timeline.frames.size() >= kMaxFrames)
                    break;
                timeline.frames.push_back(std::move(current));
                current = {};
                currentHasContent = false;
                continue;
            }
            if (breaksTimeline(*tag)) {
                damaged = true;
                movie_.notices.push_back("the movie's tags are damaged after frame " +
                                         std::to_string(timeline.frames.size()) + "; loading stopped there");
                break;
            }
            try {
                if (tag->is(TagCode::VideoFrame)) {
                    addVideoFrame(*tag);
                    continue;
                }
                if (readControlTag(*tag, timeline, current)) {
                    currentHasContent = true;
                    continue;
                }
                if (isRoot) {
                    rootFrame_ = static_cast<int>(timeline.frames.size()) + 1;
                    rootFrameTags_ = current.tags.size();
                    readDefinitionTag(*tag);
                }
            } catch (const std::exception&) {
                // A damaged tag is skipped; the stream itself is still in step.
            }
        }
        // A stream that reached its End tag keeps the content after its last ShowFrame
        // as a frame; one that broke off (cut short, damaged, or a movie whose declared
        // length ends before its End tag) keeps only whole frames, unless nothing else
        // loaded.
        bool whole = !damaged && (ended || !isRoot);
        const int closed = static_cast<int>(timeline.frames.size());
        bool open = false;
        if (currentHasContent && timeline.frames.size() < kMaxFrames && (whole || timeline.frames.empty())) {
            timeline.frames.push_back(std::move(current));
            open = true;
        }
        if (timeline.frames.empty())
            timeline.frames.emplace_back();
        int loaded = static_cast<int>(timeline.frames.size());
        // The declared count wins when it is larger: those frames exist, only empty.
        size_t wanted = static_cast<size_t>(std::clamp(declaredFrames, 1, kMaxFrames));
        if (timeline.frames.size() < wanted)
            timeline.frames.resize(wanted);
        // The main movie's frames past the last one its stream holds never arrive: the
        // playhead waits on the last loaded frame instead of going round to replay it.
        // A sprite's declared frames all count as loaded.
        const bool short_ = isRoot && timeline.frames.size() > static_cast<size_t>(loaded);
        timeline.loadedFrames = whole && !short_ ? -1 : loaded;
        timeline.declaresNoFrames = !isRoot && declaredFrames == 0;
        timeline.ended = ended && !damaged;
        if (!isRoot) {
            timeline.closedFrames = closed;
            timeline.openLastFrame = open;
        }
        for (FrameLabel& label : timeline.labels)
            label.frame = std::min(label.frame, timeline.frameCount());
        if (soundStream && !soundStream->empty())
            decodeStream(*soundStream, timeline);
    }

    // Puts each stream's pictures in frame order, once all are read.
    void finishVideos()
    {
        for (auto& [id, video] : videos_)
            video->finish();
    }

private:
    // A stream's pictures may sit in any timeline, after the stream's definition.
    void addVideoFrame(const Tag& tag)
    {
        VideoFrameTag frame = parseVideoFrame(tag.body);
        auto video = videos_.find(frame.streamId);
        if (video == videos_.end())
            return;
        charge(sizeof(VideoFrameTag));
        video->second->frames.push_back(frame);
    }

    void defineVideo(std::span<const uint8_t> body)
    {
        auto video = std::make_shared<EmbeddedVideo>();
        video->def = parseDefineVideoStream(body);
        const uint16_t id = video->def.id;
        if (movie_.dictionary.contains(id))
            return;
        videos_.emplace(id, video);
        Character character{CharacterKind::Video, nullptr, nullptr, nullptr};
        character.video = std::move(video);
        define(id, std::move(character));
    }

    // Sound tags of a timeline: event sounds a frame starts, and the stream's head and
    // blocks. Returns true when the tag belongs to the frame being collected.
    bool readSoundTag(const Tag& tag, const TimelineDef& timeline, Frame& current,
                      std::optional<audio::StreamBuilder>& soundStream)
    {
        try {
            switch (static_cast<TagCode>(tag.code)) {
            case TagCode::StartSound:
            case TagCode::StartSound2: current.sounds.push_back(parseStartSound(tag)); return true;
            case TagCode::SoundStreamHead:
            case TagCode::SoundStreamHead2:
                // One stream per timeline; a second head is ignored, as its blocks
                // could not be told apart from the first one's.
                if (!soundStream)
                    soundStream.emplace(parseSoundStreamHead(tag.body));
                return false;
            case TagCode::SoundStreamBlock:
                if (soundStream) {
                    int frame = static_cast<int>(timeline.frames.size()) + 1;
                    soundStream->addBlock(frame, parseSoundStreamBlock(tag.body, soundStream->head().stream.format));
                    return true;
                }
                return false;
            default: return false;
            }
        } catch (const FormatError& error) {
            movie_.notices.push_back(std::string("a damaged sound tag was skipped: ") + error.what());
            return false;
        }
    }

    size_t budgetLeft() const { return overBudget() ? 0 : kMaxDefinitionBytes - definitionBytes_; }

    void decodeStream(const audio::StreamBuilder& builder, TimelineDef& timeline)
    {
        try {
            auto stream = std::make_shared<audio::StreamPcm>(builder.decode(timeline.frameCount(), budgetLeft()));
            charge(stream->pcm.bytes());
            timeline.stream = std::move(stream);
        } catch (const audio::DecodeError& error) {
            movie_.notices.push_back(std::string("a streamed sound was skipped: ") + error.what());
        }
    }

    void defineSound(std::span<const uint8_t> body)
    {
        SoundDef def = parseDefineSound(body);
        if (movie_.sounds.count(def.id))
            return;
        try {
            auto pcm = std::make_shared<audio::Pcm>(audio::decodeSound(def, budgetLeft()));
            charge(pcm->bytes());
            movie_.sounds.emplace(def.id, std::move(pcm));
        } catch (const audio::DecodeError& error) {
            movie_.notices.push_back("sound " + std::to_string(def.id) + " was skipped: " + error.what());
        }
    }

    // A tag the timeline is built from that cannot be read ends the load, as the
    // reference player's loader gives up there: a placement whose event handlers run
    // past their tag or lack a key-press handler's key code, scene and label data
    // whose counts the tag cannot hold.
    bool breaksTimeline(const Tag& tag) const
    {
        switch (static_cast<TagCode>(tag.code)) {
        case TagCode::PlaceObject2:
        case TagCode::PlaceObject3:
            try {
                PlaceObject place = parsePlaceObject(tag);
                return !clipActionsWellFormed(place.clipActions, movie_.header.version);
            } catch (const FormatError&) {
                return false;  // skipped as any damaged tag
            }
        case TagCode::DefineSceneAndFrameLabelData: return !sceneAndFrameLabelDataWellFormed(tag.body);
        default: return false;
        }
    }

    // Returns true when `tag` belongs to the frame being collected.
    bool readControlTag(const Tag& tag, TimelineDef& timeline, Frame& current)
    {
        switch (static_cast<TagCode>(tag.code)) {
        case TagCode::PlaceObject:
        case TagCode::PlaceObject2:
        case TagCode::PlaceObject3: {
            PlaceObject place = parsePlaceObject(tag);
            if (!place.clipActions.empty())
                movie_.hasScripts = true;
            current.tags.emplace_back(std::move(place));
            return true;
        }
        case TagCode::RemoveObject:
        case TagCode::RemoveObject2: current.tags.emplace_back(parseRemoveObject(tag)); return true;
        case TagCode::DoAction:
            movie_.hasScripts = true;
            current.tags.emplace_back(DoAction{tag.body});
            return true;
        case TagCode::DoInitAction: {
            if (tag.body.size() < 2)
                return false;
            movie_.hasScripts = true;
            uint16_t id = static_cast<uint16_t>(tag.body[0] | (tag.body[1] << 8));
            current.tags.emplace_back(InitAction{id, tag.body.subspan(2)});
            return true;
        }
        case TagCode::FrameLabel:
            timeline.labels.push_back({parseFrameLabel(tag), static_cast<int>(timeline.frames.size()) + 1});
            return false;
        default: return false;
        }
    }

    void readDefinitionTag(const Tag& tag)
    {
        ByteReader body(tag.body);
        switch (static_cast<TagCode>(tag.code)) {
        case TagCode::SetBackgroundColor:
            if (!backgroundSet_) {
                movie_.background = parseSetBackgroundColor(tag);
                backgroundSet_ = true;
            }
            break;
        case TagCode::FileAttributes: movie_.attributes = parseFileAttributes(tag); break;
        case TagCode::DoAbc:
        case TagCode::DoAbcLegacy: movie_.hasAbc = true; break;
        case TagCode::DefineShape:
        case TagCode::DefineShape2:
        case TagCode::DefineShape3:
        case TagCode::DefineShape4: {
            uint16_t id = body.u16();
            Character character{CharacterKind::Shape, parseDefineShape(tag.code, body), nullptr, nullptr};
            charge(character.shape->records.size() * sizeof(ShapeRecord) +
                   character.shape->fillStyles.size() * sizeof(FillStyle) +
                   character.shape->lineStyles.size() * sizeof(LineStyle));
            define(id, std::move(character));
            break;
        }
        case TagCode::DefineMorphShape:
        case TagCode::DefineMorphShape2: {
            uint16_t id = body.u16();
            Character character{CharacterKind::MorphShape, nullptr, parseDefineMorphShape(tag.code, body), nullptr};
            charge(2 * character.morph->startRecords.size() * sizeof(ShapeRecord) +
                   character.morph->fillStyles.size() * sizeof(MorphFillStyle) +
                   character.morph->lineStyles.size() * sizeof(MorphLineStyle));
            define(id, std::move(character));
            break;
        }
        case TagCode::DefineFont:
        case TagCode::DefineFont2:
        case TagCode::DefineFont3:
        case TagCode::DefineFontInfo:
        case TagCode::DefineFontInfo2:
        case TagCode::DefineText:
        case TagCode::DefineText2:
        case TagCode::DefineEditText: readTextTag(tag, body); break;
        case TagCode::JpegTables: jpegTables_ = tag.body; break;
        case TagCode::ExportAssets: {
            unsigned count = body.u16();
            for (unsigned i = 0; i < count && !body.atEnd(); ++i) {
                uint16_t id = body.u16();
                // A name exported again stands for the later symbol.
                std::string name = body.cstring();
                movie_.exportFrames.insert_or_assign(name, rootFrame_);
                movie_.exports.insert_or_assign(std::move(name), id);
            }
            break;
        }
        case TagCode::DefineButton:
        case TagCode::DefineButton2: readButton(tag); break;
        case TagCode::DefineVideoStream: defineVideo(tag.body); break;
        case TagCode::DefineSound: defineSound(tag.body); break;
        case TagCode::DefineButtonSound: {
            ButtonSoundDef sounds = parseDefineButtonSound(tag.body);
            movie_.buttonSounds.try_emplace(sounds.buttonId, std::move(sounds));
            break;
        }
        case TagCode::DefineSprite: {
            SpriteHeader header = parseSpriteHeader(tag);
            auto sprite = std::make_shared<TimelineDef>();
            readTimeline(header.tags, *sprite, header.frameCount, false);
            define(header.id, Character{CharacterKind::Sprite, nullptr, nullptr, std::move(sprite)});
            break;
        }
        default:
            if (tag.code == kScriptLimitsTag && tag.body.size() >= 2) {
                movie_.maxRecursionDepth = body.u16();
                break;
            }
            if (tag.code == kTextSettingsTag && tag.body.size() >= 3) {
                const uint16_t id = body.u16();
                const bool advanced = (body.u8() >> 6) == 1;
                if (auto it = movie_.dictionary.find(id); it != movie_.dictionary.end())
                    it->second.advancedText = advanced;
                break;
            }
            if (isBitmapTag(tag.code)) {
                uint16_t id = body.u16();
                // A bitmap that cannot be decoded is left out: fills using it draw a
                // placeholder, and the rest of the movie plays.
                auto [entry, added] = movie_.bitmaps.try_emplace(id, decodeBitmapTag(tag.code, body, jpegTables_));
                if (added && entry->second)
                    charge(entry->second->pixels.size() * sizeof(uint32_t));
            }
            break;
        }
    }

    // Fonts go into their own table; texts and text fields take the fonts they name
    // from it as it stands when they are defined.
    void readTextTag(const Tag& tag, ByteReader& body)
    {
        const uint16_t id = body.u16();
        switch (static_cast<TagCode>(tag.code)) {
        case TagCode::DefineFont: defineFont(id, parseDefineFont(body)); break;
        case TagCode::DefineFont2:
        case TagCode::DefineFont3: defineFont(id, parseDefineFont2(tag.code, body)); break;
        case TagCode::DefineFontInfo:
        case TagCode::DefineFontInfo2: {
            auto font = movie_.fonts.find(id);
            if (font != movie_.fonts.end() && font->second->tagCode == static_cast<int>(TagCode::DefineFont))
                font->second = applyDefineFontInfo(tag.code, body, *font->second);
            break;
        }
        case TagCode::DefineText:
        case TagCode::DefineText2: {
            auto text = parseDefineText(tag.code, body);
            for (const TextRecord& record : text->records) {
                if (record.fontId)
                    text->fonts.try_emplace(*record.fontId, font(*record.fontId));
                charge(record.glyphs.size() * sizeof(GlyphEntry));
            }
            Character character{CharacterKind::Text, nullptr, nullptr, nullptr};
            character.text = std::move(text);
            define(id, std::move(character));
            break;
        }
        case TagCode::DefineEditText: {
            auto field = parseDefineEditText(body);
            if (field->fontId)
                field->font = font(*field->fontId);
            charge(field->initialText ? field->initialText->size() : 0);
            Character character{CharacterKind::EditText, nullptr, nullptr, nullptr};
            character.editText = std::move(field);
            define(id, std::move(character));
            break;
        }
        default: break;
        }
    }

    void readButton(const Tag& tag)
    {
        auto button = std::make_shared<ButtonCharacter>();
        button->def = parseDefineButton(tag.code, tag.body);
        button->movie = &movie_;
        for (const ButtonRecord& record : button->def.records)
            button->characters.push_back(movie_.character(record.characterId));
        if (!button->def.actions.empty())
            movie_.hasScripts = true;
        charge(button->def.records.size() * (sizeof(ButtonRecord) + sizeof(Character*)));
        Character character{CharacterKind::Button, nullptr, nullptr, nullptr};
        const uint16_t id = button->def.id;
        character.button = std::move(button);
        define(id, std::move(character));
    }

    void defineFont(uint16_t id, std::shared_ptr<const FontDef> font)
    {
        // Glyphs may share one outline; it takes its memory once.
        std::unordered_set<const ShapeDef*> counted;
        for (const Glyph& glyph : font->glyphs) {
            charge(sizeof(Glyph));
            if (glyph.shape && counted.insert(glyph.shape.get()).second)
                charge(glyph.shape->records.size() * sizeof(ShapeRecord));
        }
        movie_.fonts.try_emplace(id, std::move(font));
    }

    std::shared_ptr<const FontDef> font(uint16_t id) const
    {
        auto it = movie_.fonts.find(id);
        return it == movie_.fonts.end() ? nullptr : it->second;
    }

    // The first definition of an id stands, as in the reference player.
    void define(uint16_t id, Character character)
    {
        character.definedAt = rootFrame_;
        character.definedAfter = rootFrameTags_;
        movie_.dictionary.try_emplace(id, std::move(character));
    }

    void charge(size_t bytes) { definitionBytes_ += bytes; }

    size_t definitionBytes_ = 0;

    MovieDef& movie_;
    // The main timeline's frame (1-based) whose tags are being read.
    int rootFrame_ = 1;
    // The control tags of that frame read before the definition being read.
    size_t rootFrameTags_ = 0;
    bool backgroundSet_ = false;
    std::span<const uint8_t> jpegTables_;  // the movie's JPEGTables, for DefineBits
    // Video streams being read, still taking pictures.
    std::unordered_map<uint16_t, std::shared_ptr<EmbeddedVideo>> videos_;
};

} // namespace

namespace {

std::shared_ptr<const std::vector<std::shared_ptr<const FontDef>>> outlineFontsOf(const MovieDef& movie)
{
    std::vector<std::pair<uint16_t, std::shared_ptr<const FontDef>>> byId;
    for (const auto& [id, font] : movie.fonts) {
        if (font && font->hasOutlines())
            byId.emplace_back(id, font);
    }
    std::ranges::sort(byId, {}, &std::pair<uint16_t, std::shared_ptr<const FontDef>>::first);
    auto fonts = std::make_shared<std::vector<std::shared_ptr<const FontDef>>>();
    for (auto& entry : byId)
        fonts->push_back(std::move(entry.second));
    return fonts;
}

} // namespace

std::shared_ptr<const MovieDef> buildMovie(DecodedMovie decoded)
{
    auto movie = std::make_shared<MovieDef>();
    movie->header = decoded.header;
    movie->truncated = decoded.truncated;
    movie->bytes = std::move(decoded.body);
    auto stream = std::span<const uint8_t>(movie->bytes).subspan(std::min(decoded.tagsOffset, movie->bytes.size()));
    Loader loader(*movie);
    loader.readTimeline(stream, movie->root, movie->header.frameCount, true);
    loader.finishVideos();
    movie->outlineFonts = outlineFontsOf(*movie);
    if (loader.overBudget())
        throw ContainerError(ContainerError::Reason::TooLarge,
                             "its pictures and shapes need more than the " + std::to_string(kMaxDefinitionBytes >> 20) +
                                 " MiB of memory one movie may use");
    return movie;
}

} // namespace swf::movie
