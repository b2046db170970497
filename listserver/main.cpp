// reef-listserver: the list server an alliance runs for the two fleet lists of the desktop
// program, and the admin commands for its alliances.

#include "listserver/admin/demo_alliance.h"
#include "listserver/admin/password_prompt.h"
#include "listserver/admin/server_dat_lines.h"
#include "listserver/chat/webhook_alerts.h"
#include "listserver/chat/webhook_sender.h"
#include "listserver/core/list_service.h"
#include "listserver/core/local_time.h"
#include "listserver/core/server_key.h"
#include "listserver/http/http_server.h"
#include "listserver/http/server_metrics.h"
#include "listserver/store/postgres_store.h"
#include "listserver/store/sqlite_store.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace reef::listserver;

namespace {

constexpr const char* kHelp =
    R"(reef-listserver - the list server for the fleet lists of Reef - Tools

Usage:
  reef-listserver serve [--listen ADDRESS:PORT] [--db FILE] [--timezone ZONE]
                        [--expiry-hours HOURS] [--threads N] [--max-connections N]
                        [--max-streams N]
                        [--connections-per-address N] [--writes-per-minute N]
                        [--alliance-writes-per-minute N] [--trusted-proxy ADDRESS] [--demo]
                        [--metrics-from ADDRESS]
  reef-listserver alliance add NAME [--db FILE] [--public-address HOST[:PORT]]
                                                       password from standard input
  reef-listserver alliance list [--db FILE]
  reef-listserver alliance password NAME [--db FILE] [--public-address HOST[:PORT]]
                                                       new password from standard input
  reef-listserver alliance remove NAME [--db FILE]     removes it with both its lists
  reef-listserver alliance webhook NAME URL [--format discord|slack|json]
                                   [--mention TEXT] [--db FILE]
  reef-listserver alliance webhook NAME --remove [--db FILE]
  reef-listserver --help

serve answers the desktop program's requests (GET /Reef-Update.php) until it gets
SIGTERM or SIGINT, and writes one line per request to standard error.

Options:
  --listen ADDRESS:PORT  address and port to listen on (default 0.0.0.0:80; IPv6 as
                         [::]:80; port 0 picks a free port, shown at start)
  --db FILE              the database (default reef-lists.sqlite in the working directory);
                         created at the first start. The key that protects the stored
                         passwords is created beside it as FILE.key, readable only by its
                         owner; back up both together.
  --db postgresql://USER@HOST/DATABASE
                         the lists in a PostgreSQL database instead (any libpq connection
                         URI; put the password in ~/.pgpass rather than the URI), which
                         several serve processes may share; the schema is created or
                         migrated at start and the key is kept in the database itself
  --timezone ZONE        time zone of the times of change sent to the desktop program,
                         e.g. Europe/Berlin (default: the machine's)
  --expiry-hours HOURS   entries not updated for this long are removed (default 24)
  --threads N            worker threads answering requests (default: one per processor
                         core, at least 2)
  --max-connections N    connections of all clients together (default 512, and at most
                         the open-file limit less 64)
  --connections-per-address N
                         connections one address, or one IPv6 /64 network, may hold
                         (default 8)
  --max-streams N        live streams of the browser page (GET /api/events) open at once,
                         two per session at most (default 200, within the open-file limit);
                         they count against neither limit above
  --writes-per-minute N  new and changed entries one address (or IPv6 /64) may send in a
                         burst and per minute; past that "Error10" (default 20)
  --alliance-writes-per-minute N
                         the same for all members of one alliance together (default 120)
  --trusted-proxy ADDRESS
                         a reverse proxy in front of this server (e.g. 127.0.0.1 for nginx
                         on the same machine; the option may be repeated): its requests
                         count for the client its X-Real-IP header names, for the password
                         throttle and the write budgets
  --metrics-from ADDRESS an address that may read GET /metrics, the server's counters in
                         the Prometheus text format (default 127.0.0.1 and ::1; the option
                         may be repeated and then replaces the default); behind a trusted
                         proxy the address its X-Real-IP names. Everyone else gets 404
  --demo                 make sure an alliance "Demo" exists (for trying the desktop
                         program out); a new one gets a random password, shown at a
                         terminal, else written to FILE.demo-password for this user
                         alone; an existing one keeps its password
  --public-address HOST[:PORT]
                         the name or IPv4 address (and port, default 80) at which the
                         members reach this server: alliance add and alliance password
                         then print the lines of Server.dat, the file the members put
                         beside ReefTools.exe (without it, the --listen address when one
                         is given and usable)
  --format FORMAT        the body a webhook gets: discord (an embed, the default), slack
                         ({"text": ...}, also taken by Mattermost and Rocket.Chat) or json
                         (the entry as a plain object, for an alliance's own bot)
  --mention TEXT         put in front of every message of the webhook, e.g. <@&ROLE-ID> to
                         ping a Discord role; only what it names is pinged
  --remove               alliance webhook: remove the alliance's webhook
  --help                 this text

Alliances: each has its own password and its own two lists; a request's alliance is the
one whose password it brings, so two alliances cannot share a password. The password is
asked twice without echo at a terminal, else read as one line from standard input. It has
at least 10 characters and may hold every printable ASCII character, blanks included, but
no control characters and no characters outside ASCII (a terminal's UTF-8 and the desktop
program's Windows-1252 would differ).

Answers: "Error1" wrong password, "Error2" database unavailable, "Error3" faulty query,
"Error10" any other failure; "false" for an entry that was refused. After 10 wrong passwords
from one address (or one IPv6 /64 network) a password from there is looked at only once
every 6 seconds: a request is held until then (at most 6 s) and answered by its password;
a fifth held request of that address gets "Error10" at once.

Chat alerts: an alliance with a webhook gets a message in its chat for every new entry in
the enemy list, for an enemy entry whose help status becomes "Hilfe" or "Achtung", and for
an allied entry whose help status becomes "Hilfe", "Deff" or "Ziel". The URL is kept in the
database and never logged or shown whole (alliance list shows scheme and host). Use https:
an http URL sends the chat's secret token unencrypted. A running server reads a changed
webhook with the next alert.
)";

struct Arguments {
    std::vector<std::string> words;
    std::string listen = "0.0.0.0:80";
    bool listenGiven = false;
    std::optional<std::string> publicAddress;
    std::string db = "reef-lists.sqlite";
    std::optional<std::string> timezone;
    long expiryHours = 24;
    // One per core, as more only take turns on the cores (each turn a switch of threads that
    // costs a download's worth of time); at least two, so that one slow read does not stop
    // every answer.
    long threads = std::clamp<long>(std::thread::hardware_concurrency(), 2, 256);
    long maxConnections = 512;
    long maxStreams = 200;
    long connectionsPerAddress = 8;
    long writesPerMinute = 20;
    long allianceWritesPerMinute = 120;
    bool demo = false;
    bool help = false;
    std::optional<std::string> format;
    std::optional<std::string> mention;
    bool remove = false;
    std::vector<std::string> trustedProxies;
    std::vector<std::string> metricsFrom = {"127.0.0.1", "::1"};
    bool metricsFromGiven = false;
};

[[noreturn]] void usageError(const std::string& text) {
    std::cerr << "reef-listserver: " << text << "\nTry 'reef-listserver --help'.\n";
    std::exit(2);
}

long numberOption(const std::string& name, const std::string& value, long low, long high) {
    try {
        std::size_t used = 0;
        long number = std::stol(value, &used);
        if (used == value.size() && number >= low && number <= high)
            return number;
    } catch (const std::exception&) {
    }
    usageError(name + " expects a whole number from " + std::to_string(low) + " to " +
               std::to_string(high));
}

// A numeric IPv4 or IPv6 address in the form the server prints peers in.
std::string numericAddress(const std::string& name, const std::string& text) {
    unsigned char bytes[16];
    char shown[INET6_ADDRSTRLEN];
    for (int family : {AF_INET, AF_INET6})
        if (inet_pton(family, text.c_str(), bytes) == 1 &&
            inet_ntop(family, bytes, shown, sizeof shown))
            return shown;
    usageError(name + " expects a numeric IPv4 or IPv6 address");
}

Arguments parseArguments(int argc, char** argv) {
    Arguments args;
    std::vector<std::string> in(argv + 1, argv + argc);
    for (std::size_t i = 0; i < in.size(); ++i) {
        std::string word = in[i];
        if (word.size() < 2 || word.rfind("--", 0) != 0) {
            args.words.push_back(word);
            continue;
        }
        std::optional<std::string> inlineValue;
        if (auto eq = word.find('='); eq != std::string::npos) {
            inlineValue = word.substr(eq + 1);
            word = word.substr(0, eq);
        }
        auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= in.size())
                usageError(word + " needs a value");
            return in[++i];
        };
        if (word == "--help")
            args.help = true;
        else if (word == "--listen") {
            args.listen = value();
            args.listenGiven = true;
        } else if (word == "--public-address")
            args.publicAddress = value();
        else if (word == "--db")
            args.db = value();
        else if (word == "--timezone")
            args.timezone = value();
        else if (word == "--expiry-hours")
            args.expiryHours = numberOption(word, value(), 1, 24 * 366);
        else if (word == "--threads")
            args.threads = numberOption(word, value(), 1, 256);
        else if (word == "--max-connections")
            args.maxConnections = numberOption(word, value(), 4, 100000);
        else if (word == "--max-streams")
            args.maxStreams = numberOption(word, value(), 0, 100000);
        else if (word == "--connections-per-address")
            args.connectionsPerAddress = numberOption(word, value(), 1, 100000);
        else if (word == "--writes-per-minute")
            args.writesPerMinute = numberOption(word, value(), 1, 1000000000);
        else if (word == "--alliance-writes-per-minute")
            args.allianceWritesPerMinute = numberOption(word, value(), 1, 1000000000);
        else if (word == "--demo")
            args.demo = true;
        else if (word == "--format")
            args.format = value();
        else if (word == "--mention")
            args.mention = value();
        else if (word == "--remove")
            args.remove = true;
        else if (word == "--trusted-proxy")
            args.trustedProxies.push_back(numericAddress(word, value()));
        else if (word == "--metrics-from") {
            // The first one given replaces the default addresses.
            if (!args.metricsFromGiven)
                args.metricsFrom.clear();
            args.metricsFromGiven = true;
            args.metricsFrom.push_back(numericAddress(word, value()));
        } else
            usageError("unknown option " + word);
    }
    return args;
}

std::string checkedAllianceName(const std::string& name) {
    if (name.empty() || name.size() > 100)
        throw std::runtime_error("an alliance name has 1 to 100 characters");
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            throw std::runtime_error("an alliance name may not contain control characters");
    return name;
}

// The key kept in a database that several processes share: the first process stores a fresh
// one, every other takes that.
ServerKey openKeptKey(ListStore& store, const std::string& kept) {
    ServerKey key = ServerKey::fromBytes(kept);
    auto check = store.keyCheck();
    if (!check)
        store.setKeyCheck(key.checkValue());
    else if (*check != key.checkValue())
        throw std::runtime_error("the key kept in the database does not match its check value; "
                                 "restore the database from a backup");
    return key;
}

// The store a --db value names: a PostgreSQL address, else a SQLite file.
std::unique_ptr<ListStore> openStore(const std::string& db, bool mayCreate,
                                     std::size_t connections = 1) {
    if (isPostgresAddress(db)) {
        auto store = std::make_unique<PostgresStore>(db);
        store->openConnections(connections);
        // Only a serving process keeps lists in memory and needs to hear of other processes'
        // writes.
        if (mayCreate)
            store->listenForChanges();
        return store;
    }
    auto store = std::make_unique<SqliteStore>(db, mayCreate ? SqliteStore::Create::IfMissing
                                                             : SqliteStore::Create::Never);
    store->openConnections(connections);
    return store;
}

std::string describeDatabase(const std::string& db) {
    return isPostgresAddress(db) ? describePostgresAddress(db) : db;
}

// The key that belongs to the database: created with the database, refused when it is
// missing or foreign, since then no stored password could ever match. A database without a
// check value takes no key file that is already there: it may belong to another database, or
// have been put there by someone else.
ServerKey openKey(ListStore& store, const std::string& db) {
    if (auto kept = store.keptKey(ServerKey::freshKeyBytes()))
        return openKeptKey(store, *kept);
    std::string path = keyFileFor(db);
    auto check = store.keyCheck();
    if (!check && !store.alliances().empty())
        throw std::runtime_error("the database " + db +
                                 " holds alliances but no key check value; restore it from the "
                                 "backup together with its key file");
    if (!check && ::access(path.c_str(), F_OK) == 0)
        throw std::runtime_error("the key file " + path +
                                 " is already there, but the database is new; if it belongs to "
                                 "a database you want back, restore that one, else remove it");
    bool created = false;
    ServerKey key = [&] {
        try {
            return ServerKey::loadOrCreate(path, !check.has_value(), &created);
        } catch (const std::runtime_error& error) {
            if (check && access(path.c_str(), F_OK) != 0)
                throw std::runtime_error(
                    "the key file " + path +
                    " that belongs to this database is missing; restore it from the backup "
                    "(without it no stored password can match)");
            throw;
        }
    }();
    if (!check) {
        store.setKeyCheck(key.checkValue());
        if (created)
            std::cerr << "reef-listserver: created the server key " << path
                      << " (readable only by its owner; back it up with the database)\n";
    } else if (*check != key.checkValue()) {
        throw std::runtime_error("the key file " + path +
                                 " does not belong to this database; restore the right one");
    }
    return key;
}

// One line on standard error in a single write: the request lines of the worker threads
// cannot land inside it, and whoever reads the log never sees half of it.
void announce(const std::string& text) {
    std::string line = "reef-listserver: " + text + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
}

// The connections asked for, but never so many that the database, the log and the listening
// socket could find no file descriptor.
unsigned connectionLimit(long wanted) {
    constexpr long kReservedFiles = 64;
    rlimit files{};
    long allowed = wanted;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        allowed = std::min<long>(wanted, static_cast<long>(files.rlim_cur) - kReservedFiles);
    return static_cast<unsigned>(std::max(4L, allowed));
}

int serve(const Arguments& args) {
    if (args.words.size() != 1)
        usageError("serve takes no further words");
    if (args.timezone) {
        std::string problem = useTimeZone(*args.timezone);
        if (!problem.empty())
            usageError("--timezone: " + problem);
    }
    // Every thread started from here on inherits the blocked signals; only the main thread
    // takes them, with sigtimedwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (args.demo && isPostgresAddress(args.db))
        usageError("--demo is for a database file, not a shared PostgreSQL database");
    // Every request thread, the writer and the expiry find a database connection waiting.
    std::unique_ptr<ListStore> opened =
        openStore(args.db, true, static_cast<std::size_t>(args.threads) + 2);
    ListStore& store = *opened;
    ServerKey key = openKey(store, args.db);

    if (args.demo)
        std::cout << setUpDemoAlliance(store, key, args.db) << std::endl;

    ServiceClock clock{
        [] { return static_cast<std::int64_t>(std::time(nullptr)); },
        [] { return localWallSeconds(static_cast<std::int64_t>(std::time(nullptr))); },
        [] {
            using namespace std::chrono;
            return duration<double>(steady_clock::now().time_since_epoch()).count();
        }};
    ServiceOptions serviceOptions;
    serviceOptions.expirySeconds = args.expiryHours * 3600;
    serviceOptions.writesPerMinutePerAddress = static_cast<double>(args.writesPerMinute);
    serviceOptions.writesPerMinutePerAlliance = static_cast<double>(args.allianceWritesPerMinute);
    ListService service(store, key, clock, serviceOptions);
    WebhookSender webhooks(SenderOptions{}, announce);
    service.onEntryStored(
        [&](const StoredEntry& stored) { alertChat(store, webhooks, stored, announce); });

    HttpOptions httpOptions;
    httpOptions.listen = args.listen;
    httpOptions.threads = static_cast<unsigned>(args.threads);
    httpOptions.maxConnections = connectionLimit(args.maxConnections);
    // The live streams get what the open-file limit leaves after the connections.
    const unsigned files = connectionLimit(args.maxConnections + args.maxStreams);
    httpOptions.maxStreams = std::min<std::size_t>(
        static_cast<std::size_t>(args.maxStreams),
        files > httpOptions.maxConnections ? files - httpOptions.maxConnections : 0);
    httpOptions.connectionsPerAddress = static_cast<unsigned>(args.connectionsPerAddress);
    httpOptions.trustedProxies = args.trustedProxies;
    httpOptions.metricsFrom = args.metricsFrom;
    HttpServer server(httpOptions, service);
    server.metrics().addReader([&webhooks] {
        const WebhookFigures figures = webhooks.figures();
        auto value = [](auto number) { return static_cast<double>(number); };
        return std::vector<MetricReading>{
            {"reef_webhook_queue_messages", "gauge",
             "Chat alerts waiting to be posted or under way.", "", value(figures.waiting)},
            {"reef_webhook_messages_total", "counter",
             "Chat alerts by outcome: delivered, given up after the last try, dropped from a "
             "full queue.",
             "outcome=\"delivered\"", value(figures.delivered)},
            {"reef_webhook_messages_total", "counter", "", "outcome=\"given_up\"",
             value(figures.givenUp)},
            {"reef_webhook_messages_total", "counter", "", "outcome=\"dropped\"",
             value(figures.dropped)},
            {"reef_webhook_failures_total", "counter",
             "Posts of chat alerts that failed (each try counts).", "",
             value(figures.failedTries)}};
    });

    std::string host;
    std::uint16_t port = 0;
    splitListenAddress(args.listen, host, port);
    std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    announce("listening on " + shownHost + ":" + std::to_string(server.port()) + " (database " +
             describeDatabase(args.db) + ", time zone " +
             (args.timezone ? *args.timezone : "of the machine") + ", entries expire after " +
             std::to_string(args.expiryHours) + " h, at most " +
             std::to_string(httpOptions.maxConnections) + " connections, " +
             std::to_string(httpOptions.connectionsPerAddress) + " per address)");

    for (;;) {
        timespec wait{60, 0};
        int signal = sigtimedwait(&stopSignals, nullptr, &wait);
        if (signal == SIGINT || signal == SIGTERM) {
            announce(std::string(signal == SIGINT ? "SIGINT" : "SIGTERM") + ", stopping");
            break;
        }
        try {
            std::int64_t removed = service.removeExpired();
            if (removed > 0)
                announce("removed " + std::to_string(removed) + " expired entries");
        } catch (const std::exception& error) {
            announce(std::string("removing expired entries failed: ") + error.what());
        }
    }
    server.stop();
    announce("stopped");
    return 0;
}

// What alliance list shows of a webhook: never the URL's secret part.
std::string webhookNote(const std::optional<Webhook>& webhook) {
    if (!webhook)
        return {};
    std::string problem;
    auto url = checkWebhookUrl(webhook->url, problem);
    return std::string(" (webhook: ") + webhookFormatName(webhook->format) + " to " +
           (url ? url->shown : "an unusable URL") + ")";
}

int allianceWebhook(const Arguments& args) {
    const std::size_t expected = args.remove ? 3 : 4;
    if (args.words.size() != expected)
        usageError(args.remove ? "alliance webhook NAME --remove takes no URL"
                               : "alliance webhook needs NAME and URL");
    if (args.remove && (args.format || args.mention))
        usageError("--remove takes no --format or --mention");
    std::string name = checkedAllianceName(args.words[2]);
    auto store = openStore(args.db, false);
    if (args.remove) {
        if (!store->setWebhook(name, std::nullopt))
            throw std::runtime_error("there is no alliance \"" + name + "\"");
        std::cout << "Alliance \"" << name << "\" has no webhook now.\n";
        return 0;
    }
    Webhook webhook;
    webhook.url = args.words[3];
    std::string problem;
    auto url = checkWebhookUrl(webhook.url, problem);
    if (!url)
        usageError("alliance webhook: " + problem);
    if (args.format) {
        auto format = webhookFormatOf(*args.format);
        if (!format)
            usageError("--format is discord, slack or json");
        webhook.format = *format;
    }
    webhook.mention = args.mention.value_or("");
    if (!checkMention(webhook.mention, problem))
        usageError("--mention: " + problem);
    if (!store->setWebhook(name, webhook))
        throw std::runtime_error("there is no alliance \"" + name + "\"");
    std::cout << "Alliance \"" << name << "\" sends its alerts to " << url->shown << " ("
              << webhookFormatName(webhook.format) << ").\n";
    if (!url->encrypted)
        std::cout << "Warning: http sends the webhook's secret token unencrypted; use https "
                     "unless the chat runs on this machine.\n";
    return 0;
}

int alliance(const Arguments& args) {
    if (args.words.size() < 2)
        usageError("alliance needs one of add, list, password, remove, webhook");
    const std::string& action = args.words[1];
    if (action == "list") {
        if (args.words.size() != 2)
            usageError("alliance list takes no name");
        auto store = openStore(args.db, false);
        for (const Alliance& each : store->alliances())
            std::cout << each.name << webhookNote(store->webhook(each.id)) << "\n";
        return 0;
    }
    if (action == "webhook")
        return allianceWebhook(args);
    if (action != "add" && action != "password" && action != "remove")
        usageError("unknown alliance command " + action);
    if (args.words.size() != 3)
        usageError("alliance " + action + " needs exactly one NAME");
    std::string name = checkedAllianceName(args.words[2]);
    if (action == "remove") {
        auto store = openStore(args.db, false);
        if (!store->removeAlliance(name))
            throw std::runtime_error("there is no alliance \"" + name + "\"");
        std::cout << "Removed alliance \"" << name << "\" with both its lists.\n";
        return 0;
    }
    std::string addressProblem;
    auto serverDat = serverDatAddress(args.publicAddress,
                                      args.listenGiven ? std::optional(args.listen) : std::nullopt,
                                      addressProblem);
    if (!addressProblem.empty())
        usageError("--public-address: " + addressProblem);
    std::unique_ptr<ListStore> opened = openStore(args.db, action == "add");
    ListStore& store = *opened;
    ServerKey key = openKey(store, args.db);
    std::string password = readNewPassword(name);
    std::string hash = key.passwordHash(password);
    if (action == "add") {
        if (!store.addAlliance(name, hash)) {
            bool nameTaken = false;
            for (const Alliance& each : store.alliances())
                nameTaken = nameTaken || each.name == name;
            throw std::runtime_error(nameTaken ? "an alliance \"" + name + "\" exists already"
                                               : "another alliance has this password; every "
                                                 "alliance needs its own");
        }
        std::cout << "Added alliance \"" << name << "\".\n";
    } else {
        if (auto holder = store.findAlliance(hash); holder && holder->name != name)
            throw std::runtime_error("another alliance has this password; every alliance needs "
                                     "its own");
        if (!store.setAlliancePassword(name, hash))
            throw std::runtime_error("there is no alliance \"" + name + "\"");
        std::cout << "Changed the password of alliance \"" << name << "\".\n";
    }
    std::cout << serverDatLines(serverDat);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The database, its -wal and -shm files and the key hold the lists and protect the
    // passwords: readable by the server's user alone, whatever umask it was started with.
    ::umask(077);
    Arguments args = parseArguments(argc, argv);
    if (args.help) {
        std::cout << kHelp;
        return 0;
    }
    if (args.words.empty())
        usageError("a command is needed: serve or alliance");
    try {
        if (args.words[0] == "serve")
            return serve(args);
        if (args.words[0] == "alliance")
            return alliance(args);
        usageError("unknown command " + args.words[0]);
    } catch (const std::exception& error) {
        std::cerr << "reef-listserver: " << error.what() << std::endl;
        return 1;
    }
}
