// SPDX-License-Identifier: MIT
// The throwaway PostgreSQL server of a test program (pg-cluster.sh), started on first use in a
// folder of its own and ended with the program; each test gets a fresh database on it.
#pragma once

#include "support/TempDir.h"

#include <libpq-fe.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

namespace tw::scores::test {

class PostgresCluster {
public:
    // The one of this program; Available() says whether it runs, Reason() why not.
    static PostgresCluster& Get() {
        static PostgresCluster cluster;
        return cluster;
    }
    ~PostgresCluster() {
        if (!uri_.empty()) Script("destroy");
    }
    PostgresCluster(const PostgresCluster&) = delete;
    PostgresCluster& operator=(const PostgresCluster&) = delete;

    bool Available() const { return !uri_.empty(); }
    const std::string& Reason() const { return reason_; }

    // A new, empty database's URI.
    std::string FreshDatabase() {
        const std::string name = "test" + std::to_string(++databases_);
        Execute("CREATE DATABASE " + name);
        return "postgresql://tidewarden@/" + name + "?host=" + folder_.path().string();
    }
    // One statement on the cluster's first database; throws with the server's words.
    void Execute(const std::string& sql) const { ExecuteOn(uri_, sql); }
    static void ExecuteOn(const std::string& uri, const std::string& sql) {
        PGconn* connection = PQconnectdb(uri.c_str());
        PGresult* result = PQexec(connection, sql.c_str());
        const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
        const std::string error = PQerrorMessage(connection);
        PQclear(result);
        PQfinish(connection);
        if (!ok) throw std::runtime_error(sql + ": " + error);
    }
    // The server stopped (its clients cut off) and started again on the same files.
    bool Stop() { return Script("stop") == 0; }
    bool Resume() { return Script("resume") == 0; }

private:
    PostgresCluster() {
        const int status = Script("start", &uri_);
        if (status != 0) {
            std::ifstream errors(folder_ / "errors");
            std::stringstream text;
            text << errors.rdbuf();
            reason_ = "PostgreSQL cannot run here: " + text.str();
            uri_.clear();
        }
        while (!uri_.empty() && (uri_.back() == '\n' || uri_.back() == ' ')) uri_.pop_back();
    }
    int Script(const std::string& command, std::string* out = nullptr) {
        const std::string line = std::string("'") + PG_CLUSTER_SCRIPT + "' " + command + " '" +
                                 folder_.path().string() + "' 2>'" + (folder_ / "errors") + "'";
        FILE* pipe = ::popen(line.c_str(), "r");
        if (!pipe) return -1;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            if (out) *out += buffer;
        const int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    tw::test::TempDir folder_{"tw-pg"};
    std::string uri_;
    std::string reason_;
    int databases_ = 0;
};

// Which store a test runs against.
enum class StoreKind { Sqlite, Postgres };
inline std::string KindText(StoreKind kind) { return kind == StoreKind::Sqlite ? "Sqlite" : "Postgres"; }

} // namespace tw::scores::test
