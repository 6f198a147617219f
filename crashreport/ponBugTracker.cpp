#include "crashreport/ponBugTracker.h"

#include "foundation/podoGlobals.h"
#include "foundation/podoShell.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

const char *const searchPath = "/view_all_set.php";
const char *const listPath = "/view_all_bug_page.php";
const char *const reportPath = "/bug_report.php";
const char *const addFilePath = "/bug_file_add.php";
const char *const reportLink = "<a href=\"view.php?id=";
const char *const protectedMark = "images/protected.gif";

} // namespace

bool ponBugTracker::post(const char *path, int32_t kind)
{
    podoStr url(baseUrl);
    url.append(path);
    return client.fetch(url, kind, "ponHTTPClient", nullptr, nullptr);
}

bool ponBugTracker::send(const BugReport &report)
{
    delivered = false;
    const int32_t number = findReport(report);
    if (number < 0)
        return true;
    delivered = number == 0 ? submitReport(report) : attachFile(number, report);
    return delivered;
}

int32_t ponBugTracker::findReport(const BugReport &report)
{
    int32_t result = 0;
    client.clearFields();
    client.addNumberField("type", 1);
    client.addField("search", report.summary, 0);
    if (post(searchPath, ponHttpRequestType::postForm)) {
        client.clearFields();
        if (post(listPath, ponHttpRequestType::postForm) && !client.bodyText().isEmpty()) {
            const podoStr &page = client.bodyText();
            const int at = page.find(reportLink);
            if (at >= 0) {
                if (page.find(protectedMark, at) >= 0) {
                    const char *digits = page.getNarrow() + at + std::strlen(reportLink);
                    int64_t number = 0;
                    for (; *digits >= '0' && *digits <= '9'; ++digits)
                        number = std::min<int64_t>(number * 10 + (*digits - '0'), INT32_MAX);
                    result = static_cast<int32_t>(number);
                } else {
                    result = -1;
                }
            }
        }
    }
    client.clearFields();
    client.addNumberField("type", 1);
    client.addField("search", "", 0);
    post(searchPath, ponHttpRequestType::postForm);
    return result;
}

bool ponBugTracker::submitReport(const BugReport &report)
{
    client.clearFields();
    client.addNumberField("project_id", report.projectId);
    client.addField("summary", report.summary, 0);
    client.addField("description", report.description, 0);
    client.addField("additional_info", report.additionalInfo, 0);
    client.addNumberField("reproducibility", report.reproducibility);
    client.addNumberField("severity", report.severity);
    client.addNumberField("view_state", report.viewState);
    client.addField("file", report.file, 1);
    return post(reportPath, ponHttpRequestType::postMultipart) && client.bodyBuffer()[0] != 0;
}

bool ponBugTracker::attachFile(int32_t number, const BugReport &report)
{
    client.clearFields();
    client.addNumberField("bug_id", static_cast<uint32_t>(number));
    client.addNumberField("max_file_size", largestFile);
    client.addField("file", report.file, 1);
    return post(addFilePath, ponHttpRequestType::postMultipart) && client.bodyBuffer()[0] != 0;
}

podoTime ponBugTracker::localTime()
{
    podoTime now;
    now.setNow();
    return now;
}

bool ponBugTracker::submitCrash(ponBugTracker &tracker, uint32_t project, uint32_t version,
                                const ExceptionReport &exception, const podoStr &logPath, bool rename)
{
    podoStr path(logPath);
    if (rename) {
        const podoTime now = tracker.localTime();
        podoStr name;
        name.format("[%d]%04d-%02d-%02d_%02d.%02d.%02d.%03d", static_cast<int>(project), now.year, now.month, now.day,
                    now.hour, now.minute, now.second, now.millisecond);
        podoStr renamed(logPath);
        renamed.setPathParts(nullptr, nullptr, &name, nullptr);
        // Never delete at the log's own path; a log that cannot be moved is sent under its own name.
        if (renamed != logPath) {
            podo::deleteFile(renamed);
            if (podo::moveFile(logPath, renamed))
                path = renamed;
        }
    }

    // The record's path need not be terminated within its array.
    char16_t modulePath[exceptionModulePathSize + 1] = {};
    std::copy(std::begin(exception.faultModule), std::end(exception.faultModule), modulePath);
    podoStr module(modulePath), moduleName, moduleExtension;
    module.splitPath(nullptr, nullptr, &moduleName, &moduleExtension);
    moduleName.append(moduleExtension);
    const podoStr codeText(exception.codeText ? exception.codeText : u"");

    BugReport report;
    report.projectId = project;
    // The summary is the key that gathers crashes of one fault: its fields keep their 32-bit form.
    report.summary.format("[!] %s v%s <%04X:%08X> %08X", moduleName.getNarrow(), podo::versionToText(version),
                          static_cast<uint32_t>(exception.faultSection), static_cast<uint32_t>(exception.faultOffset),
                          exception.code);
    report.description.format("exception: %s (%08llX)", codeText.getNarrow(),
                              static_cast<unsigned long long>(exception.faultAddress));
    report.reproducibility = crashReproducibility;
    report.severity = crashSeverity;
    report.viewState = crashViewState;
    report.file = path;

    if (!tracker.send(report))
        return false;
    if (rename && tracker.lastSendDelivered())
        podo::deleteFile(path);
    return true;
}
