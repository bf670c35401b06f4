// Fetching the update list from the local test server: the requests as the server saw
// them, and every way the fetch can fail.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/internet.h"
#include "tests/run_recorder.h"
#include "tests/support/server_suite.h"
#include "ui/progress_dialog.h"

namespace {

const char* const kNoList = "서버에 업데이트 목록 파일이 없거나 URL 주소가 틀렸습니다.";
const char* const kServerError = "업데이트 서버에서 오류가 발생했습니다.";
const char* const kFormHeader = "Content-Type: application/x-www-form-urlencoded";

class ListFetch : public ServerSuite {
protected:
    // WinINet reports every request's handle closing, also after a call given up at its
    // deadline: no request's state is kept or freed twice.
    void TearDown() override
    {
        for (int i = 0; i < 100 && LiveRequestStates() != GivenUpRequestStates(); ++i)
            Sleep(50);
        EXPECT_EQ(LiveRequestStates(), GivenUpRequestStates()) << "request states released, but for given-up calls";
    }

    // One fetch of url on a fresh job whose error fields hold stale values.
    BOOL Fetch(const std::string& url)
    {
        job.m_retryBaseMs = 10;  // retries wait milliseconds here
        job.m_retryWaitedMs = 0;
        job.m_listUrl = url.c_str();
        job.m_listText = "stale";
        job.m_lastErrorCode = 7;
        job.m_lastErrorText = "stale";
        return job.FetchUpdateList();
    }

    void ExpectFailure(int code, const std::string& text)
    {
        EXPECT_EQ(job.m_lastErrorCode, code) << "error code";
        EXPECT_EQ(job.m_lastErrorText.Str(), text) << "error text";
        EXPECT_EQ(job.m_listText.Str(), "") << "no list is kept";
    }

    UpdateProgressDialog job;
};


TEST_F(ListFetch, HttpProbesWithGetThenFetchesWithGetAndTheFormHeader)
{
    ASSERT_TRUE(server->PutFile("shapes/list.txt", "[UPDATE FILES]\nA.dll\n"));
    ASSERT_TRUE(Fetch(server->HttpUrl("/shapes/list.txt"))) << "the fetch succeeds";
    EXPECT_EQ(job.m_listText.Str(), "[UPDATE FILES]\nA.dll\n") << "the list as served";
    EXPECT_EQ(job.m_lastErrorCode, 0) << "a success clears the error code";
    EXPECT_EQ(job.m_lastErrorText.Str(), "") << "a success clears the error text";

    const std::vector<RecordedRequest> requests = NewRequests();
    ASSERT_EQ(requests.size(), 2u) << "a probe and a fetch";
    const RecordedRequest& probe = requests[0];
    EXPECT_EQ(probe.method, "GET") << "the probe is a GET";
    EXPECT_EQ(probe.target, "/shapes/list.txt") << "the probe asks for the list";
    EXPECT_EQ(probe.HeaderValue("User-Agent"), "Updater") << "the probe's agent";
    EXPECT_EQ(probe.FindHeader("Content-Type"), nullptr) << "the probe sends no extra header";

    const RecordedRequest& fetch = requests[1];
    EXPECT_EQ(fetch.method, "GET") << "an http list is fetched with GET";
    EXPECT_EQ(fetch.target, "/shapes/list.txt") << "the fetch asks for the list";
    EXPECT_EQ(fetch.HeaderValue("User-Agent"), "list_tests") << "the module's name is the agent";
    const RecordedRequest::HeaderLine* form = fetch.FindHeader("Content-Type");
    ASSERT_NE(form, nullptr) << "the fetch carries the form header";
    EXPECT_EQ(form->text, kFormHeader) << "the form header's text";
    EXPECT_EQ(form->rawLength, 49u) << "the form header is 49 bytes with its line end";
    EXPECT_EQ(fetch.body, "") << "no body";
}

TEST_F(ListFetch, HttpsFetchesWithPostAndAnEmptyBody)
{
    ASSERT_TRUE(server->PutFile("secure/list.txt", "[UPDATE FILES]\r\nB.dll\r\n"));
    ASSERT_TRUE(Fetch(server->HttpsUrl("/secure/list.txt")))
        << "the fetch over https succeeds: " << job.m_lastErrorCode << " " << job.m_lastErrorText.Str();
    EXPECT_EQ(job.m_listText.Str(), "[UPDATE FILES]\nB.dll\n") << "the list with bare line feeds";

    const std::vector<RecordedRequest> requests = NewRequests();
    ASSERT_EQ(requests.size(), 2u) << "a probe and a fetch";
    EXPECT_EQ(requests[0].scheme, "https") << "the probe goes over https";
    EXPECT_EQ(requests[0].method, "GET") << "the probe is a GET";
    EXPECT_EQ(requests[0].HeaderValue("User-Agent"), "Updater") << "the probe's agent";
    const RecordedRequest& fetch = requests[1];
    EXPECT_EQ(fetch.scheme, "https") << "the fetch goes over https";
    EXPECT_EQ(fetch.method, "POST") << "an https list is fetched with POST";
    EXPECT_EQ(fetch.HeaderValue("User-Agent"), "list_tests") << "the module's name is the agent";
    ASSERT_NE(fetch.FindHeader("Content-Type"), nullptr) << "the fetch carries the form header";
    EXPECT_EQ(fetch.FindHeader("Content-Type")->rawLength, 49u) << "the form header's length";
    EXPECT_EQ(fetch.HeaderValue("Content-Length"), "0") << "the POST announces an empty body";
    EXPECT_EQ(fetch.body, "") << "the POST carries no body";
}

TEST_F(ListFetch, EveryRunReachesTheServerPastAnyCache)
{
    ASSERT_TRUE(server->PutFile("cache/list.txt", "one\n"));
    ASSERT_TRUE(Fetch(server->HttpUrl("/cache/list.txt"))) << "first fetch";
    ASSERT_TRUE(server->PutFile("cache/list.txt", "two\n"));
    ASSERT_TRUE(Fetch(server->HttpUrl("/cache/list.txt"))) << "second fetch";
    EXPECT_EQ(job.m_listText.Str(), "two\n") << "the second run sees the changed list";
    EXPECT_EQ(NewRequests().size(), 4u) << "both requests are made on every run";
}

TEST_F(ListFetch, LongLinesArriveUnbrokenAndCarriageReturnsAreDropped)
{
    const std::string longLine(5000, 'x');
    const std::string exact(1022, 'y');
    ASSERT_TRUE(server->PutFile("lines/list.txt",
                                longLine + "\r\n\r\n" + exact + "\r\n" + std::string(1023, 'z') + "\r\nend"));
    ASSERT_TRUE(Fetch(server->HttpUrl("/lines/list.txt"))) << "the fetch succeeds";
    EXPECT_EQ(job.m_listText.Str(),
              longLine + "\n\n" + exact + "\n" + std::string(1023, 'z') + "\nend")
        << "lines unbroken, a blank line stays an empty line, no carriage return left";
}

TEST_F(ListFetch, BytesThatAreNotTextArriveAsTheyAre)
{
    std::string bytes = "a";
    bytes += '\0';
    bytes += "b\n\xB0\x5C\xFF\n";
    bytes += '\0';
    ASSERT_TRUE(server->PutFile("binary/list.txt", bytes));
    ASSERT_TRUE(Fetch(server->HttpUrl("/binary/list.txt"))) << "the fetch succeeds";
    EXPECT_EQ(job.m_listText.Str(), bytes) << "NUL and high bytes are kept";
}

// The list step's failures at the probe and at the fetch, one row each: the code and text
// recorded, no list kept, and the requests the server saw.
TEST_F(ListFetch, FailuresAtTheProbeAndTheFetch)
{
    ASSERT_TRUE(server->PutFile("plain/list.txt", "x\n"));
    ASSERT_TRUE(server->PutFile("empty/list.txt", ""));
    ASSERT_TRUE(server->PutFile("forbidden/list.txt", "x\n"));
    ASSERT_TRUE(server->PutFile("drop/list.txt", "x\n"));
    const int closed = UnusedLocalPort();
    ASSERT_NE(closed, 0) << "a free port";
    struct Case {
        std::string url;
        int code;
        std::string text;
        size_t leastRequests, mostRequests;
        int lastStatus;  // the last request's answer; 0: not looked at
        const char* what;
    };
    const Case cases[] = {
        {server->HttpUrl("/chunked/plain/list.txt"), 51, kNoList, 1, 1, 0, "no Content-Length: only the probe"},
        {server->HttpUrl("/empty/list.txt"), 51, kNoList, 1, 1, 0, "an empty list: only the probe"},
        // The missing file's error page announces a length, so the probe passes.
        {server->HttpUrl("/no/such/list.txt"), 51, kNoList, 2, 2, 404, "missing: the fetch sees the 404"},
        {server->HttpUrl("/status/500/list.txt"), 41, kServerError, 8, 8, 500,
         "500: the probe and the fetch, tried four times (500 may pass)"},
        {server->HttpUrl("/after/1/403/forbidden/list.txt"), 0, "", 2, 2, 403,
         "403 after a good probe: no code"},
        {"ftp://127.0.0.1:" + std::to_string(closed) + "/list.txt", 51, kNoList, 0, 0, 0, "another scheme"},
        {"http://127.0.0.1:" + std::to_string(closed) + "/list.txt", 51, kNoList, 0, 0, 0, "an unreachable host"},
        {"not a url", 51, kNoList, 0, 0, 0, "not a URL"},
        // A connection that closes unanswered may be retried once by WinINet itself.
        {server->HttpUrl("/drop/1/drop/list.txt"), 0, "", 2, 3, 0, "a fetch answered with nothing: no code"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seen = server->Requests().size();
        EXPECT_FALSE(Fetch(c.url)) << "the step fails";
        ExpectFailure(c.code, c.text);
        const std::vector<RecordedRequest> requests = NewRequests();
        EXPECT_GE(requests.size(), c.leastRequests) << "requests made";
        EXPECT_LE(requests.size(), c.mostRequests) << "requests made";
        if (!requests.empty()) {
            EXPECT_EQ(requests[0].HeaderValue("User-Agent"), "Updater") << "the probe comes first";
        }
        if (c.lastStatus && !requests.empty()) {
            EXPECT_EQ(requests.back().status, c.lastStatus) << "the fetch's answer";
            EXPECT_EQ(requests.back().HeaderValue("User-Agent"), "list_tests") << "the fetch is the module's";
        }
    }
}

// The connection closing before the announced length is a failed read (code 42 with the
// system's text), however the server closes it; the part received is not kept.
TEST_F(ListFetch, ABodyCutShortIsAReadFailure)
{
    ASSERT_TRUE(server->PutFile("cut/list.txt", "[UPDATE FILES]\nA.dll\n" + std::string(3000, 'q') + "\n"));
    const std::string resetText = WininetText(ERROR_INTERNET_CONNECTION_RESET);
    const std::string abortedText = WininetText(ERROR_INTERNET_CONNECTION_ABORTED);
    ASSERT_NE(resetText, "") << "the system has a text for a reset connection";
    ASSERT_NE(abortedText, "") << "and for an aborted one";
    EXPECT_FALSE(Fetch(server->HttpUrl("/short/cut/list.txt"))) << "a close before the length fails the step";
    ExpectFailure(42, resetText);
    // Whether a reset reads as reset or as aborted depends on when it overtakes the body.
    EXPECT_FALSE(Fetch(server->HttpUrl("/reset/cut/list.txt"))) << "a reset fails the step";
    EXPECT_EQ(job.m_lastErrorCode, 42) << "a reset is a read failure";
    EXPECT_TRUE(job.m_lastErrorText.Str() == resetText || job.m_lastErrorText.Str() == abortedText)
        << "a reset has the system's text for a broken connection, not " << job.m_lastErrorText.Str();
    EXPECT_EQ(job.m_listText.Str(), "") << "no list is kept after a reset";
    EXPECT_FALSE(Fetch(server->HttpsUrl("/short/cut/list.txt"))) << "the step fails over https too";
    ExpectFailure(42, resetText);
}

TEST_F(ListFetch, AWholeRunFetchesAndParsesTheListThenReachesTheVersionCheck)
{
    // Files that are there and installed only when missing: the version check leaves
    // nothing to update, so the run ends after counting, before any download.
    ASSERT_TRUE(server->PutFile("run/list.txt", "[UPDATE FILES]\r\n%System%\\kernel32.dll|1.0|||ATFIRST\r\n"
                                                "%System%\\user32.dll|2.0|||ATFIRST\r\n"));
    UpdateProgressDialog dialog;
    dialog.m_listUrl = server->HttpUrl("/run/list.txt").c_str();
    dialog.m_dataUrl = server->HttpUrl("/run").c_str();
    const RecordedRun run = RunRecorded(dialog);

    EXPECT_EQ(run.endCode, IDOK) << "the run ends its dialog";
    EXPECT_EQ(dialog.m_lastErrorCode, 0) << "fetch, parse and version check succeeded";
    EXPECT_EQ(dialog.m_listText.Str(),
              "[UPDATE FILES]\n%System%\\kernel32.dll|1.0|||ATFIRST\n%System%\\user32.dll|2.0|||ATFIRST\n")
        << "the list as fetched";
    EXPECT_FALSE(dialog.m_updateNeeded) << "nothing to update";
    ASSERT_GE(run.notes.size(), 4u) << "the first four notifications";
    EXPECT_EQ(run.notes[1].message, static_cast<UINT>(WM_UPDATE_PROGRESS)) << "fetch step notification";
    EXPECT_EQ(run.notes[1].statusText, "업데이트 항목 전송중...") << "fetch step status";
    EXPECT_EQ(run.notes[2].lParam, 5) << "parse step progress";
    EXPECT_EQ(run.notes[2].statusText, "업데이트 항목 체크중...") << "parse step status";
    EXPECT_EQ(run.notes[3].lParam, 8) << "version check step progress";
    EXPECT_EQ(run.notes.back().message, static_cast<UINT>(WM_UPDATE_FINISHED)) << "the run finishes";
    EXPECT_EQ(NewRequests().size(), 2u) << "the probe and the fetch";
}

// Redirects are followed one hop at a time and judged before anything is sent: never from
// https to http, never beyond five hops, and in a locked job never to an untrusted host (a
// second server, reached as localhost, plays the attacker and serves a list of its own).
TEST_F(ListFetch, RedirectsAreJudgedBeforeTheyAreFollowed)
{
    TestServer attacker;
    ASSERT_TRUE(attacker.Start()) << attacker.Error();
    ASSERT_TRUE(attacker.PutFile("moved/list.txt", "[UPDATE FILES]\nEVIL.dll\n"));
    ASSERT_TRUE(server->PutFile("moved/list.txt", "[UPDATE FILES]\nA.dll\n"));
    const std::string evil = "http://localhost:" + std::to_string(attacker.HttpPort()) + "/moved/list.txt";
    std::string sixHops = server->HttpUrl("/moved/list.txt");
    for (int i = 0; i < 6; ++i)
        sixHops = server->HttpUrl(RedirectPath("302", sixHops));
    std::string fiveHops = server->HttpUrl("/moved/list.txt");
    for (int i = 0; i < 5; ++i)
        fiveHops = server->HttpUrl(RedirectPath("307", fiveHops));
    struct Case {
        std::string url;
        bool locked;
        bool fetched;
        const char* what;
    };
    const Case cases[] = {
        {server->HttpUrl(RedirectPath("302", server->HttpUrl("/moved/list.txt"))), false, true, "a redirect on the same site"},
        {server->HttpsUrl(RedirectPath("301", server->HttpsUrl("/moved/list.txt"))), true, true, "https to https, locked"},
        {fiveHops, true, true, "five hops are followed"},
        {sixHops, false, false, "a sixth hop is not"},
        {server->HttpsUrl(RedirectPath("302", server->HttpUrl("/moved/list.txt"))), false, false, "https to http, unlocked"},
        {server->HttpsUrl(RedirectPath("308", server->HttpUrl("/moved/list.txt"))), true, false, "https to http, locked"},
        {server->HttpUrl(RedirectPath("302", evil)), true, false, "to an untrusted host"},
        {server->HttpUrl(RedirectPath("303", "http://127.0.0.1:" + std::to_string(attacker.HttpPort()) + "#@" + evil.substr(7))),
         true, false, "to a hidden host"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        job.m_trustedSites = c.locked ? std::vector<std::string>{"127.0.0.1"} : std::vector<std::string>{};
        seen = server->Requests().size();
        const BOOL fetched = Fetch(c.url);
        EXPECT_EQ(fetched != FALSE, c.fetched) << "the fetch";
        if (c.fetched) {
            EXPECT_EQ(job.m_listText.Str(), "[UPDATE FILES]\nA.dll\n") << "the list where the redirect led";
        } else {
            EXPECT_EQ(job.m_lastErrorCode, 51) << "the probe found no list where it may go";
            EXPECT_EQ(job.m_listText.Str(), "") << "no list kept";
        }
        if (c.url.compare(0, 6, "https:") == 0) {
            for (const RecordedRequest& r : NewRequests())
                EXPECT_EQ(r.scheme, "https") << "nothing goes over http after https: " << r.target;
        }
        EXPECT_EQ(attacker.Requests().size(), 0u) << "no request reached the untrusted server";
    }
    job.m_trustedSites.clear();
}

// A file of the build folder (the tests folder's parent).
std::string BuildFile(const std::string& name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    std::string folder = path;
    folder = folder.substr(0, folder.rfind('\\'));
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(folder.substr(0, folder.rfind('\\')) + "\\" + name, &bytes)) << name;
    return bytes;
}

// A keyed job checks the fetched list before anything else uses it: code 48 and nothing kept.
TEST_F(ListFetch, AKeyedJobRefusesAListItsKeysDoNotVouchFor)
{
    const std::string signedList = BuildFile("signed-lists\\signed.txt");
    std::string changed = signedList;
    changed[changed.find("||16|") + 3] = '7';
    struct Case {
        std::string list;
        int code;
        const char* text;
    };
    const char* const forOther = "다른 프로그램이나 채널을 위한 업데이트 목록입니다.";
    const Case cases[] = {
        {signedList, 0, ""},
        {changed, 48, "업데이트 목록의 서명을 확인할 수 없습니다."},
        {BuildFile("signed-lists\\unsigned.txt"), 48, "업데이트 목록의 서명을 확인할 수 없습니다."},
        {BuildFile("signed-lists\\expired.txt"), 48, "업데이트 목록의 유효기간이 지났습니다."},
        // In order: what the job remembers decides the later rows.
        {BuildFile("signed-lists\\for-other.txt"), 48, forOther},
        {BuildFile("signed-lists\\beta.txt"), 48, forOther},
        {BuildFile("signed-lists\\newer.txt"), 0, ""},
        {BuildFile("signed-lists\\older.txt"), 49, "이전에 받은 것보다 오래된 업데이트 목록입니다."},
        {BuildFile("signed-lists\\revokes-a.txt"), 0, ""},
        {signedList, 48, "업데이트 목록에 서명한 키가 폐기되었습니다."},
        {BuildFile("signed-lists\\signed-b.txt"), 0, ""},
    };
    job.m_listKeys = {BuildFile("keys\\test-a.pem"), BuildFile("keys\\test-b.pem")};
    job.m_identityName = "VexaUpdater";
    job.m_listMemoryKey = "Software\\VexaListFetchTests";
    RegDeleteKeyA(HKEY_CURRENT_USER, job.m_listMemoryKey.c_str());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(server->PutFile("keyed/list.txt", c.list));
        EXPECT_EQ(Fetch(server->HttpUrl("/keyed/list.txt")) != FALSE, c.code == 0) << "the step";
        EXPECT_EQ(job.m_lastErrorCode, c.code) << "the code";
        EXPECT_EQ(job.m_lastErrorText.Str(), c.text) << "the text";
        if (c.code != 0) {
            EXPECT_EQ(job.m_listText.Str(), "") << "nothing of the list is kept";
        }
    }
    job.m_listKeys.clear();
    RegDeleteKeyA(HKEY_CURRENT_USER, job.m_listMemoryKey.c_str());
    job.m_listMemoryKey.clear();
}

// Every wait is bounded and so is the list: a server that stalls before its head ends the
// step with the system's text for a timeout (code 42, not the missing list's 51), and a list
// announced or sent past the cap is refused before it is read.
TEST_F(ListFetch, StallsAndOversizedListsEndTheStep)
{
    ASSERT_TRUE(server->PutFile("bounded/list.txt", "[UPDATE FILES]\nA.dll\n"));
    const std::string timedOut = WininetText(ERROR_INTERNET_TIMEOUT);
    const char* const tooLong = "업데이트 목록이 허용된 크기(32MB)를 넘습니다.";
    struct Case {
        std::string path;
        const std::string& text;
        size_t requests;
        const char* what;
    };
    const std::string tooLongText = tooLong;
    const int unanswered = UnansweredLocalPort();
    ASSERT_NE(unanswered, 0) << "a listener whose queue is full";
    const Case cases[] = {
        {"/stall/20/bounded/list.txt", timedOut, 4, "nothing after the request: the probe times out, four tries"},
        {"http://127.0.0.1:" + std::to_string(unanswered) + "/list.txt", timedOut, 0,
         "a connection attempt never answered: given up at the deadline, four tries"},
        {"/probe-says/40000000/bounded/list.txt", tooLongText, 1, "announced past the cap: only the probe"},
    };
    const DWORD bound = 500;
    job.m_networkTimeoutMs = bound;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seen = server->Requests().size();
        const DWORD start = GetTickCount();
        const long givenUp = GivenUpRequestStates();
        EXPECT_FALSE(Fetch(c.path[0] == '/' ? server->HttpUrl(c.path) : c.path)) << "the step fails";
        if (c.path[0] != '/') {
            EXPECT_EQ(GivenUpRequestStates() - givenUp, 4) << "each try ended by the deadline";
        }
        const DWORD elapsed = GetTickCount() - start;
        ExpectFailure(42, c.text);
        // Four tries, each given up at the bound and a half at the latest, and backoffs of
        // milliseconds: far below the server's 20 s stall.
        EXPECT_LT(elapsed, 4 * bound * 3 / 2 + 2000) << "bounded by the timeouts, not by the server's 20 s stall";
        EXPECT_EQ(NewRequests().size(), c.requests) << "requests made";
    }
    // The honest server, under the same short bound, still delivers the list.
    EXPECT_TRUE(Fetch(server->HttpUrl("/bounded/list.txt"))) << "the same list served honestly";
    EXPECT_EQ(job.m_listText.Str(), "[UPDATE FILES]\nA.dll\n") << "whole";
    job.m_networkTimeoutMs = 30000;
}

TEST(UrlParser, SplitsServiceServerObjectAndPort)
{
    DWORD service = 99;
    CString server, object;
    INTERNET_PORT port = 0;
    ASSERT_TRUE(AfxParseURL("https://Pay.Example:8443/up/list.txt?v=1", service, server, object, port));
    EXPECT_EQ(service, AFX_INET_SERVICE_HTTPS) << "https";
    EXPECT_EQ(server.Str(), "Pay.Example") << "server";
    EXPECT_EQ(object.Str(), "/up/list.txt?v=1") << "object with its query";
    EXPECT_EQ(port, 8443) << "explicit port";

    ASSERT_TRUE(AfxParseURL("http://pay.example", service, server, object, port));
    EXPECT_EQ(service, AFX_INET_SERVICE_HTTP) << "http";
    EXPECT_EQ(object.Str(), "/") << "an empty path is the root";
    EXPECT_EQ(port, 80) << "http default port";

    ASSERT_TRUE(AfxParseURL("https://pay.example/x", service, server, object, port));
    EXPECT_EQ(port, 443) << "https default port";

    ASSERT_TRUE(AfxParseURL("ftp://pay.example/x", service, server, object, port));
    EXPECT_EQ(service, AFX_INET_SERVICE_FTP) << "ftp is told apart";

    EXPECT_FALSE(AfxParseURL("no scheme at all", service, server, object, port)) << "not a URL";
}

TEST(InternetException, CarriesTheSystemsText)
{
    char message[1024] = {};
    ASSERT_TRUE(CInternetException(ERROR_INTERNET_NAME_NOT_RESOLVED).GetErrorMessage(message, sizeof message));
    const std::string expected = WininetText(ERROR_INTERNET_NAME_NOT_RESOLVED);
    ASSERT_NE(expected, "") << "the system has a text for the error";
    EXPECT_EQ(std::string(message), expected) << "the system's own text for the WinINet error";
    char small[8];
    ASSERT_TRUE(CInternetException(ERROR_INTERNET_NAME_NOT_RESOLVED).GetErrorMessage(small, sizeof small));
    EXPECT_EQ(std::string(small), std::string(message).substr(0, 7)) << "cut to the buffer";
}

}  // namespace
