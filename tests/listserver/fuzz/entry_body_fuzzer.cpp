// libFuzzer target for the page's new and changed entries: the JSON body reader, the checks of
// every value, the database, and both ways back out. Each input is one write (its first byte
// picks a new entry or the change of one by its number); after it the desktop program's
// download of both lists must read back as sent, the page's JSON of both lists must parse, and
// a stored entry must show every text exactly as the body gave it.

#include "listserver/core/list_service.h"
#include "listserver/core/server_key.h"
#include "listserver/program_reading.h"
#include "listserver/store/sqlite_store.h"
#include "listserver/web/entry_json.h"
#include "listserver/web/web_site.h"
#include "text/cp1252.h"

#include <nlohmann/json.hpp>

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
    Alliance alliance;
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
        alliance = *store->findAlliance(key->passwordHash(kPassword));
        ServiceOptions options;
        // Entries expire after about eight inputs (the clock moves 7 s per input), so the lists
        // stay small; the budgets let every write reach the database.
        options.maxEntriesPerList = 20;
        options.expirySeconds = 60;
        options.writesPerMinutePerAddress = 1e9;
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

    [[noreturn]] static void crash(const char* what, std::string_view body) {
        std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(body.size()), body.data());
        std::abort();
    }
};

// A text a browser can read: the JSON writer refuses anything else.
bool isUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

// The list frame around the records, each field as "<|" value "|>".
std::string framed(const std::vector<std::vector<std::string>>& records) {
    std::string body = "|>Update<|";
    for (const auto& record : records)
        for (const std::string& value : record)
            body += "<|" + value + "|>";
    return body + "<>end|<>";
}

// What the desktop program and the page read of both lists: both must hold together.
nlohmann::json checkBothWaysOut(Fixture& fixture, std::string_view input) {
    for (const char* list : {"Reef_Frend", "Reef_Enemy"}) {
        GuardTicket ticket;
        const Outcome update = fixture.service->handle(
            std::string("/Reef-Update.php?Info1=") + kPassword + "&Info2=" + list + "&Info3=Update",
            "192.0.2.9", ticket);
        const Answer* answer = std::get_if<Answer>(&update);
        if (!answer)
            Fixture::crash("a download that is not answered at once", input);
        std::vector<std::vector<std::string>> records;
        try {
            records = reef::listserver::testing::readListLikeTheProgram(answer->text());
        } catch (const std::exception& error) {
            Fixture::crash(error.what(), input);
        }
        if (framed(records) != answer->text())
            Fixture::crash("a list that does not read back as sent", input);
    }
    const Answer both = fixture.service->bothLists(fixture.alliance.id, &listsJson);
    const nlohmann::json lists = nlohmann::json::parse(both.text(), nullptr, false);
    if (both.status != 200 || lists.is_discarded())
        Fixture::crash("the page's lists are no JSON", input);
    return lists["lists"];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    if (size == 0)
        return 0;
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    // The first byte: a new entry, or the change of the entry of a number near those stored.
    std::optional<std::int64_t> number;
    if (data[0] & 1)
        number = 1 + (data[0] >> 1);

    auto read = readEntryBody(body);
    if (const EntryProblem* problem = std::get_if<EntryProblem>(&read)) {
        if ((problem->status != 400 && problem->status != 422) || problem->message.empty() ||
            !isUtf8(problem->message))
            Fixture::crash("an unexpected refusal of the body", body);
    } else {
        const EntryBody& entry = std::get<EntryBody>(read);
        EntryWrite write = fixture.service->writeEntry(fixture.alliance, entry.list, entry.values,
                                                       number, "192.0.2.1");
        if (const Rejection* rejection = std::get_if<Rejection>(&write)) {
            const EntryProblem problem = problemOf(*rejection);
            if (problem.status != 422 || problem.message.empty() || !isUtf8(problem.message))
                Fixture::crash("an unexpected refusal of a value", body);
        } else if (std::holds_alternative<WriteBudgetUsedUp>(write)) {
            Fixture::crash("a write budget used up", body);
        } else {
            const std::string word = std::get<Write>(write).run().text();
            if (word.starts_with("ready ")) {
                const std::int64_t stored = std::stoll(word.substr(6));
                if (number && stored != *number)
                    Fixture::crash("a change that stored another entry", body);
                const nlohmann::json lists = checkBothWaysOut(fixture, body);
                const char* identifier =
                    entry.list == ListKind::Allied ? "Reef_Frend" : "Reef_Enemy";
                const nlohmann::json* shown = nullptr;
                for (const nlohmann::json& each : lists[identifier])
                    if (each["id"] == stored)
                        shown = &each;
                if (!shown)
                    Fixture::crash("a stored entry the page does not show", body);
                // Every text as the body gave it, in the forms the dialogs send.
                for (const char* field :
                     {"Name", "Allianz", "Basis", "ZielName", "ZielAllianz", "ZielBasis", "Von"}) {
                    const auto given = entry.values.find(field);
                    if (given != entry.values.end() &&
                        (*shown)[field] != reef::text::cp1252ToUtf8(given->second))
                        Fixture::crash("a text that does not read back as given", body);
                }
            } else if (word != "full" && word != "gone") {
                Fixture::crash("an unexpected answer of the write", body);
            }
        }
    }
    checkBothWaysOut(fixture, body);
    fixture.utc += 7;
    fixture.monotonic += 1;
    return 0;
}
