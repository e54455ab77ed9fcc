#pragma once

// What the loading classes (XML, LoadVars, loadVariables, MovieClipLoader, loadMovie,
// SharedObject, getURL) ask of the world outside the machine. The player implements
// it over the movie's local-file sandbox and the user's data folder; the machine
// knows nothing of paths or the desktop.

#include "engine/data/LocalFiles.h"
#include "engine/data/OutgoingRequest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace swf::avm1 {

class LoadHost {
public:
    virtual ~LoadHost() = default;

    // The bytes of `url` (relative to the movie's folder, or a file: address), or
    // nullopt when the movie may not read it or it cannot be read. Refusals are the
    // host's to report, once a movie.
    virtual std::optional<std::vector<uint8_t>> readFile(const std::string& url) = 0;
    // The store shared objects live in; null when the movie has no file of its own
    // (loaded from bytes) and so no place to keep them.
    virtual const data::SharedObjectStore* sharedObjects() = 0;
    // A problem the movie plays on through, one line.
    virtual void notice(const std::string& line) = 0;
    // getURL of a web or mail address: handed to the desktop's opener when the user's
    // press or key asked for it.
    virtual void openUrl(const std::string& url, const std::string& target) = 0;
    // fscommand("name", "args"): the commands a stand-alone player answers.
    virtual void fsCommand(const std::string& /*command*/, const std::string& /*args*/) {}
    // Every request for the world outside the player, as the script made it and
    // before any rule refuses it (what it then does is the caller's business).
    virtual void requestMade(const data::OutgoingRequest& /*request*/) {}
};

} // namespace swf::avm1
