#include "engine/data/LocalFiles.h"

#include "engine/data/UrlVariables.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace swf::data {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The scheme of "scheme:rest", or empty. One letter before ':' is a drive ("C:\"), not
// a scheme.
std::string schemeOf(std::string_view url)
{
    const size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon < 2)
        return {};
    for (size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        if (!(std::isalnum(c) || c == '+' || c == '-' || c == '.'))
            return {};
    }
    return lower(url.substr(0, colon));
}

// Whether `path` lies inside `root` (both absolute and normal).
bool inside(const fs::path& path, const fs::path& root)
{
    auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return r == root.end();
}

fs::path normalCanonical(const fs::path& p)
{
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    if (ec)
        c = p.lexically_normal();
    return c;
}

} // namespace

UrlKind classifyUrl(std::string_view url)
{
    const std::string scheme = schemeOf(url);
    if (scheme.empty() || scheme == "file")
        return UrlKind::LocalPath;
    if (scheme == "http" || scheme == "https")
        return UrlKind::Web;
    if (scheme == "mailto")
        return UrlKind::Mail;
    static constexpr std::string_view network[] = {"ftp", "rtmp", "rtmpt", "rtmps", "rtmpe", "ws", "wss", "xmlsocket"};
    if (std::find(std::begin(network), std::end(network), scheme) != std::end(network))
        return UrlKind::Network;
    return UrlKind::Script;
}

std::string fileUrl(const fs::path& file)
{
    if (file.empty())
        return {};
    std::error_code error;
    fs::path full = fs::absolute(file, error);
    if (error)
        full = file;
    return "file://" + full.lexically_normal().generic_string();
}

std::string absoluteUrl(std::string_view base, std::string_view url)
{
    if (base.empty() || !schemeOf(url).empty())
        return std::string(url);
    std::string text(url);
    std::replace(text.begin(), text.end(), '\\', '/');
    // The base's scheme and host ("file://", "http://host") stay; only its path changes.
    const std::string_view baseAddress = base.substr(0, std::min(base.find('?'), base.find('#')));
    size_t pathStart = baseAddress.find(':') + 1;
    if (baseAddress.substr(pathStart).starts_with("//"))
        pathStart = std::min(baseAddress.find('/', pathStart + 2), baseAddress.size());
    const std::string prefix(baseAddress.substr(0, pathStart));
    std::string path;
    if (text.starts_with('/')) {
        path = text;
    } else {
        std::string_view basePath = baseAddress.substr(pathStart);
        const size_t slash = basePath.rfind('/');
        path = std::string(slash == std::string_view::npos ? std::string_view("/") : basePath.substr(0, slash + 1)) + text;
    }
    // The query and fragment of `url` are not path steps.
    const size_t tail = std::min(path.find('?'), path.find('#'));
    const std::string rest = tail == std::string::npos ? std::string() : path.substr(tail);
    path = path.substr(0, tail);
    std::vector<std::string> steps;
    size_t at = 1;  // past the leading '/'
    while (at <= path.size()) {
        size_t end = std::min(path.find('/', at), path.size());
        std::string step = path.substr(at, end - at);
        const bool last = end == path.size();
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
            if (last)
                steps.emplace_back();  // "a/.." names the folder: keep its trailing slash
        } else if (step == ".") {
            if (last)
                steps.emplace_back();
        } else if (!step.empty() || last) {
            steps.push_back(std::move(step));
        }
        at = end + 1;
    }
    std::string joined;
    for (const std::string& step : steps)
        joined += "/" + step;
    if (joined.empty())
        joined = "/";
    return prefix + joined + rest;
}

LocalSandbox::LocalSandbox(const fs::path& movieFile)
    : root_(normalCanonical(fs::absolute(movieFile).parent_path()))
{
}

LocalAccess LocalSandbox::resolve(std::string_view url) const
{
    LocalAccess access;
    const UrlKind kind = classifyUrl(url);
    if (kind != UrlKind::LocalPath) {
        access.refusal = "a local movie may not reach the network: " + std::string(url);
        return access;
    }
    std::string text(url.substr(0, std::min(url.find('?'), url.find('#'))));
    if (schemeOf(text) == "file") {
        // file:///abs, file://localhost/abs; the path part is URL-encoded.
        text = text.substr(5);
        if (text.starts_with("//")) {
            text = text.substr(2);
            const size_t slash = text.find('/');
            const std::string host = lower(text.substr(0, slash));
            if (!host.empty() && host != "localhost") {
                access.refusal = "a local movie may not reach another computer: " + std::string(url);
                return access;
            }
            text = slash == std::string::npos ? std::string("/") : text.substr(slash);
        }
        text = urlDecode(text);
    }
    std::replace(text.begin(), text.end(), '\\', '/');
    if (text.empty() || text.find('\0') != std::string::npos) {
        access.refusal = "not a file name: " + std::string(url);
        return access;
    }
    fs::path p(text);
    if (p.is_relative())
        p = root_ / p;
    const fs::path resolved = normalCanonical(p);
    if (!inside(resolved, root_)) {
        access.refusal = "a movie may read only files in its own folder: " + std::string(url);
        return access;
    }
    access.allowed = true;
    access.path = resolved;
    return access;
}

std::optional<std::vector<uint8_t>> readLocalFile(const fs::path& path, size_t maxBytes)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    const auto size = fs::file_size(path, ec);
    if (ec || size > maxBytes)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (static_cast<size_t>(in.gcount()) != data.size())
        return std::nullopt;
    return data;
}

fs::path userDataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local" / "share";
    return fs::temp_directory_path();
}

SharedObjectStore::SharedObjectStore(fs::path dataHome, const fs::path& movieFile)
{
    // One folder per movie path: the path's own components below the store, so two
    // movies of the same name in different folders keep apart.
    base_ = std::move(dataHome) / "lanfan-player" / "SharedObjects" / "localhost";
    moviePath_ = normalCanonical(fs::absolute(movieFile));
    folder_ = base_ / moviePath_.relative_path();
}

std::optional<fs::path> SharedObjectStore::pathOf(std::string_view name, std::string_view localPath) const
{
    static constexpr std::string_view refused = "~%&\\;:\"',<>?# ";
    if (name.empty() || name.find_first_of(refused) != std::string_view::npos || name.find('\0') != std::string_view::npos)
        return std::nullopt;
    fs::path relative(std::string{name});
    relative = relative.lexically_normal();
    if (relative.is_absolute() || relative.empty() || *relative.begin() == "..")
        return std::nullopt;
    fs::path base = folder_;
    // A local path names where the object is shared: the movie's own path or one of its
    // parent folders, so that movies of one folder tree can share data. Any other path
    // is refused, as the reference player refuses it.
    if (!localPath.empty()) {
        fs::path shared = fs::path(std::string(localPath)).lexically_normal();
        if (!shared.has_filename())
            shared = shared.parent_path();
        if (!shared.is_absolute() || !inside(moviePath_, shared))
            return std::nullopt;
        base = base_ / shared.relative_path();
    }
    return base / (relative.string() + ".sol");
}

SharedObjectStore::Loaded SharedObjectStore::load(std::string_view name, std::string_view localPath) const
{
    Loaded loaded;
    const auto path = pathOf(name, localPath);
    if (!path)
        return loaded;
    std::error_code ec;
    if (!fs::exists(*path, ec))
        return loaded;
    const auto data = readLocalFile(*path, 16 * 1024 * 1024);
    if (!data) {
        loaded.notice = "shared object " + std::string(name) + " could not be read and is ignored";
        return loaded;
    }
    try {
        loaded.file = readSol(*data);
    } catch (const AmfError& e) {
        loaded.notice = "shared object " + std::string(name) + " is damaged (" + e.message + ") and is ignored";
    }
    return loaded;
}

std::string SharedObjectStore::save(std::string_view name, std::string_view localPath, const SolFile& file, size_t quota) const
{
    const auto path = pathOf(name, localPath);
    if (!path)
        return "not a shared-object name: " + std::string(name);
    const std::vector<uint8_t> bytes = writeSol(file);
    if (bytes.size() > quota)
        return "shared object " + std::string(name) + " needs " + std::to_string(bytes.size()) + " bytes, more than the "
            + std::to_string(quota) + " a movie may store";
    std::error_code ec;
    fs::create_directories(path->parent_path(), ec);
    if (ec)
        return "cannot make the folder " + path->parent_path().string() + ": " + ec.message();
    fs::path temp = *path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temp, ec);
            return "cannot write " + path->string();
        }
    }
    fs::rename(temp, *path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        return "cannot write " + path->string() + ": " + ec.message();
    }
    return {};
}

} // namespace swf::data
