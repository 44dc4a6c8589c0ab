// SPDX-License-Identifier: MIT
// The service in process on loopback with a database of its own (a SQLite file, or a database on
// the test program's PostgreSQL server), both clocks in the test's hands, and no limits unless a
// test sets them.
#pragma once

#include "HttpServer.h"
#include "PostgresCluster.h"
#include "ReplayQueue.h"
#include "ScoreStore.h"
#include "ScoresService.h"
#include "online/ResultEncoding.h"
#include "online/SendResult.h"
#include "platform/HttpClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <memory>

namespace tw::scores::test {

constexpr std::int64_t Start = 1790000000; // 2026-09-21, UTC

class InProcessService : public ::testing::Test {
protected:
    explicit InProcessService(StoreKind kind = StoreKind::Sqlite) : path_(folder_ / "scores.db") {
        if (kind == StoreKind::Postgres) {
            auto& cluster = PostgresCluster::Get();
            if (!cluster.Available()) {
                skipped_ = cluster.Reason();
                return;
            }
            path_ = cluster.FreshDatabase();
        }
        owned_ = OpenStore(path_);
        Restart();
    }
    ~InProcessService() override {
        if (server_) server_->Stop();
        if (replays_) replays_->Stop();
    }
    void SetUp() override {
        if (!skipped_.empty()) GTEST_SKIP() << skipped_;
    }
    ScoreStore& store() { return *owned_; }

    static ServiceSettings Unlimited() {
        ServiceSettings settings;
        settings.versions = settings.submissions = settings.pages = settings.replays = Rate{0};
        return settings;
    }
    // A new service and server on the same file, with these settings (the clocks are always ours).
    void Restart(ServiceSettings settings = Unlimited(), ServerSettings server = {}) {
        if (!owned_) return; // skipped
        if (server_) server_->Stop();
        if (replays_) {
            settings.checkReplays = true;
            settings.replayReceived = [this] { replays_->Wake(); };
        }
        settings.now = [this] { return clock_.load(); };
        settings.steadyMs = [this] { return steadyMs_.load(); };
        service_ = std::make_unique<ScoresService>(*owned_, settings);
        server.port = 0;
        server_ = std::make_unique<HttpServer>(server);
        server_->Bind();
        server_->Start(*service_);
    }

    // Replays checked from now on by this program (the test's stand-in for the game's), on a queue
    // that looks at the store often; the service is started again to take them.
    void CheckReplaysWith(const std::string& program, std::chrono::milliseconds timeout = std::chrono::seconds(20),
                          ServiceSettings settings = Unlimited()) {
        if (!owned_) return;
        if (replays_) replays_->Stop();
        QueueSettings queue;
        queue.check.program = program;
        queue.check.timeout = timeout;
        queue.check.memoryBytes = 0; // a sanitizer build of the game reserves more than any limit
        queue.now = [this] { return clock_.load(); };
        queue.poll = std::chrono::milliseconds(100);
        replays_ = std::make_unique<ReplayQueue>(*owned_, queue);
        replays_->Start();
        Restart(settings);
    }

    int port() const { return server_->Port(); }
    std::string base() const { return server_->Base(); }

    bool Send(const std::string& name, std::uint16_t score, const std::string& country) {
        platform::CurlHttpClient http;
        return online::SendResult(http, base(), name, score, country);
    }

    struct Answer {
        int status = 0;
        std::string body;
        httplib::Headers headers;
    };
    Answer Request(const std::string& method, const std::string& target, const httplib::Headers& headers = {}) {
        httplib::Client client("127.0.0.1", port());
        httplib::Result result = method == "GET"    ? client.Get(target, headers)
                                 : method == "HEAD" ? client.Head(target, headers)
                                 : method == "POST"
                                     ? client.Post(target, headers, "version&prg=Tidewarden", "text/plain")
                                     : client.Delete(target, headers);
        if (!result) return {};
        return {result->status, result->body, result->headers};
    }
    Answer Get(const std::string& target, const httplib::Headers& headers = {}) {
        return Request("GET", target, headers);
    }

    std::string FreshToken(const httplib::Headers& headers = {}) {
        const std::string answer = Get("/cgi/version.pl?version&prg=Tidewarden", headers).body;
        return online::TokenFromAnswer(answer).value_or("");
    }

    std::atomic<std::int64_t> clock_{Start};
    std::atomic<std::int64_t> steadyMs_{1000000};
    tw::test::TempDir folder_{"tw-scores"};
    std::string path_; // the file or URI
    std::string skipped_;
    std::unique_ptr<ScoreStore> owned_;
    std::unique_ptr<ReplayQueue> replays_;
    std::unique_ptr<ScoresService> service_;
    std::unique_ptr<HttpServer> server_;
};

// A fixture run once against each store.
class BothStores : public InProcessService, public ::testing::WithParamInterface<StoreKind> {
protected:
    BothStores() : InProcessService(GetParam()) {}
};

inline std::string StoreName(const ::testing::TestParamInfo<StoreKind>& info) { return KindText(info.param); }

inline std::string Submission(const std::string& record) {
    return "/cgi/version.pl?hs&prg=Tidewarden&inf=" + online::EncodeRecord(record);
}

// A record with the fields in place, padded as the game pads.
inline std::string Padded(std::string record) {
    while (record.size() % 5 != 0) record += '0';
    return record;
}

inline std::string GoodRecord(const std::string& token, const std::string& name = "Nemo") {
    return Padded("type=0|name=" + name + "|score=120|key=T|p=" + token + "|add=nz|z=");
}

} // namespace tw::scores::test
