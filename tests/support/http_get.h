// A plain HTTP/1.0 request to a loopback server, for tests of the exporter
// and of a Prometheus server.
#pragma once

#include <string>

struct HttpReply {
    int status = 0;  // 0 when no answer came
    std::string headers;
    std::string body;
};

HttpReply http_request(int port, const std::string& method, const std::string& path);
inline HttpReply http_get(int port, const std::string& path) {
    return http_request(port, "GET", path);
}

// A loopback TCP port that nothing listens on at the moment of asking.
int free_loopback_port();
