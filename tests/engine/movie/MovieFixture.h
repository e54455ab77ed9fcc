#pragma once

// Helpers for timeline tests: movies from SwfWriter, loaded and stepped directly.

#include "engine/movie/MovieDef.h"
#include "engine/movie/Timeline.h"
#include "tests/support/SwfWriter.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace swf::movie::testing {

inline void defineEmptyShape(test::TagStream& s, uint16_t id)
{
    s.defineEmptyShape(id);
}

inline std::shared_ptr<const MovieDef> load(const test::SwfWriter& writer)
{
    return buildMovie(decodeMovie(writer.build()));
}

inline Matrix at(double x, double y = 0)
{
    return Matrix{1, 0, 0, 1, x, y};
}

inline test::Place placeAt(uint16_t depth, uint16_t character, double x = 0)
{
    test::Place p;
    p.depth = depth;
    p.characterId = character;
    p.matrix = at(x);
    return p;
}

inline test::Place moveTo(uint16_t depth, double x)
{
    test::Place p;
    p.depth = depth;
    p.move = true;
    p.matrix = at(x);
    return p;
}

// "depth:character" for each object, in depth order, e.g. "1:3 2:5".
inline std::string listOf(const ClipState& clip)
{
    std::string out;
    for (const DisplayObject& o : clip.children) {
        if (!out.empty())
            out += ' ';
        out += std::to_string(o.depth) + ':' + std::to_string(o.characterId);
    }
    return out;
}

// The "instanceN" names the timeline gives unnamed objects count creations, which a
// seek and playing do not share; dumps leave them out.
inline std::string givenName(const std::string& name)
{
    bool generated = name.size() > 8 && name.starts_with("instance") &&
                     name.find_first_not_of("0123456789", 8) == std::string::npos;
    return generated ? std::string() : name;
}

// Everything that makes up a clip's state, nested clips included, as readable text.
inline std::string dump(const ClipState& clip, int indent = 0)
{
    std::string pad(static_cast<size_t>(indent), ' ');
    std::string out = pad + "frame " + std::to_string(clip.frame) + (clip.playing ? " playing" : " stopped") + "\n";
    for (const DisplayObject& o : clip.children) {
        const Matrix& m = o.matrix;
        const ColorTransform& c = o.colorTransform;
        char line[400];
        std::snprintf(line, sizeof line, "%s[%u] char %u at %d m(%g %g %g %g %g %g) cx(%g %g %g %g %g %g %g %g) r%u '%s' clip%u %s\n",
                      pad.c_str(), o.depth, o.characterId, o.placedAt, m.a, m.b, m.c, m.d, m.tx, m.ty, c.rMul, c.gMul,
                      c.bMul, c.aMul, c.rAdd, c.gAdd, c.bAdd, c.aAdd, o.ratio, givenName(o.name).c_str(), o.clipDepth,
                      o.visible ? "" : "hidden");
        out += line;
        if (o.clip)
            out += dump(*o.clip, indent + 2);
    }
    return out;
}

struct Running {
    std::shared_ptr<const MovieDef> movie;
    std::vector<std::string> traces;
    std::unique_ptr<TimelinePlayer> player;
    ClipState root;

    explicit Running(const test::SwfWriter& writer) : movie(load(writer))
    {
        MovieHooks hooks;
        hooks.trace = [this](const std::string& line) { traces.push_back(line); };
        player = std::make_unique<TimelinePlayer>(*movie, hooks);
        root = player->makeRoot();
    }
    void step(int frames = 1)
    {
        for (int i = 0; i < frames; ++i)
            player->step(root);
    }
    void gotoFrame(int frame) { player->gotoFrame(root, {}, frame, true); }
};

} // namespace swf::movie::testing
