#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qtest {

namespace {

constexpr int ioTimeoutMs = 10000; // a stuck client ends its connection instead of the test

bool sameNoCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string trimmed(const std::string &text)
{
    size_t start = 0, end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.substr(start, end - start);
}

// Reads into `data` until it holds `want` bytes or the peer stops; false on a timeout or an error.
bool readMore(int fd, std::string &data)
{
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, ioTimeoutMs) <= 0)
        return false;
    char chunk[16384];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    data.append(chunk, static_cast<size_t>(n));
    return true;
}

void sendAll(int fd, const char *data, size_t n)
{
    while (n > 0) {
        const ssize_t sent = send(fd, data, n, MSG_NOSIGNAL);
        if (sent <= 0)
            return;
        data += sent;
        n -= static_cast<size_t>(sent);
    }
}

const char *reasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

std::string HttpRequest::header(const std::string &name) const
{
    for (const auto &h : headers)
        if (sameNoCase(h.first, name))
            return h.second;
    return "";
}

bool HttpRequest::hasHeader(const std::string &name) const
{
    for (const auto &h : headers)
        if (sameNoCase(h.first, name))
            return true;
    return false;
}

TestHttpServer::TestHttpServer(Script answer) : script(std::move(answer))
{
    // Whatever the environment says, nothing stands between the client and this server.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t size = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 || getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    boundPort = ntohs(address.sin_port);
    worker = std::thread([this] { run(); });
}

TestHttpServer::~TestHttpServer()
{
    stopping = true;
    worker.join();
    close(listener);
}

std::string TestHttpServer::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(boundPort) + path;
}

std::vector<HttpRequest> TestHttpServer::requests() const
{
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

void TestHttpServer::clearRequests()
{
    std::lock_guard<std::mutex> guard(lock);
    received.clear();
}

void TestHttpServer::run()
{
    while (!stopping) {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        serve(connection);
        close(connection);
    }
}

void TestHttpServer::serve(int connection)
{
    std::string data;
    size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos)
        if (!readMore(connection, data))
            return;
    HttpRequest request;
    const std::string head = data.substr(0, headEnd);
    size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const size_t a = first.find(' '), b = first.rfind(' ');
    request.method = first.substr(0, a);
    request.target = first.substr(a + 1, b - a - 1);
    request.version = first.substr(b + 1);
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos)
            request.headers.emplace_back(line.substr(0, colon), trimmed(line.substr(colon + 1)));
    }
    const std::string lengthText = request.header("Content-Length");
    const size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
    request.body = data.substr(headEnd + 4);
    while (request.body.size() < length)
        if (!readMore(connection, request.body))
            break;
    {
        std::lock_guard<std::mutex> guard(lock);
        received.push_back(request);
    }

    const HttpReply reply = script(request);
    if (reply.closeWithoutAnswer)
        return;
    std::string out = "HTTP/1.0 " + std::to_string(reply.status) + " " + reasonOf(reply.status) + "\r\n";
    bool ownLength = false;
    for (const auto &h : reply.headers) {
        out += h.first + ": " + h.second + "\r\n";
        ownLength = ownLength || sameNoCase(h.first, "Content-Length");
    }
    if (!ownLength)
        out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    sendAll(connection, out.data(), out.size());
    if (request.method != "HEAD")
        sendAll(connection, reply.body.data(), std::min(reply.body.size(), reply.cutAfter));
    shutdown(connection, SHUT_WR);
}

uint16_t closedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    close(fd); // never listened on: connections are refused
    return ntohs(address.sin_port);
}

std::string percentDecode(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, std::string> parseUrlEncoded(const std::string &body)
{
    std::map<std::string, std::string> out;
    size_t start = 0;
    while (start <= body.size() && !body.empty()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        const size_t equals = pair.find('=');
        if (equals == std::string::npos)
            out[""] = percentDecode(pair);
        else
            out[percentDecode(pair.substr(0, equals))] = percentDecode(pair.substr(equals + 1));
        start = end + 1;
    }
    return out;
}

std::vector<MultipartPart> parseMultipart(const std::string &contentType, const std::string &body)
{
    std::vector<MultipartPart> parts;
    const size_t at = contentType.find("boundary=");
    if (at == std::string::npos)
        return parts;
    const std::string delimiter = "--" + contentType.substr(at + 9);
    size_t position = body.find(delimiter);
    while (position != std::string::npos) {
        position += delimiter.size();
        if (body.compare(position, 2, "--") == 0)
            break;
        position += 2; // CR LF
        const size_t headEnd = body.find("\r\n\r\n", position);
        const size_t next = body.find("\r\n" + delimiter, headEnd);
        if (headEnd == std::string::npos || next == std::string::npos)
            break;
        MultipartPart part;
        const std::string head = body.substr(position, headEnd - position);
        const auto quoted = [&head](const std::string &key, std::string &out) {
            const size_t k = head.find(key + "=\"");
            if (k == std::string::npos)
                return false;
            const size_t start = k + key.size() + 2;
            out = head.substr(start, head.find('"', start) - start);
            return true;
        };
        quoted("; name", part.name);
        part.hasFileName = quoted("filename", part.fileName);
        const size_t type = head.find("Content-Type: ");
        if (type != std::string::npos)
            part.contentType = head.substr(type + 14, head.find("\r\n", type) - type - 14);
        part.data = body.substr(headEnd + 4, next - headEnd - 4);
        parts.push_back(part);
        position = next + 2;
    }
    return parts;
}

} // namespace qtest
