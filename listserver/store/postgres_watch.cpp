#include "listserver/store/postgres_watch.h"

#include "listserver/store/postgres_connection.h"

#include <libpq-fe.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace reef::listserver {

namespace {

// Channels the triggers of the schema notify on.
constexpr const char* kListChannel = "reef_list_version";
constexpr const char* kWrongPasswordChannel = "reef_wrong_password";
constexpr const char* kAllianceChannel = "reef_alliance";

double monotonicNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

PostgresWatch::PostgresWatch(std::string address) : address_(std::move(address)) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

PostgresWatch::~PostgresWatch() {
    stopping_ = true;
    std::uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
        // Nothing to do: the watch notices the stop within a second anyway.
    }
    if (thread_.joinable())
        thread_.join();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

std::optional<std::int64_t> PostgresWatch::listVersion(AllianceId alliance, ListKind kind) {
    std::lock_guard lock(mutex_);
    if (!listening_ && monotonicNow() - versionsReadAt_ > 1.0)
        return std::nullopt;
    auto it = versions_.find({alliance, static_cast<std::int64_t>(kind)});
    return it == versions_.end() ? 0 : it->second;
}

void PostgresWatch::tookVersions(Versions versions) {
    std::lock_guard lock(mutex_);
    if (listening_)
        return; // what the notifications tell is at least as new
    versions_ = std::move(versions);
    versionsReadAt_ = monotonicNow();
}

bool PostgresWatch::mayHaveWrongPasswords(const std::string& client) {
    std::lock_guard lock(mutex_);
    return !listening_ || tooManyClients_ || wrongPasswordClients_.contains(client);
}

void PostgresWatch::countedWrongPassword(const std::string& client) {
    std::lock_guard lock(mutex_);
    rememberClient(client);
}

void PostgresWatch::rememberClient(const std::string& client) {
    if (tooManyClients_)
        return;
    wrongPasswordClients_.insert(client);
    if (wrongPasswordClients_.size() > kMaxWrongPasswordClients) {
        wrongPasswordClients_.clear();
        tooManyClients_ = true;
    }
}

std::optional<Alliance> PostgresWatch::alliance(const std::string& passwordHash) {
    std::lock_guard lock(mutex_);
    if (!listening_)
        return std::nullopt;
    auto it = alliances_.find(passwordHash);
    if (it == alliances_.end())
        return std::nullopt;
    return it->second;
}

std::uint64_t PostgresWatch::allianceGeneration() {
    std::lock_guard lock(mutex_);
    return allianceGeneration_;
}

void PostgresWatch::rememberAlliance(const std::string& passwordHash, const Alliance& alliance,
                                     std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    // An alliance that changed after the query began may be this one.
    if (listening_ && generation == allianceGeneration_)
        alliances_[passwordHash] = alliance;
}

bool PostgresWatch::tooManyClientsNow() {
    std::lock_guard lock(mutex_);
    return tooManyClients_;
}

bool PostgresWatch::readClientsAgain(postgres::Connection& connection) {
    std::set<std::string> clients;
    try {
        postgres::Result rows = connection.run("SELECT client FROM wrong_password LIMIT " +
                                               std::to_string(kMaxWrongPasswordClients + 1));
        if (static_cast<std::size_t>(rows.rows()) > kMaxWrongPasswordClients)
            return true; // still too many: every client is asked for
        for (int row = 0; row < rows.rows(); ++row)
            clients.insert(rows.bytes(row, 0));
    } catch (const std::exception&) {
        return false;
    }
    std::lock_guard lock(mutex_);
    // Notifications that came meanwhile are handled after this and only add to it.
    wrongPasswordClients_ = std::move(clients);
    tooManyClients_ = false;
    return true;
}

bool PostgresWatch::listening() {
    std::lock_guard lock(mutex_);
    return listening_;
}

bool PostgresWatch::pause(double seconds) {
    pollfd wake{wakeFd_, POLLIN, 0};
    ::poll(&wake, 1, static_cast<int>(seconds * 1000));
    return !stopping_;
}

void PostgresWatch::run() {
    bool justLost = false;
    while (!stopping_) {
        std::unique_ptr<postgres::Connection> connection;
        try {
            connection = postgres::Connection::open(address_);
            // Listening first: whatever commits after this is told, whatever committed
            // before is in the readings that follow.
            connection->exec((std::string("LISTEN ") + kListChannel).c_str());
            connection->exec((std::string("LISTEN ") + kWrongPasswordChannel).c_str());
            connection->exec((std::string("LISTEN ") + kAllianceChannel).c_str());
            postgres::Result versions =
                connection->run("SELECT alliance_id, list, version FROM list_state");
            postgres::Result clients = connection->run("SELECT client FROM wrong_password");
            Versions read;
            for (int row = 0; row < versions.rows(); ++row)
                read[{versions.integer(row, 0), versions.integer(row, 1)}] =
                    versions.integer(row, 2);
            std::lock_guard lock(mutex_);
            versions_ = std::move(read);
            wrongPasswordClients_.clear();
            tooManyClients_ = false;
            alliances_.clear();
            ++allianceGeneration_;
            for (int row = 0; row < clients.rows(); ++row)
                rememberClient(clients.bytes(row, 0));
            listening_ = true;
        } catch (const std::exception&) {
            connection.reset();
        }
        if (!connection) {
            // The first try after a loss at once, then once a second.
            if (!justLost && !pause(1.0))
                return;
            justLost = false;
            continue;
        }
        PGconn* raw = connection->raw();
        while (!stopping_) {
            pollfd watched[2] = {{PQsocket(raw), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
            if (::poll(watched, 2, 1000) < 0 && errno != EINTR)
                break;
            if (stopping_)
                break;
            if (!PQconsumeInput(raw) || PQstatus(raw) != CONNECTION_OK)
                break;
            if (tooManyClientsNow() && !readClientsAgain(*connection))
                break;
            std::lock_guard lock(mutex_);
            while (PGnotify* notice = PQnotifies(raw)) {
                const std::string channel = notice->relname;
                if (channel == kListChannel) {
                    long long alliance = 0, list = 0, version = 0;
                    if (std::sscanf(notice->extra, "%lld %lld %lld", &alliance, &list, &version) ==
                        3) {
                        std::int64_t& known = versions_[{alliance, list}];
                        known = std::max<std::int64_t>(known, version);
                    }
                } else if (channel == kWrongPasswordChannel) {
                    rememberClient(notice->extra);
                } else if (channel == kAllianceChannel) {
                    alliances_.clear();
                    ++allianceGeneration_;
                }
                PQfreemem(notice);
            }
        }
        {
            std::lock_guard lock(mutex_);
            listening_ = false;
            versionsReadAt_ = -1e300;
            alliances_.clear();
            ++allianceGeneration_;
        }
        justLost = true;
    }
}

} // namespace reef::listserver
