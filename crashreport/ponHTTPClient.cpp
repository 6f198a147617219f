#include "crashreport/ponHTTPClient.h"

#include "foundation/podoFile.h"
#include "foundation/podoLog.h"
#include "foundation/podoUtf.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr long connectTimeoutSeconds = 30;
// A transfer slower than 1 byte/s for this long is given up, so no request hangs for ever.
constexpr long stallSeconds = 60;
constexpr long mostRedirects = 20;
// Response bytes held between the transfer and readResponse; the transfer pauses beyond this.
constexpr size_t stagingLimit = 65536;
constexpr int pollMilliseconds = 1000;
// Per-part allowances of the body estimate.
constexpr uint64_t textPartAllowance = 8192;
constexpr uint64_t filePartAllowance = 6144;

std::atomic<ponProgressWindowHook> progressHook{nullptr};

void initialiseCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool equalsNoCase(const std::string &a, const char *b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return true;
}

std::string narrowOf(const podoStr &text)
{
    return text.getNarrow();
}

// Quotes, carriage returns and line feeds would end a quoted multipart name early or start a new
// header line; they go out percent-encoded, as browsers send them.
std::string escapeQuoted(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

const char *verbOf(int32_t kind)
{
    switch (kind) {
    case ponHttpRequestType::head: return "HEAD";
    case ponHttpRequestType::get: return "GET";
    case ponHttpRequestType::postForm:
    case ponHttpRequestType::postMultipart: return "POST";
    case ponHttpRequestType::put: return "PUT";
    case ponHttpRequestType::del: return "DELETE";
    default: return nullptr;
    }
}

struct MimeType {
    const char *extension;
    const char16_t *type;
};

const MimeType mimeTypes[] = {
    {".7z", u"application/x-7z-compressed"}, {".bmp", u"image/bmp"},
    {".css", u"text/css"},                   {".csv", u"text/csv"},
    {".flac", u"audio/flac"},                {".gif", u"image/gif"},
    {".gz", u"application/x-gzip"},          {".htm", u"text/html"},
    {".html", u"text/html"},                 {".ico", u"image/x-icon"},
    {".jpeg", u"image/jpeg"},                {".jpg", u"image/jpeg"},
    {".js", u"application/javascript"},      {".json", u"application/json"},
    {".log", u"text/plain"},                 {".mid", u"audio/mid"},
    {".midi", u"audio/mid"},                 {".mp3", u"audio/mpeg"},
    {".ogg", u"audio/ogg"},                  {".pdf", u"application/pdf"},
    {".png", u"image/png"},                  {".svg", u"image/svg+xml"},
    {".tar", u"application/x-tar"},          {".txt", u"text/plain"},
    {".wav", u"audio/wav"},                  {".xml", u"text/xml"},
    {".zip", u"application/x-zip-compressed"},
};

// A byte buffer that starts at an estimate and doubles when a part does not fit.
class BodyBuilder
{
public:
    explicit BodyBuilder(uint64_t estimate)
    {
        capacity = static_cast<size_t>(std::max<uint64_t>(estimate, 64));
        data = new (std::nothrow) uint8_t[capacity];
        failed = data == nullptr;
    }
    ~BodyBuilder() { delete[] data; }

    void append(const void *bytes, size_t n)
    {
        if (failed || n == 0)
            return;
        if (n > capacity - length && !grow(length + n))
            return;
        std::memcpy(data + length, bytes, n);
        length += n;
    }
    void append(const std::string &text) { append(text.data(), text.size()); }

    // Hands the buffer over; null when memory ran out.
    uint8_t *release()
    {
        if (failed)
            return nullptr;
        uint8_t *out = data;
        data = nullptr;
        return out;
    }
    size_t size() const { return failed ? 0 : length; }

private:
    bool grow(size_t need)
    {
        size_t next = capacity;
        while (next < need)
            next = next > SIZE_MAX / 2 ? need : next * 2;
        uint8_t *bigger = new (std::nothrow) uint8_t[next];
        if (!bigger) {
            failed = true;
            return false;
        }
        std::memcpy(bigger, data, length);
        delete[] data;
        data = bigger;
        capacity = next;
        return true;
    }

    uint8_t *data = nullptr;
    size_t capacity = 0;
    size_t length = 0;
    bool failed = false;
};

} // namespace

struct ponCookieJar {
    CURLSH *share = nullptr;
};

struct ponInternetSession {
    CURLM *multi = nullptr;
    std::string agent;
};

struct ponConnection {
    std::string host;
    uint32_t port = 0;
    bool hasUser = false;
    bool hasPassword = false;
    std::string user;
    std::string password;
};

// One request and its transfer. libcurl runs the transfer inside curl_multi_perform; the callbacks
// below fill this record, and the client reads from it.
struct ponRequest {
    ponHTTPClient *owner = nullptr;
    CURLM *multi = nullptr;
    CURL *easy = nullptr;
    int32_t kind = 0;
    bool secure = false;
    std::vector<std::pair<std::string, std::string>> lines; // request headers, in order
    curl_slist *headerList = nullptr;

    bool started = false;     // handed to the multi handle
    bool done = false;        // the transfer ended
    CURLcode result = CURLE_OK;
    bool bodyStarted = false; // the final response's body has begun
    bool readFailed = false;  // the response body broke off (lastError says why)
    std::string rawHeaders;   // the final response's status line and headers

    std::vector<char> staged; // response bytes not yet read
    size_t stagedRead = 0;
    bool paused = false;

    uint8_t *upload = nullptr; // multipart body, freed with the request
    uint64_t uploadTotal = 0;
    uint64_t uploadSent = 0;
    bool uploadStarted = false;

    size_t stagedCount() const { return staged.size() - stagedRead; }

    static size_t onHeader(char *data, size_t size, size_t n, void *user)
    {
        auto &r = *static_cast<ponRequest *>(user);
        const size_t bytes = size * n;
        // Every response of a redirect chain comes through here; keep the last one.
        if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0)
            r.rawHeaders.clear();
        r.rawHeaders.append(data, bytes);
        return bytes;
    }

    static size_t onBody(char *data, size_t size, size_t n, void *user)
    {
        auto &r = *static_cast<ponRequest *>(user);
        r.bodyStarted = true;
        if (r.stagedCount() >= stagingLimit) {
            r.paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (r.stagedRead > 0) {
            r.staged.erase(r.staged.begin(), r.staged.begin() + static_cast<ptrdiff_t>(r.stagedRead));
            r.stagedRead = 0;
        }
        r.staged.insert(r.staged.end(), data, data + size * n);
        return size * n;
    }

    // Hands the multipart body over in pieces of at most uploadChunk bytes, reporting progress after
    // each one.
    static size_t onUpload(char *buffer, size_t size, size_t n, void *user)
    {
        auto &r = *static_cast<ponRequest *>(user);
        if (!r.uploadStarted) {
            r.uploadStarted = true;
            r.owner->beginProgress(r.uploadTotal);
        }
        const uint64_t left = r.uploadTotal - r.uploadSent;
        const size_t take = static_cast<size_t>(std::min<uint64_t>({left, size * n, ponHTTPClient::uploadChunk}));
        if (take == 0)
            return 0;
        std::memcpy(buffer, r.upload + r.uploadSent, take);
        r.uploadSent += take;
        r.owner->reportProgress(r.uploadSent, r.uploadTotal);
        return take;
    }

    // A redirect that keeps the method sends the body again from its start.
    static int onSeek(void *user, curl_off_t offset, int origin)
    {
        auto &r = *static_cast<ponRequest *>(user);
        if (origin != SEEK_SET || offset < 0 || static_cast<uint64_t>(offset) > r.uploadTotal)
            return CURL_SEEKFUNC_FAIL;
        r.uploadSent = static_cast<uint64_t>(offset);
        return CURL_SEEKFUNC_OK;
    }

    void collect()
    {
        int left = 0;
        while (CURLMsg *message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                done = true;
                result = message->data.result;
            }
        }
    }

    // Runs the transfer until ready() holds or it ends.
    template <class Ready>
    void pump(Ready ready)
    {
        while (!done && !ready()) {
            int running = 0;
            const CURLMcode code = curl_multi_perform(multi, &running);
            collect();
            if (done || ready())
                return;
            if (code != CURLM_OK) {
                done = true;
                result = CURLE_FAILED_INIT;
                return;
            }
            curl_multi_poll(multi, nullptr, 0, pollMilliseconds, nullptr);
        }
    }

    long status() const
    {
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        return code;
    }

    bool hasLine(const char *name) const
    {
        for (const auto &line : lines)
            if (equalsNoCase(line.first, name))
                return true;
        return false;
    }

    // The header lines as libcurl takes them: "Name: value", or "Name;" for an empty value (a bare
    // "Name:" would remove the header instead).
    bool buildHeaderList()
    {
        curl_slist_free_all(headerList);
        headerList = nullptr;
        std::vector<std::string> texts;
        for (const auto &line : lines) {
            // libcurl writes the length of the body it sends itself, and leaves it off the GET that
            // follows a redirected post, where a line of our own would make the server wait for a body.
            if (equalsNoCase(line.first, "Content-Length"))
                continue;
            texts.push_back(line.second.empty() ? line.first + ";" : line.first + ": " + line.second);
        }
        // libcurl would add its own form content type to a PUT or DELETE with a body.
        if (!hasLine("Content-Type"))
            texts.emplace_back("Content-Type:");
        for (const std::string &text : texts) {
            curl_slist *next = curl_slist_append(headerList, text.c_str());
            if (!next)
                return false;
            headerList = next;
        }
        return curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList) == CURLE_OK;
    }

    ~ponRequest()
    {
        if (easy) {
            if (started)
                curl_multi_remove_handle(multi, easy);
            curl_easy_cleanup(easy);
        }
        curl_slist_free_all(headerList);
        delete[] upload;
    }
};

ponHTTPClient::ponHTTPClient()
{
    initialiseCurl();
    bodyBytes = new uint8_t[bufferSize]();
    headerBytes = new uint8_t[bufferSize]();
    cookies = new ponCookieJar;
    cookies->share = curl_share_init();
    if (cookies->share) {
        curl_share_setopt(cookies->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        curl_share_setopt(cookies->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
}

ponHTTPClient::~ponHTTPClient()
{
    disconnect();
    delete[] bodyBytes;
    delete[] headerBytes;
    if (cookies->share)
        curl_share_cleanup(cookies->share);
    delete cookies;
}

int32_t ponHTTPClient::lastError()
{
    return errorCode;
}

void ponHTTPClient::resetLastError()
{
    errorCode = 0;
}

podoStr &ponHTTPClient::userText()
{
    return ownerText;
}

void ponHTTPClient::setUserText(const podoStr &text)
{
    ownerText = text;
}

void ponHTTPClient::clearHeaders()
{
    headers.removeAll();
}

void ponHTTPClient::addHeader(const podoStr &name, const podoStr &value)
{
    headers.add(ponFormField(name, value, ponFieldKind::text));
}

bool ponHTTPClient::applyHeaders(int32_t kind)
{
    bool ownType = false;
    for (int32_t i = 0; i < headers.getCount(); ++i) {
        const ponFormField &header = *headers.at(i);
        if (!addRequestHeader(header.name, header.value))
            return false;
        if (header.name == "Content-Type")
            ownType = true;
    }
    if (!ownType) {
        if (kind == ponHttpRequestType::postForm && !addRequestHeader("Content-Type", "application/x-www-form-urlencoded"))
            return false;
        if (kind == ponHttpRequestType::postMultipart) {
            podoStr type;
            type.format("multipart/form-data; boundary=%s", multipartBoundary);
            if (!addRequestHeader("Content-Type", type))
                return false;
        }
    }
    return addRequestHeader("Cache-Control", "no-cache") && addRequestHeader("Proxy-Connection", "Keep-Alive") &&
           addRequestHeader("Accept", "*/*");
}

void ponHTTPClient::clearFields()
{
    fields.removeAll();
}

void ponHTTPClient::addField(const podoStr &name, const podoStr &value, uint8_t isFile)
{
    fields.add(ponFormField(name, value, isFile + 1));
}

void ponHTTPClient::addNumberField(const podoStr &name, uint32_t n)
{
    podoStr value;
    value.format("%u", n);
    fields.add(ponFormField(name, value, ponFieldKind::text));
}

bool ponHTTPClient::fetch(const podoStr &url, int32_t kind, const podoStr &agent, const podoStr *user,
                          const podoStr *password)
{
    podoStr scheme, host, path;
    uint32_t port = 0;
    splitUrl(url, scheme, host, port, path);
    if (!connect(host, port, user, password, agent))
        return false;
    // A failed request must not leave the previous response in the buffers.
    std::memset(bodyBytes, 0, bufferSize);
    std::memset(headerBytes, 0, bufferSize);
    bodyLength = 0;
    bool ok = request(path, port, kind);
    if (ok) {
        uint32_t count = 0;
        ok = response(headerBytes, bufferSize, bodyBytes, bufferSize, count);
        bodyLength = count;
        if (!ok)
            ok = errorCode == redirectNeedsConfirmation;
    }
    responseHeadersText = reinterpret_cast<const char16_t *>(headerBytes);
    responseBodyText.setNarrow(reinterpret_cast<const char *>(bodyBytes), static_cast<int>(bodyLength));
    disconnect();
    return ok;
}

bool ponHTTPClient::download(const podoStr &url, const podoStr &filePath, const podoStr &agent, const podoStr *user,
                             const podoStr *password)
{
    podoStr scheme, host, path;
    uint32_t port = 0;
    splitUrl(url, scheme, host, port, path);
    if (!connect(host, port, user, password, agent))
        return false;
    std::memset(headerBytes, 0, bufferSize);
    bool ok = request(path, port, ponHttpRequestType::get);
    if (ok) {
        uint32_t count = 0;
        ok = response(headerBytes, bufferSize, filePath, count);
        if (!ok)
            ok = errorCode == redirectNeedsConfirmation;
    }
    responseHeadersText = reinterpret_cast<const char16_t *>(headerBytes);
    disconnect();
    return ok;
}

int32_t ponHTTPClient::userValue()
{
    return ownerValue;
}

podoStr &ponHTTPClient::bodyText()
{
    return responseBodyText;
}

podoStr &ponHTTPClient::headersText()
{
    return responseHeadersText;
}

uint8_t *ponHTTPClient::bodyBuffer()
{
    return bodyBytes;
}

uint8_t *ponHTTPClient::headersBuffer()
{
    return headerBytes;
}

const char16_t *ponHTTPClient::mimeTypeOf(const char *fileName)
{
    const char16_t *fallback = u"application/octet-stream";
    if (!fileName)
        return fallback;
    const size_t length = std::strlen(fileName);
    const char *extension = fileName;
    for (size_t i = length; i-- > 1;) {
        if (fileName[i] == '.') {
            extension = fileName + i;
            break;
        }
    }
    for (const MimeType &entry : mimeTypes)
        if (equalsNoCase(extension, entry.extension))
            return entry.type;
    return fallback;
}

void ponHTTPClient::setProgressWindow(void *window, uint32_t scale)
{
    progressWnd = window;
    progressScale = scale;
}

void *ponHTTPClient::progressWindow()
{
    return progressWnd;
}

bool ponHTTPClient::addRequestHeader(const podoStr &name, const podoStr &value)
{
    if (!currentRequest) {
        errorCode = CURLE_FAILED_INIT;
        return false;
    }
    const std::string n = narrowOf(name), v = narrowOf(value);
    // A line break would let a value start a header of its own.
    if (n.empty() || n.find_first_of(":\r\n") != std::string::npos || v.find_first_of("\r\n") != std::string::npos) {
        errorCode = CURLE_BAD_FUNCTION_ARGUMENT;
        return false;
    }
    for (auto &line : currentRequest->lines) {
        if (equalsNoCase(line.first, n.c_str())) {
            line.second = v;
            return true;
        }
    }
    currentRequest->lines.emplace_back(n, v);
    return true;
}

bool ponHTTPClient::openRequest(const podoStr &path, int32_t kind, uint32_t port)
{
    closeRequest();
    const char *verb = verbOf(kind);
    if (!internetHandle || !connection) {
        errorCode = CURLE_FAILED_INIT;
        return false;
    }
    if (!verb) {
        errorCode = CURLE_BAD_FUNCTION_ARGUMENT;
        return false;
    }
    CURL *easy = curl_easy_init();
    if (!easy) {
        errorCode = CURLE_OUT_OF_MEMORY;
        return false;
    }
    auto *r = new ponRequest;
    r->owner = this;
    r->multi = internetHandle->multi;
    r->easy = easy;
    r->kind = kind;
    r->secure = port == 443;

    std::string target = narrowOf(path);
    if (target.empty() || target[0] != '/')
        target.insert(0, "/");
    const std::string url = std::string(r->secure ? "https://" : "http://") + connection->host + ":" +
                            std::to_string(connection->port) + target;

    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, mostRedirects);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, connectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    if (cookies->share)
        curl_easy_setopt(easy, CURLOPT_SHARE, cookies->share);
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, ""); // cookie engine on, nothing read from disk
    if (!internetHandle->agent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, internetHandle->agent.c_str());
    if (connection->hasUser)
        curl_easy_setopt(easy, CURLOPT_USERNAME, connection->user.c_str());
    if (connection->hasPassword)
        curl_easy_setopt(easy, CURLOPT_PASSWORD, connection->password.c_str());
    if (r->secure) {
        // The chain is verified; only the host name is not, as certificates of small servers often
        // name another host.
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &ponRequest::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, r);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &ponRequest::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, r);
    switch (kind) {
    case ponHttpRequestType::head: curl_easy_setopt(easy, CURLOPT_NOBODY, 1L); break;
    case ponHttpRequestType::get: curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L); break;
    case ponHttpRequestType::postForm:
    case ponHttpRequestType::postMultipart: curl_easy_setopt(easy, CURLOPT_POST, 1L); break;
    default: curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb); break;
    }
    currentRequest = r;
    return applyHeaders(kind);
}

bool ponHTTPClient::startTransfer()
{
    ponRequest &r = *currentRequest;
    if (!r.buildHeaderList() || curl_multi_add_handle(r.multi, r.easy) != CURLM_OK) {
        errorCode = CURLE_OUT_OF_MEMORY;
        return false;
    }
    r.started = true;
    r.pump([&r] { return r.bodyStarted; });
    if (r.done && r.result != CURLE_OK) {
        errorCode = r.result;
        return false;
    }
    const long status = r.status();
    if (status == 0) {
        errorCode = CURLE_GOT_NOTHING;
        return false;
    }
    if (status >= 400) {
        errorCode = static_cast<int32_t>(status);
        return false;
    }
    if (status >= 300)
        errorCode = redirectNeedsConfirmation;
    return true;
}

bool ponHTTPClient::sendRequest(const uint8_t *body, uint32_t length)
{
    if (!currentRequest || currentRequest->started) {
        errorCode = CURLE_FAILED_INIT;
        return false;
    }
    CURL *easy = currentRequest->easy;
    const int32_t kind = currentRequest->kind;
    if (body && kind != ponHttpRequestType::head && kind != ponHttpRequestType::get) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, reinterpret_cast<const char *>(body));
    } else if (kind == ponHttpRequestType::postForm || kind == ponHttpRequestType::postMultipart) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(0));
        curl_easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, "");
    }
    return startTransfer();
}

void ponHTTPClient::closeRequest()
{
    delete currentRequest;
    currentRequest = nullptr;
}

void ponHTTPClient::splitUrl(const podoStr &url, podoStr &scheme, podoStr &host, uint32_t &port, podoStr &path)
{
    const std::u16string text = url.getWide();
    const size_t colon = text.find(u':');
    size_t hostStart = 0;
    if (colon == std::u16string::npos || colon + 1 >= text.size() || text[colon + 1] != u'/') {
        scheme = "http";
    } else {
        const std::u16string head = text.substr(0, colon);
        scheme.setWide(head.c_str(), static_cast<int>(head.size()));
        hostStart = std::min(colon + 3, text.size());
    }
    const size_t slash = text.find(u'/', hostStart);
    const size_t hostEnd = slash == std::u16string::npos ? text.size() : slash;
    const std::u16string pathText = slash == std::u16string::npos ? std::u16string() : text.substr(slash);
    path.setWide(pathText.c_str(), static_cast<int>(pathText.size()));

    std::u16string hostText = text.substr(hostStart, hostEnd - hostStart);
    const size_t portColon = hostText.find(u':');
    if (portColon != std::u16string::npos) {
        uint64_t value = 0;
        for (size_t i = portColon + 1; i < hostText.size() && hostText[i] >= u'0' && hostText[i] <= u'9'; ++i)
            value = std::min<uint64_t>(value * 10 + (hostText[i] - u'0'), UINT32_MAX);
        port = static_cast<uint32_t>(value);
        hostText.resize(portColon);
    } else {
        port = scheme == "https" ? 443 : 80;
    }
    host.setWide(hostText.c_str(), static_cast<int>(hostText.size()));
}

bool ponHTTPClient::connect(const podoStr &host, uint32_t port, const podoStr *user, const podoStr *password,
                            const podoStr &agent)
{
    disconnect();
    if (host.isEmpty() || port == 0 || port > 65535) {
        errorCode = CURLE_URL_MALFORMAT;
        return false;
    }
    CURLM *multi = curl_multi_init();
    if (!multi) {
        errorCode = CURLE_OUT_OF_MEMORY;
        return false;
    }
    internetHandle = new ponInternetSession;
    internetHandle->multi = multi;
    internetHandle->agent = narrowOf(agent);
    connection = new ponConnection;
    connection->host = narrowOf(host);
    connection->port = port;
    if (user) {
        connection->hasUser = true;
        connection->user = narrowOf(*user);
    }
    if (password) {
        connection->hasPassword = true;
        connection->password = narrowOf(*password);
    }
    return true;
}

bool ponHTTPClient::disconnect()
{
    closeRequest();
    delete connection;
    connection = nullptr;
    if (internetHandle) {
        curl_multi_cleanup(internetHandle->multi);
        delete internetHandle;
        internetHandle = nullptr;
    }
    return true;
}

bool ponHTTPClient::request(const podoStr &path, uint32_t port, int32_t kind)
{
    switch (kind) {
    case ponHttpRequestType::postForm: return sendWithBody(path, port, kind);
    case ponHttpRequestType::postMultipart: return requestPostMPFD(path, port);
    case ponHttpRequestType::put: return requestPut(path, port);
    case ponHttpRequestType::del: return requestDelete(path, port);
    case ponHttpRequestType::head:
    case ponHttpRequestType::get: return sendWithoutBody(path, port, kind);
    default: return false;
    }
}

bool ponHTTPClient::finishReading(uint32_t count)
{
    ponRequest &r = *currentRequest;
    if (r.rawHeaders.empty()) {
        errorCode = CURLE_GOT_NOTHING;
        podo::logMessage(4, true, "ponHTTPClient::response() - HttpQueryInfo() failed => %08X", errorCode);
        return false;
    }
    return !r.readFailed && count > 0;
}

bool ponHTTPClient::response(uint8_t *headersOut, uint32_t headersSize, const podoStr &filePath, uint32_t &count)
{
    count = 0;
    if (!currentRequest)
        return false;
    podoFile file;
    if (file.open(filePath, podoFileFlags::write | podoFileFlags::create) != 0)
        return false;
    uint8_t chunk[readChunk];
    while (const uint32_t n = readResponse(chunk, readChunk)) {
        if (file.write(chunk, 1, n) != n) {
            errorCode = shortFileWrite;
            return false;
        }
        count += n;
    }
    if (file.close() != 0) {
        errorCode = shortFileWrite;
        return false;
    }
    if (headersOut && headersSize >= 2) {
        std::memset(headersOut, 0, headersSize);
        const std::string &raw = currentRequest->rawHeaders;
        podo::utf8ToUtf16(raw.data(), raw.size(), reinterpret_cast<char16_t *>(headersOut), headersSize / 2 - 1);
    }
    return finishReading(count);
}

bool ponHTTPClient::response(uint8_t *headersOut, uint32_t headersSize, uint8_t *body, uint32_t bodySize,
                             uint32_t &count)
{
    count = 0;
    if (!currentRequest)
        return false;
    if (body)
        std::memset(body, 0, bodySize);
    while (body && count < bodySize) {
        const uint32_t n = readResponse(body + count, std::min(readChunk, bodySize - count));
        if (!n)
            break;
        count += n;
    }
    if (headersOut && headersSize >= 2) {
        std::memset(headersOut, 0, headersSize);
        const std::string &raw = currentRequest->rawHeaders;
        podo::utf8ToUtf16(raw.data(), raw.size(), reinterpret_cast<char16_t *>(headersOut), headersSize / 2 - 1);
    }
    return finishReading(count);
}

uint32_t ponHTTPClient::readResponse(uint8_t *buffer, uint32_t size)
{
    if (buffer && size)
        std::memset(buffer, 0, size);
    if (!currentRequest || !currentRequest->started || !buffer || !size)
        return 0;
    ponRequest &r = *currentRequest;
    for (;;) {
        if (r.stagedCount() > 0) {
            const size_t n = std::min<size_t>(size, r.stagedCount());
            std::memcpy(buffer, r.staged.data() + r.stagedRead, n);
            r.stagedRead += n;
            return static_cast<uint32_t>(n);
        }
        if (r.done) {
            if (r.result != CURLE_OK && !r.readFailed) {
                r.readFailed = true;
                errorCode = r.result;
            }
            return 0;
        }
        if (r.paused) {
            r.paused = false;
            curl_easy_pause(r.easy, CURLPAUSE_CONT);
        }
        r.pump([&r] { return r.stagedCount() > 0 || r.paused; });
    }
}

uint32_t ponHTTPClient::buildUrlEncoded(podoStr &out)
{
    std::string body;
    const int32_t n = fields.getCount();
    for (int32_t i = 0; i < n; ++i) {
        const ponFormField &field = *fields.at(i);
        if (!field.name.isEmpty()) {
            podoStr name(field.name);
            body += name.encodeUrl().getNarrow();
            body += '=';
        }
        podoStr value(field.value);
        body += value.encodeUrl().getNarrow();
        if (i + 1 < n)
            body += '&';
    }
    out.setNarrow(body.c_str(), static_cast<int>(body.size()));
    return static_cast<uint32_t>(body.size());
}

bool ponHTTPClient::sendWithoutBody(const podoStr &path, uint32_t port, int32_t kind)
{
    return openRequest(path, kind, port) && sendRequest(nullptr, 0);
}

bool ponHTTPClient::sendWithBody(const podoStr &path, uint32_t port, int32_t kind)
{
    if (!openRequest(path, kind, port))
        return false;
    podoStr body;
    const uint32_t length = buildUrlEncoded(body);
    return sendRequest(reinterpret_cast<const uint8_t *>(body.getNarrow()), length);
}

bool ponHTTPClient::requestPostMPFD(const podoStr &path, uint32_t port)
{
    if (!openRequest(path, ponHttpRequestType::postMultipart, port))
        return false;
    uint8_t *body = nullptr;
    const size_t length = buildMultipart(body, multipartBoundary);
    if (!body || length > UINT32_MAX) {
        freeBuffer(body);
        errorCode = CURLE_OUT_OF_MEMORY;
        return false;
    }
    podoStr lengthText;
    lengthText.format("%u", static_cast<uint32_t>(length));
    if (!addRequestHeader("Content-Length", lengthText)) {
        freeBuffer(body);
        return false;
    }
    ponRequest &r = *currentRequest;
    r.upload = body; // freed with the request
    r.uploadTotal = length;
    CURL *easy = r.easy;
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(length));
    curl_easy_setopt(easy, CURLOPT_READFUNCTION, &ponRequest::onUpload);
    curl_easy_setopt(easy, CURLOPT_READDATA, &r);
    curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &ponRequest::onSeek);
    curl_easy_setopt(easy, CURLOPT_SEEKDATA, &r);

    const std::string pathText = narrowOf(path);
    if (startTransfer())
        return true;
    if (!r.uploadStarted)
        podo::logMessage(4, true, "ponHTTPClient::requestPostMPFD() - HttpSendRequestEx() failed => %08X : %s",
                         errorCode, pathText.c_str());
    else if (r.uploadSent < r.uploadTotal)
        podo::logMessage(4, true, "ponHTTPClient::requestPostMPFD() - InternetWriteFile() failed => %08X : %s (%u/%u)",
                         errorCode, pathText.c_str(), static_cast<uint32_t>(r.uploadSent),
                         static_cast<uint32_t>(r.uploadTotal));
    else
        podo::logMessage(4, true, "ponHTTPClient::requestPostMPFD() - HttpEndRequest() failed => %08X : %s",
                         errorCode, pathText.c_str());
    return false;
}

bool ponHTTPClient::requestPut(const podoStr &path, uint32_t port)
{
    return sendWithBody(path, port, ponHttpRequestType::put);
}

bool ponHTTPClient::requestDelete(const podoStr &path, uint32_t port)
{
    return sendWithBody(path, port, ponHttpRequestType::del);
}

size_t ponHTTPClient::buildMultipart(uint8_t *&out, const char *boundary)
{
    freeBuffer(out);
    const std::string b = boundary ? boundary : "";
    BodyBuilder body(estimateMultipartSize());
    for (int32_t i = 0; i < fields.getCount(); ++i) {
        const ponFormField &field = *fields.at(i);
        if (field.kind == ponFieldKind::text) {
            body.append("--" + b + "\r\nContent-Disposition: form-data; name=\"" + escapeQuoted(narrowOf(field.name)) +
                        "\"\r\n\r\n");
            body.append(narrowOf(field.value));
            body.append("\r\n", 2);
        } else if (field.kind == ponFieldKind::file) {
            podoStr name, extension;
            field.value.splitPath(nullptr, nullptr, &name, &extension);
            podoStr type(mimeTypeOf(field.value.getNarrow()));
            body.append("--" + b + "\r\nContent-Disposition: form-data; name=\"" + escapeQuoted(narrowOf(field.name)) +
                        "\"; filename=\"" + escapeQuoted(narrowOf(name) + narrowOf(extension)) +
                        "\"\r\nContent-Type: " + narrowOf(type) + "\r\n\r\n");
            // Read to the end, whatever the size was when the body was estimated.
            podoFile file;
            if (file.open(field.value, podoFileFlags::read) == 0) {
                uint8_t chunk[readChunk];
                while (const size_t n = file.read(chunk, 1, sizeof chunk))
                    body.append(chunk, n);
            }
            body.append("\r\n", 2);
        }
    }
    body.append("--" + b + "--\r\n");
    const size_t length = body.size();
    out = body.release();
    return out ? length : 0;
}

void ponHTTPClient::freeBuffer(uint8_t *&buffer)
{
    delete[] buffer;
    buffer = nullptr;
}

uint64_t ponHTTPClient::estimateMultipartSize()
{
    uint64_t total = 0;
    for (int32_t i = 0; i < fields.getCount(); ++i) {
        const ponFormField &field = *fields.at(i);
        if (field.kind == ponFieldKind::text) {
            total += textPartAllowance;
        } else if (field.kind == ponFieldKind::file) {
            podoFile file;
            const int64_t size = file.open(field.value, podoFileFlags::read) == 0 ? file.size() : 0;
            total += static_cast<uint64_t>(std::max<int64_t>(size, 0)) + filePartAllowance;
        }
    }
    return total;
}

void ponHTTPClient::setProgressCallback(ponProgressCallback callback, void *user)
{
    progressCallback = callback;
    progressUser = user;
}

ponProgressWindowHook ponHTTPClient::setProgressWindowHook(ponProgressWindowHook hook)
{
    return progressHook.exchange(hook);
}

void ponHTTPClient::beginProgress(uint64_t total)
{
    if (progressCallback) {
        ProgressRecord record{0, total};
        progressCallback(progressUser, &record);
        return;
    }
    if (!progressWnd)
        return;
    const ponProgressWindowHook hook = progressHook.load();
    if (!hook || !hook(progressWnd, ponProgressMessage::isWindow, 0)) {
        progressWnd = nullptr;
        return;
    }
    hook(progressWnd, ponProgressMessage::begin, 1000);
}

void ponHTTPClient::reportProgress(uint64_t sent, uint64_t total)
{
    if (progressCallback) {
        ProgressRecord record{sent, total};
        progressCallback(progressUser, &record);
        return;
    }
    const ponProgressWindowHook hook = progressHook.load();
    if (!progressWnd || !hook || total == 0)
        return;
    const auto position = static_cast<uint32_t>(sent * progressScale / total);
    // One step past the target and back, so the bar draws the new position at once.
    hook(progressWnd, ponProgressMessage::position, position + 1);
    hook(progressWnd, ponProgressMessage::position, position);
}
