#include "engine/movie/LoadedContent.h"

#include "engine/format/Bitmap.h"
#include "engine/format/Container.h"
#include "engine/format/Drawing.h"
#include "engine/format/Error.h"
#include "engine/format/Reader.h"
#include "engine/render/BitmapImages.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>

namespace swf::movie {

namespace {

// DefineBitsJPEG2: its decoder takes JPEG, PNG and GIF data alike.
constexpr int kPictureTag = 21;
constexpr uint16_t kPictureBitmapId = 1;
constexpr uint16_t kPictureShapeId = 2;
constexpr int kTwips = 20;

// The bitmaps of a loaded movie, kept alive with the movie they belong to.
class MovieBitmaps final : public render::BitmapSource {
public:
    explicit MovieBitmaps(std::shared_ptr<const MovieDef> movie) : movie_(std::move(movie)), images_(movie_->bitmaps) {}
    const QImage* bitmap(uint16_t characterId) const override { return images_.bitmap(characterId); }

private:
    std::shared_ptr<const MovieDef> movie_;
    render::BitmapImages images_;
};

} // namespace

bool looksLikePicture(std::span<const uint8_t> bytes)
{
    auto startsWith = [&](std::initializer_list<uint8_t> magic) {
        return bytes.size() >= magic.size() && std::equal(magic.begin(), magic.end(), bytes.begin());
    };
    return startsWith({0xFF, 0xD8}) || startsWith({0x89, 'P', 'N', 'G'}) || startsWith({'G', 'I', 'F', '8'});
}

std::shared_ptr<const MovieDef> pictureMovie(std::span<const uint8_t> bytes, int version)
{
    ByteReader reader(bytes);
    std::shared_ptr<const BitmapData> bitmap = decodeBitmapTag(kPictureTag, reader, {});
    if (!bitmap || bitmap->width <= 0 || bitmap->height <= 0)
        throw FormatError("the picture holds no pixels");
    const double width = static_cast<double>(bitmap->width) * kTwips;
    const double height = static_cast<double>(bitmap->height) * kTwips;

    auto movie = std::make_shared<MovieDef>();
    movie->header.version = version;
    movie->header.frameCount = 1;
    movie->header.stage = Rect{0, static_cast<int32_t>(width), 0, static_cast<int32_t>(height)};
    movie->header.declaredLength = static_cast<uint32_t>(bytes.size());
    movie->bitmaps[kPictureBitmapId] = bitmap;

    // A rectangle the size of the picture, filled with it one pixel to twenty twips.
    Drawing drawing;
    FillStyle fill;
    fill.kind = FillKind::Bitmap;
    fill.bitmapId = kPictureBitmapId;
    fill.bitmapMatrix = Matrix{kTwips, 0, 0, kTwips, 0, 0};
    fill.bitmapRepeats = false;
    fill.bitmapSmoothed = false;
    drawing.beginFill(fill);
    drawing.moveTo({0, 0});
    drawing.lineTo({width, 0});
    drawing.lineTo({width, height});
    drawing.lineTo({0, height});
    drawing.lineTo({0, 0});
    drawing.endFill();
    Character shape;
    shape.kind = CharacterKind::Shape;
    shape.shape = drawing.shape();
    movie->dictionary[kPictureShapeId] = std::move(shape);

    PlaceObject place;
    place.depth = 1;
    place.characterId = kPictureShapeId;
    place.matrix = Matrix{};
    movie->root.frames.resize(1);
    movie->root.frames[0].tags.emplace_back(place);
    movie->root.byteLength = static_cast<uint32_t>(bytes.size());
    return movie;
}

std::shared_ptr<const LoadedContent> makeLoadedContent(std::span<const uint8_t> bytes, const std::string& url)
{
    auto content = std::make_shared<LoadedContent>();
    content->url = url;
    try {
        if (looksLikeMovie(bytes))
            content->movie = buildMovie(decodeMovie(bytes));
        else if (looksLikePicture(bytes)) {
            content->movie = pictureMovie(bytes, 8);
            content->picture = true;
        }
    } catch (const std::exception&) {
        return nullptr;
    }
    if (!content->movie || content->movie->root.frames.empty())
        return nullptr;
    content->bitmaps = std::make_shared<MovieBitmaps>(content->movie);
    return content;
}

} // namespace swf::movie
