#pragma once

#include "crashreport/ponHTTPClient.h"
#include "crashreport/windExceptionHandler.h"
#include "foundation/podoStr.h"
#include "foundation/podoTime.h"

#include <cstdint>

// One report for the bug tracker; the summary is also the key that finds an earlier report of the
// same fault.
struct BugReport {
    uint32_t projectId = 0;
    podoStr summary;
    podoStr description;
    podoStr additionalInfo;
    uint32_t reproducibility = 0; // the tracker's own codes
    uint32_t severity = 0;
    uint32_t viewState = 0;
    podoStr file; // path of the file to attach
};

// Files reports in a bug-tracker web application: a report whose summary is already listed gets the
// file added, otherwise a new report is made with the file attached. Every request goes to baseUrl
// followed by the form's path, with the agent "ponHTTPClient" and no credentials. One thread at a time.
class ponBugTracker
{
public:
    static constexpr uint32_t crashReproducibility = 70;
    static constexpr uint32_t crashSeverity = 70;
    static constexpr uint32_t crashViewState = 50;
    static constexpr uint32_t largestFile = 15728640; // bytes, told to the tracker with an added file

    explicit ponBugTracker(const podoStr &trackerUrl) : baseUrl(trackerUrl) {}
    virtual ~ponBugTracker() = default;

    // True also when a listed report made the tracker's answer -1 and nothing was sent.
    virtual bool send(const BugReport &report);
    // The number of a listed report of that summary marked protected; 0 when none was listed or a
    // request failed; -1 when one was listed without the mark. The search is reset in every case.
    virtual int32_t findReport(const BugReport &report);
    // True when the tracker accepted the request and answered with a body.
    virtual bool submitReport(const BugReport &report);
    virtual bool attachFile(int32_t number, const BugReport &report);

    // Reports a crash with the log file attached. With rename, the log is first moved to a name made
    // of the project number and the local time (same folder and extension), and deleted once the
    // tracker accepted it; whenever it was not accepted it stays, for a later attempt.
    static bool submitCrash(ponBugTracker &tracker, uint32_t project, uint32_t version,
                            const ExceptionReport &exception, const podoStr &logPath, bool rename);

    // Whether the last send had a new report or an added file accepted.
    bool lastSendDelivered() const { return delivered; }
    ponHTTPClient &httpClient() { return client; }

protected:
    // The local date and time that names a renamed log file.
    virtual podoTime localTime();

    podoStr baseUrl;
    ponHTTPClient client;

private:
    bool post(const char *path, int32_t kind);

    bool delivered = false;
};
