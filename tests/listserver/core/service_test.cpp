// The request handling above HTTP, with a real database and clocks set by the test.

#include "listserver/core/list_service.h"
#include "listserver/core/local_time.h"
#include "listserver/store/sqlite_store.h"
#include "listserver/test_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>

using namespace reef::listserver;
using reef::listserver::testing::TestDatabase;

namespace {

struct Folder {
    std::filesystem::path path;
    Folder() {
        char pattern[] = "/tmp/reef-listserver-unit-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// Passes everything to a real store, and fails on request the way a broken database or an
// unexpected fault would.
class FaultyStore : public ListStore {
  public:
    explicit FaultyStore(ListStore& real) : real_(real) {}
    enum class Fault { None, Unavailable, Other } fault = Fault::None;
    bool failCommit = false;

    std::optional<Alliance> findAlliance(const std::string& hash) override {
        return real_.findAlliance(hash);
    }
    std::vector<Alliance> alliances() override { return real_.alliances(); }
    bool addAlliance(const std::string& n, const std::string& h) override {
        return real_.addAlliance(n, h);
    }
    bool setAlliancePassword(const std::string& n, const std::string& h) override {
        return real_.setAlliancePassword(n, h);
    }
    bool removeAlliance(const std::string& n) override { return real_.removeAlliance(n); }
    ListSnapshot entries(AllianceId a, ListKind k, std::int64_t t) override {
        raise();
        return real_.entries(a, k, t);
    }
    Added addEntry(AllianceId a, ListKind k, const FleetEntry& e, const ChangeTime& w,
                   std::int64_t t, std::size_t m) override {
        raise();
        return real_.addEntry(a, k, e, w, t, m);
    }
    Changed changeEntry(AllianceId a, ListKind k, const ChangeKey& key, const EntryPatch& p,
                        const ChangeTime& w, std::int64_t t) override {
        raise();
        return real_.changeEntry(a, k, key, p, w, t);
    }
    std::int64_t removeExpired(std::int64_t t) override { return real_.removeExpired(t); }
    std::optional<std::int64_t> listVersion(AllianceId a, ListKind k) override {
        return real_.listVersion(a, k);
    }
    void inOneCommit(const std::function<void()>& writes) override {
        real_.inOneCommit([&] {
            writes();
            if (failCommit)
                throw StorageUnavailable("the commit failed");
        });
    }
    std::optional<Webhook> webhook(AllianceId a) override { return real_.webhook(a); }
    bool setWebhook(const std::string& n, const std::optional<Webhook>& w) override {
        return real_.setWebhook(n, w);
    }
    std::optional<std::string> keyCheck() override { return real_.keyCheck(); }
    void setKeyCheck(const std::string& c) override { real_.setKeyCheck(c); }

  private:
    void raise() {
        if (fault == Fault::Unavailable)
            throw StorageUnavailable("disk gone");
        if (fault == Fault::Other)
            throw std::logic_error("unexpected");
    }
    ListStore& real_;
};

class ServiceTest : public ::testing::Test {
  protected:
    ServiceTest()
        : database_(folder_.path.string()), store_(database_.open()),
          key_(
              ServerKey::loadOrCreate((folder_.path / "lists.sqlite.key").string(), true, nullptr)),
          faulty_(*store_) {
        store_->addAlliance("Korallen", key_.passwordHash("pw"));
        options_.maxEntriesPerList = 3;
        options_.expirySeconds = 1000;
        service_ = std::make_unique<ListService>(faulty_, key_,
                                                 ServiceClock{[this] { return utc_; },
                                                              [this] { return utc_ + 3600; },
                                                              [this] { return monotonic_; }},
                                                 options_);
    }

    // The answer body, or "held until T" for a request that is held back.
    std::string request(const std::string& operation, const std::string& rest = "",
                        const std::string& list = "Reef_Frend", const std::string& password = "pw",
                        const std::string& address = "192.0.2.1") {
        GuardTicket ticket;
        return ask(ticket, operation, password, address, rest, list);
    }
    std::string ask(GuardTicket& ticket, const std::string& operation,
                    const std::string& password = "pw", const std::string& address = "192.0.2.1",
                    const std::string& rest = "", const std::string& list = "Reef_Frend") {
        return bodyOf(service_->handle("/Reef-Update.php?Info1=" + password + "&Info2=" + list +
                                           "&Info3=" + operation + rest,
                                       address, ticket));
    }
    // A write is run at once, as the writer thread would.
    static std::string bodyOf(const Outcome& outcome) {
        if (const Hold* hold = std::get_if<Hold>(&outcome))
            return "held until " + std::to_string(static_cast<int>(hold->until * 10)) + "/10" +
                   (hold->then ? ", then " + hold->then->text() : std::string());
        if (const Write* write = std::get_if<Write>(&outcome))
            return write->run().text();
        return std::get<Answer>(outcome).text();
    }
    Answer answerTo(const std::string& target) {
        GuardTicket ticket;
        return std::get<Answer>(service_->handle(target, "x", ticket));
    }
    static std::string entry(const std::string& name) {
        return "&Name=" + name + "&Basis=1&ZielName=Z&ZielBasis=2&BasisZeit=1200";
    }

    Folder folder_;
    TestDatabase database_;
    std::unique_ptr<ListStore> store_;
    ServerKey key_;
    FaultyStore faulty_;
    ServiceOptions options_;
    std::int64_t utc_ = 1'700'000'000;
    double monotonic_ = 100;
    std::unique_ptr<ListService> service_;
};

TEST_F(ServiceTest, UpdateZeitIsTheLocalTimeOfDayOfTheChange) {
    // 1700000000 is 22:13:20 UTC; the local clock of this test runs an hour ahead.
    ASSERT_EQ(request("New", entry("A")), "ready");
    EXPECT_EQ(request("Update"), "|>Update<|<|0|><|A|><||><|1|><|0|><|0|><|0|><|Z|><||><|2|><|0|>"
                                 "<||><||><|1200|><|83600|><>end|<>");
    utc_ += 50;
    ASSERT_EQ(request("Change", entry("A") + "&IDW=1&BasisZeitW=1200"), "ready");
    EXPECT_NE(request("Update").find("<|83650|>"), std::string::npos) << "a change renews the time";
}

TEST_F(ServiceTest, UpdateZeitAfter2038IsStillTheTimeOfDay) {
    utc_ = 4'102'444'800 + 45; // 2100-01-01 00:00:45 UTC, 01:00:45 on the local clock
    ASSERT_EQ(request("New", entry("A")), "ready");
    EXPECT_NE(request("Update").find("<|1200|><|3645|><>end|<>"), std::string::npos);
}

TEST_F(ServiceTest, EntriesNotUpdatedWithinTheExpiryTimeAreGone) {
    ASSERT_EQ(request("New", entry("Old")), "ready");
    utc_ += 600;
    ASSERT_EQ(request("New", entry("Young")), "ready");
    utc_ += 400; // Old is exactly 1000 s old: still there
    EXPECT_NE(request("Update").find("Old"), std::string::npos);
    utc_ += 1; // the list that was just read must not be served from memory any longer
    std::string body = request("Update");
    EXPECT_EQ(body.find("Old"), std::string::npos);
    EXPECT_NE(body.find("Young"), std::string::npos);
    // Nor can an expired entry be changed.
    EXPECT_EQ(request("Change", entry("New") + "&IDW=3&BasisZeitW=1200"), "false");
    EXPECT_EQ(service_->removeExpired(), 1);
    utc_ += 1000;
    EXPECT_EQ(service_->removeExpired(), 1);
    EXPECT_EQ(request("Update"), "|>Update<|<>end|<>");
}

TEST_F(ServiceTest, EveryWriteIsSeenByTheNextDownload) {
    EXPECT_EQ(request("Update"), "|>Update<|<>end|<>");
    ASSERT_EQ(request("New", entry("A")), "ready");
    EXPECT_NE(request("Update").find("<|A|>"), std::string::npos);
    ASSERT_EQ(request("Change", entry("B") + "&IDW=1&BasisZeitW=1200"), "ready");
    std::string body = request("Update");
    EXPECT_EQ(body.find("<|A|>"), std::string::npos);
    EXPECT_NE(body.find("<|B|>"), std::string::npos);
}

TEST_F(ServiceTest, AFullListCountsOnlyEntriesThatHaveNotExpired) {
    for (const char* name : {"A", "B", "C"})
        ASSERT_EQ(request("New", entry(name)), "ready");
    EXPECT_EQ(request("New", entry("D")), "false");
    EXPECT_EQ(request("New", entry("D"), "Reef_Enemy"), "false") << "Von missing";
    EXPECT_EQ(request("New", entry("D") + "&Von=V", "Reef_Enemy"), "ready");
    utc_ += 1001;
    EXPECT_EQ(request("New", entry("E")), "ready");
}

TEST_F(ServiceTest, StorageFailuresGiveError2AndOtherFailuresError10) {
    faulty_.fault = FaultyStore::Fault::Unavailable;
    EXPECT_EQ(request("New", entry("A")), "Error2");
    EXPECT_EQ(request("Update"), "Error2");
    faulty_.fault = FaultyStore::Fault::Other;
    EXPECT_EQ(request("New", entry("A")), "Error10");
    EXPECT_EQ(request("Change", entry("A") + "&IDW=1&BasisZeitW=1200"), "Error10");
    faulty_.fault = FaultyStore::Fault::None;
    EXPECT_EQ(request("Update"), "|>Update<|<>end|<>");
}

TEST_F(ServiceTest, FaultyQueriesAreError3BeforeThePasswordIsLookedAt) {
    EXPECT_EQ(request("Update", "", "Reef_Frend", "wrong"), "Error1");
    EXPECT_EQ(request("Delete", "", "Reef_Frend", "wrong"), "Error3");
    EXPECT_EQ(request("Update", "", "Reef_Other"), "Error3");
    EXPECT_EQ(answerTo("/Reef-Update.php?Info2=Reef_Frend&Info3=Update").text(), "Error3");
    EXPECT_EQ(answerTo("/other.php?Info1=pw&Info2=Reef_Frend&Info3=Update").status, 404);
}

TEST_F(ServiceTest, AfterTenWrongPasswordsARightOneIsHeldAndThenAnswered) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(request("Update", "", "Reef_Frend", "guess"), "Error1");
    GuardTicket member;
    EXPECT_EQ(ask(member, "Update"), "held until 1060/10") << "the next try comes in 6 s";
    EXPECT_EQ(request("Update", "", "Reef_Frend", "pw", "192.0.2.2"), "|>Update<|<>end|<>")
        << "another address is not held";
    monotonic_ += 6;
    EXPECT_EQ(ask(member, "Update"), "|>Update<|<>end|<>") << "never a false 'wrong password'";
    EXPECT_EQ(request("Update"), "|>Update<|<>end|<>") << "a right password gives its try back";
    EXPECT_EQ(request("Update", "", "Reef_Frend", "guess"), "Error1");
    GuardTicket next;
    EXPECT_EQ(ask(next, "Update"), "held until 1120/10") << "the wrong one used the try up";
}

TEST_F(ServiceTest, AHeldWrongPasswordIsAnsweredError1WhenItsTryComes) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(request("Update", "", "Reef_Frend", "guess"), "Error1");
    monotonic_ += 3;
    GuardTicket guess;
    EXPECT_EQ(ask(guess, "Update", "guess"), "held until 1060/10");
    monotonic_ += 3;
    EXPECT_EQ(ask(guess, "Update", "guess"), "Error1");
}

TEST_F(ServiceTest, AtMostFourRequestsOfAClientAreHeldTheFifthGetsError10AtOnce) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(request("Update", "", "Reef_Frend", "guess"), "Error1");
    GuardTicket held[4];
    for (GuardTicket& ticket : held)
        EXPECT_EQ(ask(ticket, "Update"), "held until 1060/10");
    EXPECT_EQ(request("Update"), "Error10");
    service_->abandon("192.0.2.1", held[3]); // its connection went away
    GuardTicket again;
    EXPECT_EQ(ask(again, "Update"), "held until 1060/10") << "the place is free again";
}

TEST_F(ServiceTest, AHeldRequestWhoseTryAnotherTookGetsError10AtItsDeadline) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(request("Update", "", "Reef_Frend", "guess"), "Error1");
    GuardTicket first;
    GuardTicket second;
    EXPECT_EQ(ask(first, "Update", "guess"), "held until 1060/10");
    EXPECT_EQ(ask(second, "Update"), "held until 1060/10");
    monotonic_ += 6;
    EXPECT_EQ(ask(first, "Update", "guess"), "Error1");
    EXPECT_EQ(ask(second, "Update"), "Error10")
        << "no try came free within 6 s, and a right password never gets Error1";
}

TEST_F(ServiceTest, ARightPasswordFreesTheTryForTheNextHeldRequestAtOnce) {
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(request("Update", "", "Reef_Frend", "guess"), "Error1");
    GuardTicket first;
    GuardTicket second;
    EXPECT_EQ(ask(first, "Update"), "held until 1060/10");
    EXPECT_EQ(ask(second, "Update"), "held until 1060/10");
    monotonic_ += 6;
    EXPECT_EQ(ask(first, "Update"), "|>Update<|<>end|<>");
    EXPECT_EQ(ask(second, "Update"), "|>Update<|<>end|<>");
}

TEST(SqliteStoreSchema, ANewerSchemaIsRefusedAndAReopenKeepsTheData) {
    Folder folder;
    std::string path = (folder.path / "lists.sqlite").string();
    {
        SqliteStore store(path, SqliteStore::Create::IfMissing);
        ASSERT_TRUE(store.addAlliance("A", "hash-a"));
        EXPECT_FALSE(store.addAlliance("B", "hash-a")) << "two alliances, one password";
        EXPECT_FALSE(store.addAlliance("A", "hash-b"));
    }
    {
        SqliteStore again(path, SqliteStore::Create::Never);
        ASSERT_EQ(again.alliances().size(), 1u);
        EXPECT_EQ(again.findAlliance("hash-a")->name, "A");
    }
    EXPECT_THROW(SqliteStore((folder.path / "missing.sqlite").string(), SqliteStore::Create::Never),
                 StorageUnavailable);
    {
        SqliteStore store(path, SqliteStore::Create::Never);
        // Pretend a later version wrote it.
        ASSERT_TRUE(store.addAlliance("B", "hash-b"));
    }
    {
        std::FILE* file = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(file, nullptr);
        unsigned char version[4] = {0, 0, 0x03, 0xE7}; // user_version 999, at offset 60
        std::fseek(file, 60, SEEK_SET);
        std::fwrite(version, 1, 4, file);
        std::fclose(file);
    }
    try {
        SqliteStore newer(path, SqliteStore::Create::Never);
        FAIL() << "a database of a newer schema was opened";
    } catch (const StorageUnavailable& error) {
        EXPECT_NE(std::string(error.what()).find("newer"), std::string::npos) << error.what();
    }
}

} // namespace

TEST(SqliteStoreSchema, EntriesOfAnOlderDatabaseKeepOnlyTheTimeOfDayOfTheirChange) {
    Folder folder;
    std::string path = (folder.path / "lists.sqlite").string();
    {
        SqliteStore store(path, SqliteStore::Create::IfMissing);
        ASSERT_TRUE(store.addAlliance("A", "hash-a"));
        FleetEntry entry;
        entry.Name = "N";
        ASSERT_EQ(
            store.addEntry(1, ListKind::Allied, entry, ChangeTime{0, 1'700'000'000}, 0, 10).result,
            AddResult::Stored);
    }
    {
        // What the first schema kept: the local wall clock in seconds since 1970, and no
        // versions of the lists.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db,
                               "UPDATE entry SET update_zeit = 1700003600; DROP TABLE list_state; "
                               "PRAGMA user_version = 1",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    SqliteStore migrated(path, SqliteStore::Create::Never);
    auto snapshot = migrated.entries(1, ListKind::Allied, 0);
    ASSERT_EQ(snapshot.entries.size(), 1u);
    EXPECT_EQ(snapshot.entries[0].UpdateZeit, 83600);
    EXPECT_EQ(migrated.listVersion(1, ListKind::Allied), 0) << "versions count from here on";
    migrated.addEntry(1, ListKind::Allied, FleetEntry{}, ChangeTime{0, 1'700'000'001}, 0, 10);
    EXPECT_EQ(migrated.listVersion(1, ListKind::Allied), 1);
}

TEST(SecondsOfDay, WrapsIntoOneDayAlsoBefore1970) {
    const std::pair<std::int64_t, std::int32_t> cases[] = {
        {0, 0},
        {86399, 86399},
        {86400, 0},
        {-1, 86399},
        {-86400, 0},
        {1'700'003'600, 83600},
        {4'102'448'445, 3645},
    };
    for (const auto& [wall, expected] : cases)
        EXPECT_EQ(secondsOfDay(wall), expected) << wall;
}

namespace {

class ListBodyTest : public ServiceTest {
  protected:
    Answer update() {
        GuardTicket ticket;
        return std::get<Answer>(service_->handle(
            "/Reef-Update.php?Info1=pw&Info2=Reef_Frend&Info3=Update", "192.0.2.1", ticket));
    }
};

TEST_F(ListBodyTest, OneBodyPerListVersionIsSharedAndCountedUntilItsLastReaderIsDone) {
    ASSERT_EQ(request("New", entry("A")), "ready");
    Answer first = update();
    Answer second = update();
    EXPECT_EQ(first.body.get(), second.body.get()) << "the same bytes, not a copy";
    const std::string version1 = first.text();
    EXPECT_EQ(service_->listBytes(), version1.size());

    ASSERT_EQ(request("New", entry("B")), "ready");
    Answer third = update();
    EXPECT_EQ(first.text(), version1) << "a change leaves the version being sent whole";
    EXPECT_EQ(service_->listBytes(), version1.size() + third.text().size());
    first = Answer{};
    second = Answer{};
    EXPECT_EQ(service_->listBytes(), third.text().size()) << "the last reader let go";
}

TEST_F(ListBodyTest, PastTheByteLimitADownloadThatNeedsANewBodyGetsError10) {
    options_.maxListBytes = 400;
    service_ = std::make_unique<ListService>(faulty_, key_,
                                             ServiceClock{[this] { return utc_; },
                                                          [this] { return utc_ + 3600; },
                                                          [this] { return monotonic_; }},
                                             options_);
    ASSERT_EQ(request("New", entry("A")), "ready");
    Answer slowReader = update(); // 96 bytes, kept by a reader
    ASSERT_EQ(slowReader.text().substr(0, 10), "|>Update<|");
    ASSERT_EQ(request("New", entry(std::string(60, 'B'))), "ready");
    ASSERT_EQ(request("New", entry(std::string(60, 'C'))), "ready");
    EXPECT_EQ(update().text(), "Error10") << "370 bytes more would pass 400";
    slowReader = Answer{};
    EXPECT_EQ(update().text().substr(0, 10), "|>Update<|") << "room again";
}

} // namespace

namespace {

class WriteBudgetTest : public ServiceTest {
  protected:
    void SetUp() override {
        options_.maxEntriesPerList = 100;
        options_.writesPerMinutePerAddress = 3;
        options_.writesPerMinutePerAlliance = 5;
        service_ = std::make_unique<ListService>(faulty_, key_,
                                                 ServiceClock{[this] { return utc_; },
                                                              [this] { return utc_ + 3600; },
                                                              [this] { return monotonic_; }},
                                                 options_);
    }
    std::string add(const std::string& name, const std::string& address) {
        return request("New", entry(name), "Reef_Frend", "pw", address);
    }
};

TEST_F(WriteBudgetTest, PastItsBudgetAnAddressGetsError10AndNothingIsStored) {
    for (const char* name : {"A", "B", "C"})
        ASSERT_EQ(add(name, "192.0.2.1"), "ready");
    EXPECT_EQ(add("D", "192.0.2.1"), "Error10");
    EXPECT_EQ(
        request("Change", entry("X") + "&IDW=1&BasisZeitW=1200", "Reef_Frend", "pw", "192.0.2.1"),
        "Error10")
        << "a change is a write too";
    EXPECT_EQ(add("E", "192.0.2.2"), "ready") << "another address has its own budget";
    EXPECT_EQ(request("Update").find("<|D|>"), std::string::npos);
    monotonic_ += 20; // one write per 20 s comes back
    EXPECT_EQ(add("F", "192.0.2.1"), "ready");
    EXPECT_EQ(request("Update"), request("Update")) << "downloads are never budgeted";
}

TEST_F(WriteBudgetTest, PastItsBudgetAnAllianceGetsError10FromEveryAddress) {
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(add("N" + std::to_string(i), "192.0.2." + std::to_string(10 + i)), "ready");
    EXPECT_EQ(add("Late", "192.0.2.99"), "Error10");
    EXPECT_EQ(request("New", entry("Refused") + "&Hilfe=9", "Reef_Frend", "pw", "192.0.2.98"),
              "false")
        << "a refused value costs nothing and says so";
}

TEST_F(WriteBudgetTest, AWriteIsStoredOnlyWhenItRuns) {
    GuardTicket ticket;
    Outcome outcome =
        service_->handle("/Reef-Update.php?Info1=pw&Info2=Reef_Frend&Info3=New" + entry("Later"),
                         "192.0.2.1", ticket);
    ASSERT_TRUE(std::holds_alternative<Write>(outcome)) << "the write is handed to the writer";
    EXPECT_EQ(request("Update").find("Later"), std::string::npos);
    EXPECT_EQ(std::get<Write>(outcome).run().text(), "ready");
    EXPECT_NE(request("Update").find("Later"), std::string::npos);
}

} // namespace

namespace {

using WriteTogetherTest = ServiceTest;

std::function<Answer()> writeOf(ListService& service, const std::string& keys) {
    GuardTicket ticket;
    Outcome outcome = service.handle("/Reef-Update.php?Info1=pw&Info2=Reef_Frend&Info3=New" + keys,
                                     "192.0.2.1", ticket);
    if (!std::holds_alternative<Write>(outcome))
        throw std::logic_error("not a write");
    return std::get<Write>(outcome).run;
}

TEST_F(WriteTogetherTest, WritesShareOneCommitAndEachGetsItsOwnAnswer) {
    options_.maxEntriesPerList = 2;
    service_ = std::make_unique<ListService>(faulty_, key_,
                                             ServiceClock{[this] { return utc_; },
                                                          [this] { return utc_ + 3600; },
                                                          [this] { return monotonic_; }},
                                             options_);
    std::vector<std::function<Answer()>> writes = {writeOf(*service_, entry("A")),
                                                   writeOf(*service_, entry("B")),
                                                   writeOf(*service_, entry("C"))};
    std::vector<Answer> answers = service_->writeTogether(writes);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].text(), "ready");
    EXPECT_EQ(answers[1].text(), "ready");
    EXPECT_EQ(answers[2].text(), "false") << "the list is full with the two before it";
    std::string list = request("Update");
    EXPECT_NE(list.find("<|A|>"), std::string::npos);
    EXPECT_NE(list.find("<|B|>"), std::string::npos);
    EXPECT_EQ(list.find("<|C|>"), std::string::npos);
}

TEST_F(WriteTogetherTest, AFailingWriteIsUndoneAloneAndTheOthersAreStored) {
    std::function<Answer()> failing = writeOf(*service_, entry("Broken"));
    std::vector<std::function<Answer()>> writes = {writeOf(*service_, entry("A")),
                                                   [&] {
                                                       faulty_.fault =
                                                           FaultyStore::Fault::Unavailable;
                                                       Answer answer = failing();
                                                       faulty_.fault = FaultyStore::Fault::None;
                                                       return answer;
                                                   },
                                                   writeOf(*service_, entry("C"))};
    std::vector<Answer> answers = service_->writeTogether(writes);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].text(), "ready");
    EXPECT_EQ(answers[1].text(), "Error2");
    EXPECT_EQ(answers[2].text(), "ready");
    std::string list = request("Update");
    EXPECT_NE(list.find("<|A|>"), std::string::npos);
    EXPECT_EQ(list.find("Broken"), std::string::npos);
    EXPECT_NE(list.find("<|C|>"), std::string::npos);
}

TEST_F(WriteTogetherTest, ADownloadDuringTheCommitKeepsNothingFromBeforeIt) {
    EXPECT_EQ(request("Update"), "|>Update<|<>end|<>"); // kept in memory now
    std::string seenInside;
    std::vector<std::function<Answer()>> writes = {writeOf(*service_, entry("A")), [&] {
                                                       seenInside = request("Update");
                                                       return answerOf(200, "ready", "");
                                                   }};
    service_->writeTogether(writes);
    EXPECT_EQ(seenInside, "|>Update<|<>end|<>") << "not committed yet";
    EXPECT_NE(request("Update").find("<|A|>"), std::string::npos)
        << "what was read during the commit was not kept";
}

// What the chat alerts hear of: every stored write once it is durable, nothing else.
class StoredEntryTest : public WriteTogetherTest {
  protected:
    void SetUp() override {
        service_->onEntryStored([this](const StoredEntry& stored) { told_.push_back(stored); });
    }
    std::vector<StoredEntry> told_;
};

TEST_F(StoredEntryTest, NewAndChangedEntriesAreToldAsStoredWithTheEntryBefore) {
    ASSERT_EQ(request("New", entry("A") + "&Hilfe=0&Von=V", "Reef_Enemy"), "ready");
    ASSERT_EQ(request("Change", entry("A") + "&Hilfe=3&Von=V&IDW=1&BasisZeitW=1200", "Reef_Enemy"),
              "ready");
    ASSERT_EQ(told_.size(), 2u);
    EXPECT_EQ(told_[0].allianceName, "Korallen");
    EXPECT_EQ(told_[0].list, ListKind::Enemy);
    EXPECT_FALSE(told_[0].previous.has_value());
    EXPECT_EQ(told_[0].timeOfDay, secondsOfDay(utc_ + 3600));
    EXPECT_EQ(told_[0].entry.UpdateZeit, told_[0].timeOfDay);
    ASSERT_TRUE(told_[1].previous.has_value());
    EXPECT_EQ(told_[1].previous->Hilfe, 0);
    EXPECT_EQ(told_[1].entry.Hilfe, 3);
    EXPECT_EQ(told_[1].entry.Name, "A");
}

TEST_F(StoredEntryTest, RefusedAndFailedWritesAreNotTold) {
    EXPECT_EQ(request("New", "&Name=A"), "false");
    EXPECT_EQ(request("Change", entry("A") + "&IDW=1&BasisZeitW=1200"), "false");
    faulty_.fault = FaultyStore::Fault::Unavailable;
    EXPECT_EQ(request("New", entry("A")), "Error2");
    faulty_.fault = FaultyStore::Fault::None;
    faulty_.failCommit = true;
    EXPECT_EQ(service_->writeTogether({writeOf(*service_, entry("B"))}).at(0).text(), "Error2");
    EXPECT_TRUE(told_.empty());
}

TEST_F(StoredEntryTest, WritesSharingACommitAreToldOnlyOnceItIsDone) {
    std::size_t toldDuringWrites = 99;
    service_->writeTogether({writeOf(*service_, entry("A")), writeOf(*service_, entry("B")), [&] {
                                 toldDuringWrites = told_.size();
                                 return answerOf(200, "ready", "");
                             }});
    EXPECT_EQ(toldDuringWrites, 0u);
    ASSERT_EQ(told_.size(), 2u);
    EXPECT_EQ(told_[1].entry.Name, "B");
}

TEST(SqliteStoreCommit, AFailureOfTheWholeCommitStoresNothing) {
    Folder folder;
    SqliteStore store((folder.path / "lists.sqlite").string(), SqliteStore::Create::IfMissing);
    ASSERT_TRUE(store.addAlliance("A", "hash-a"));
    FleetEntry entry;
    entry.Name = "N";
    EXPECT_THROW(store.inOneCommit([&] {
        store.addEntry(1, ListKind::Allied, entry, ChangeTime{0, 1'700'000'000}, 0, 10);
        throw std::runtime_error("the disk is gone");
    }),
                 std::runtime_error);
    EXPECT_TRUE(store.entries(1, ListKind::Allied, 0).entries.empty());
}

} // namespace

TEST_F(ServiceTest, PastTheServersBudgetOfWrongPasswordsEachWrongOneIsAnsweredLate) {
    const int budget = static_cast<int>(PasswordGuard::kServerFailuresPerMinute);
    for (int i = 0; i < budget; ++i)
        ASSERT_EQ(request("Update", "", "Reef_Frend", "guess",
                          "198.51." + std::to_string(i / 200) + "." + std::to_string(i % 200)),
                  "Error1");
    EXPECT_EQ(request("Update", "", "Reef_Frend", "guess", "203.0.113.1"),
              "held until 1080/10, then Error1")
        << "answered 8 s after it came";
    EXPECT_EQ(request("Update", "", "Reef_Frend", "pw", "203.0.113.2"), "|>Update<|<>end|<>")
        << "a right password is answered at once";
    monotonic_ += 60;
    EXPECT_EQ(request("Update", "", "Reef_Frend", "guess", "203.0.113.3"), "Error1")
        << "a minute later the budget is back";
}
