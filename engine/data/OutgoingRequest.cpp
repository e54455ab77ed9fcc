#include "engine/data/OutgoingRequest.h"

#include <cstdio>

namespace swf::data {

namespace {

std::string hexBytes(const std::vector<uint8_t>& bytes)
{
    std::string out = "[";
    char digits[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        out += (i ? ", " : "") + std::string(digits);
    }
    return out + "]";
}

} // namespace

std::vector<std::string> describeRequest(const OutgoingRequest& request)
{
    std::vector<std::string> lines;
    switch (request.kind) {
    case OutgoingRequest::Kind::Navigate:
        lines.push_back("Navigator::navigate_to_url:");
        lines.push_back("  URL: " + request.url);
        lines.push_back("  Target: " + request.target);
        if (!request.method.empty()) {
            lines.push_back("  Method: " + request.method);
            for (const auto& [name, value] : request.params)
                lines.push_back("  Param: " + name + "=" + value);
        }
        break;
    case OutgoingRequest::Kind::Fetch:
        lines.push_back("Navigator::fetch:");
        lines.push_back("  URL: " + request.url);
        lines.push_back("  Method: " + (request.method.empty() ? std::string("GET") : request.method));
        if (!request.mimeType.empty())
            lines.push_back("  Mime-Type: " + request.mimeType);
        if (!request.body.empty())
            lines.push_back("  Body: " + hexBytes(request.body));
        break;
    case OutgoingRequest::Kind::Socket:
        lines.push_back("Navigator::connect_socket");
        lines.push_back("    Host: " + request.host + "; Port: " + std::to_string(request.port));
        break;
    }
    return lines;
}

} // namespace swf::data
