// SPDX-License-Identifier: MIT
// Fuzzes the score service's reading of a request: any target, client address and body a connection
// could bring, through the query, the record's decoding and checks, the replay's upload and
// download, and the limits. Only an answer is allowed to come out, never a crash; nothing malformed
// may be stored.
#include "SqliteStore.h"
#include "ScoresService.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tw::scores::SqliteStore store(":memory:");
    static tw::scores::ScoresService service = [] {
        tw::scores::ServiceSettings settings;
        settings.now = [] { return std::int64_t{1790000000}; };
        settings.steadyMs = [] { return std::int64_t{1000000}; };
        settings.checkReplays = true;
        return tw::scores::ScoresService(store, settings);
    }();
    // "CLIENT\nMETHOD\nTARGET\nBODY": the parts a connection hands over.
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\n');
    const std::size_t second = first == std::string::npos ? std::string::npos : input.find('\n', first + 1);
    const std::size_t third = second == std::string::npos ? std::string::npos : input.find('\n', second + 1);
    tw::scores::Request request;
    request.client = input.substr(0, first);
    request.method = first == std::string::npos ? "GET" : input.substr(first + 1, second - first - 1);
    request.target = second == std::string::npos ? input : input.substr(second + 1, third - second - 1);
    if (third != std::string::npos) request.body = input.substr(third + 1);
    const tw::scores::Answer answer = service.Handle(request);
    if (answer.status < 200 || answer.status > 599) std::abort();
    // A result needs a token, and the tokens handed out here are random: nothing may ever be stored.
    if (store.ResultCount() != 0 || store.WaitingReplays() != 0) std::abort();
    return 0;
}
