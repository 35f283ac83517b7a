#include "app/FileChooser.h"

namespace Halvo::App {

bool FileChooser::PathOfFileUri(const std::string& uri, std::string& path) {
    constexpr std::string_view scheme = "file://";
    if (uri.compare(0, scheme.size(), scheme) != 0) {
        return false;
    }
    // "file://host/path": only this machine's files (an empty host or "localhost") can be opened.
    const std::size_t slash = uri.find('/', scheme.size());
    if (slash == std::string::npos) {
        return false;
    }
    const std::string host = uri.substr(scheme.size(), slash - scheme.size());
    if (!host.empty() && host != "localhost") {
        return false;
    }
    const auto hexValue = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::string decoded;
    for (std::size_t at = slash; at < uri.size(); ++at) {
        if (uri[at] != '%') {
            decoded += uri[at];
            continue;
        }
        const int high = at + 2 < uri.size() ? hexValue(uri[at + 1]) : -1;
        const int low = at + 2 < uri.size() ? hexValue(uri[at + 2]) : -1;
        // A file name cannot hold a NUL byte.
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return false;
        }
        decoded += static_cast<char>(high << 4 | low);
        at += 2;
    }
    path = decoded;
    return true;
}

} // namespace Halvo::App
