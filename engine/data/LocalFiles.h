#pragma once

// What a movie opened from disk may reach. A local movie reads files in its own folder
// and below it, and nothing on the network: the rule the reference player's local-file
// sandbox keeps, and the one that stops a movie from reading a user's other files.
// Shared objects live under the user's data folder, one folder per movie path.

#include "engine/data/Amf0.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swf::data {

enum class UrlKind {
    LocalPath,  // a relative or absolute path, or a file: URL
    Web,        // http: or https:
    Mail,       // mailto:
    Network,    // any other network scheme (ftp:, rtmp:, ...)
    Script,     // javascript: / vbscript: / event: / fscommand: / asfunction: and the like
};

UrlKind classifyUrl(std::string_view url);

// "file://" and the absolute path of `file`, as a movie opened from disk reports its
// own address (_url).
std::string fileUrl(const std::filesystem::path& file);
// The full address of `url` as a script gave it, taken against `base`, the address of
// the movie that asked ("file:///dir/movie.swf"): an address with a scheme stays as it
// is, an absolute path becomes a file: URL, and a relative one is taken from the
// base's folder with its "." and ".." steps resolved (never above the base's root).
// An empty base leaves `url` as given.
std::string absoluteUrl(std::string_view base, std::string_view url);

struct LocalAccess {
    bool allowed = false;
    std::filesystem::path path;  // when allowed: the file to read
    std::string refusal;         // when refused: why, for the one notice per movie
};

class LocalSandbox {
public:
    // `movieFile` is the movie's own path; its folder is the tree it may read.
    explicit LocalSandbox(const std::filesystem::path& movieFile);

    // A URL as a script gives it ("data/a.txt", "file:///...", "../x", "http://...").
    // A query ("?x=1") and a fragment are not part of the file name.
    LocalAccess resolve(std::string_view url) const;

    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

// Reads a whole file the sandbox allowed, up to `maxBytes`; nullopt when it cannot be
// read or is larger.
std::optional<std::vector<uint8_t>> readLocalFile(const std::filesystem::path& path, size_t maxBytes);

class SharedObjectStore {
public:
    static constexpr size_t kDefaultQuota = 100 * 1024;

    // `dataHome`: $XDG_DATA_HOME (or ~/.local/share); `movieFile`: the movie's path.
    SharedObjectStore(std::filesystem::path dataHome, const std::filesystem::path& movieFile);

    // Where the object `name` (with the script's optional `localPath`) lives; nullopt
    // for a name the player refuses (characters not allowed in shared-object names).
    std::optional<std::filesystem::path> pathOf(std::string_view name, std::string_view localPath = {}) const;

    struct Loaded {
        std::optional<SolFile> file;  // nullopt: nothing stored, or stored data damaged
        std::string notice;           // set when stored data was damaged and ignored
    };
    Loaded load(std::string_view name, std::string_view localPath = {}) const;

    // Writes to a temporary file beside the target and renames it into place, so a full
    // disk or a crash never leaves half a file. Returns an empty string on success, else
    // why it failed (over the quota, cannot write).
    std::string save(std::string_view name, std::string_view localPath, const SolFile& file, size_t quota = kDefaultQuota) const;

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path base_;
    std::filesystem::path moviePath_;
    std::filesystem::path folder_;
};

// The data folder the freedesktop rules give: $XDG_DATA_HOME, else $HOME/.local/share.
std::filesystem::path userDataHome();

} // namespace swf::data
