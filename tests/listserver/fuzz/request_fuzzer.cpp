// libFuzzer target for the request handling: query parsing, percent-decoding, the checks of
// every value and the database behind them. Each input is one request; after it, both lists
// of the alliance are downloaded and must read back, by the desktop program's rule, exactly
// as they were sent.

#include "listserver/core/list_service.h"
#include "listserver/core/server_key.h"
#include "listserver/program_reading.h"
#include "listserver/store/sqlite_store.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

using namespace reef::listserver;

namespace {

constexpr const char* kPassword = "fuzz-password";

// One database for the whole run, on a memory file system so that the syncs cost nothing.
struct Fixture {
    std::filesystem::path folder;
    std::unique_ptr<SqliteStore> store;
    std::unique_ptr<ServerKey> key;
    std::unique_ptr<ListService> service;
    std::int64_t utc = 1'700'000'000;
    double monotonic = 1000;

    Fixture() {
        std::string pattern =
            (std::filesystem::exists("/dev/shm") ? std::string("/dev/shm") : std::string("/tmp")) +
            "/reef-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        store = std::make_unique<SqliteStore>((folder / "lists.sqlite").string(),
                                              SqliteStore::Create::IfMissing);
        key = std::make_unique<ServerKey>(
            ServerKey::loadOrCreate((folder / "lists.sqlite.key").string(), true, nullptr));
        store->addAlliance("Fuzz", key->passwordHash(kPassword));
        ServiceOptions options;
        // Entries expire after about eight inputs (the clock moves 7 s per input), so the lists
        // stay small and never full: every input that passes the checks is stored and read.
        options.maxEntriesPerList = 20;
        options.expirySeconds = 60;
        options.writesPerMinutePerAddress = 1e9; // every write reaches the database
        options.writesPerMinutePerAlliance = 1e9;
        service = std::make_unique<ListService>(*store, *key,
                                                ServiceClock{[this] { return utc; },
                                                             [this] { return utc + 3600; },
                                                             [this] { return monotonic; }},
                                                options);
    }
    ~Fixture() {
        service.reset();
        store.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // The answer, after as many holds as the password guard asks for.
    Answer ask(std::string_view target, const std::string& address) {
        GuardTicket ticket;
        for (;;) {
            Outcome outcome = service->handle(target, address, ticket);
            if (const Hold* hold = std::get_if<Hold>(&outcome)) {
                if (hold->until <= monotonic || hold->until > monotonic + 9)
                    crash("a hold that does not end within 9 s", target);
                monotonic = hold->until;
                if (hold->then)
                    return *hold->then;
                continue;
            }
            if (const Write* write = std::get_if<Write>(&outcome))
                return write->run();
            return std::get<Answer>(outcome);
        }
    }

    [[noreturn]] static void crash(const char* what, std::string_view target) {
        std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(target.size()), target.data());
        std::abort();
    }
};

bool isKnownWord(std::string_view body) {
    for (std::string_view word : {"Error1", "Error2", "Error3", "Error10", "ready", "false"})
        if (body == word)
            return true;
    return false;
}

// The list frame around the records, each field as "<|" value "|>".
std::string framed(const std::vector<std::vector<std::string>>& records) {
    std::string body = "|>Update<|";
    for (const auto& record : records)
        for (const std::string& value : record)
            body += "<|" + value + "|>";
    return body + "<>end|<>";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    if (size == 0)
        return 0;
    // The first byte chooses how much of a well-formed request comes before the fuzzed bytes,
    // so that the checks of the entry keys and the storage are reached, not only the parser.
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string password = kPassword;
    std::string target;
    switch (data[0] % 5) {
    case 0:
        target = rest;
        break;
    case 1:
        target = "/Reef-Update.php?Info1=" + password + "&Info2=Reef_Frend&Info3=New";
        target += rest;
        break;
    case 2:
        target = "/Reef-Update.php?Info1=" + password + "&Info2=Reef_Enemy&Info3=New";
        target += rest;
        break;
    case 3:
        target = "http://host/Reef-Update.php?Info1=" + password + "&Info2=Reef_Enemy&Info3=Change";
        target += rest;
        break;
    default:
        target = "/Reef-Update.php?Info1=";
        target += rest;
        break;
    }
    const std::string address = (data[0] & 0x80) ? "2001:db8::1" : "192.0.2.1";
    const Answer answer = fixture.ask(target, address);
    if (answer.status == 200 && !isKnownWord(answer.text()) &&
        !answer.text().starts_with("|>Update<|"))
        Fixture::crash("an answer the desktop program does not know", target);
    if (answer.status != 200 && answer.status != 404)
        Fixture::crash("an unexpected status", target);

    for (const char* list : {"Reef_Frend", "Reef_Enemy"}) {
        const Answer update = fixture.ask(
            "/Reef-Update.php?Info1=" + password + "&Info2=" + list + "&Info3=Update", "192.0.2.9");
        std::vector<std::vector<std::string>> records;
        try {
            records = reef::listserver::testing::readListLikeTheProgram(update.text());
        } catch (const std::exception& error) {
            Fixture::crash(error.what(), target);
        }
        // Every value read back as itself: framing what was read gives the body again.
        if (framed(records) != update.text())
            Fixture::crash("a list that does not read back as sent", target);
    }
    fixture.utc += 7;
    fixture.monotonic += 1;
    return 0;
}
