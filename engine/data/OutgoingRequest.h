#pragma once

// A request a movie's scripts make of the world outside the player: an address to
// open in a window (getURL), data to send to a server (NetConnection.call), a socket
// to connect (XMLSocket.connect). Each is described as the movie asked for it, before
// the player decides whether it may go out at all, so that a tool can show what a
// movie tries to reach.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace swf::data {

struct OutgoingRequest {
    enum class Kind { Navigate, Fetch, Socket };
    Kind kind = Kind::Navigate;
    std::string url;     // Navigate, Fetch
    std::string target;  // Navigate: the window named, "_blank" in its one spelling
    // "GET" or "POST"; empty when no variables go with the request.
    std::string method;
    std::vector<std::pair<std::string, std::string>> params;  // Navigate: variables sent
    std::string mimeType;                                     // Fetch
    std::vector<uint8_t> body;                                // Fetch
    std::string host;                                         // Socket
    int port = 0;                                             // Socket
};

// The request as lines of text, the way a movie's network log shows them.
std::vector<std::string> describeRequest(const OutgoingRequest& request);

} // namespace swf::data
