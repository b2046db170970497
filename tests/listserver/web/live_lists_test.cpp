// What the page's live streams hear of an alliance's lists, with a real database and clocks set
// by the test.

#include "listserver/chat/webhook_message.h"
#include "listserver/core/list_service.h"
#include "listserver/store/sqlite_store.h"
#include "listserver/web/live_lists.h"
#include "listserver/web/web_text.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

using namespace reef::listserver;

namespace {

constexpr AllianceId kKorallen = 1;
constexpr AllianceId kHaie = 2;
constexpr std::int64_t kExpiry = 3600;

class LiveListsTest : public ::testing::Test {
  protected:
    LiveListsTest()
        : folder_(makeFolder()),
          store_((folder_ / "lists.sqlite").string(), SqliteStore::Create::IfMissing),
          key_(ServerKey::loadOrCreate((folder_ / "lists.sqlite.key").string(), true, nullptr)),
          service_(store_, key_,
                   ServiceClock{[this] { return utc_; }, [this] { return utc_ + 3600; },
                                [this] { return 100.0; }},
                   options()),
          live_(service_) {
        store_.addAlliance("Korallen", key_.passwordHash("pw-korallen"));
        store_.addAlliance("Haie", key_.passwordHash("pw-haie"));
    }
    ~LiveListsTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    static std::filesystem::path makeFolder() {
        char pattern[] = "/tmp/reef-live-unit-XXXXXX";
        return ::mkdtemp(pattern);
    }
    static ServiceOptions options() {
        ServiceOptions options;
        options.expirySeconds = kExpiry;
        return options;
    }
    static FleetEntry entry(const std::string& name, int hilfe) {
        FleetEntry made;
        made.Hilfe = hilfe;
        made.Name = name;
        made.Basis = "1:2:3";
        made.ZielName = "Anna";
        made.ZielBasis = "4:5:6";
        made.Von = "Bert";
        made.BasisZeit = 49200;
        return made;
    }
    std::int64_t add(AllianceId alliance, ListKind kind, const FleetEntry& made) {
        return store_.addEntry(alliance, kind, made, ChangeTime{36000, utc_}, utc_ - kExpiry, 100)
            .id;
    }
    void change(AllianceId alliance, ListKind kind, std::int64_t id, const FleetEntry& made) {
        EntryPatch patch;
        patch.Hilfe = made.Hilfe;
        patch.Name = made.Name;
        patch.Basis = made.Basis;
        patch.ZielName = made.ZielName;
        patch.ZielBasis = made.ZielBasis;
        patch.Von = made.Von;
        patch.BasisZeit = made.BasisZeit;
        ASSERT_EQ(store_
                      .changeEntry(alliance, kind, ChangeKey{0, 0, id}, patch,
                                   ChangeTime{36100, utc_}, utc_ - kExpiry)
                      .result,
                  ChangeResult::Replaced);
    }
    // The events of one look, as "name data" lines, and the alliances they are for.
    std::vector<std::string> look(AllianceId forAlliance = kKorallen) {
        std::vector<std::string> seen;
        for (const auto& [alliance, event] : live_.changes()) {
            EXPECT_EQ(alliance, forAlliance);
            seen.push_back(event.name + " " + event.data);
        }
        return seen;
    }
    static std::string alertData(std::int64_t id, const char* list, AlertKind kind,
                                 const FleetEntry& made) {
        return "alert {\"id\":" + std::to_string(id) + ",\"list\":\"" + list +
               "\",\"text\":" + jsonString(alertText(Alert{kind, made, 0})) + "}";
    }

    std::filesystem::path folder_;
    SqliteStore store_;
    ServerKey key_;
    std::int64_t utc_ = 1'700'000'000;
    ListService service_;
    LiveLists live_;
};

TEST_F(LiveListsTest, EveryChangeIsToldOnceWithTheAlertsTheChatWouldGet) {
    add(kKorallen, ListKind::Enemy, entry("Alt", 0));
    live_.follow(kKorallen);
    EXPECT_TRUE(look().empty()) << "what was there before is no news";

    const FleetEntry zorro = entry("Zorro", 0);
    const std::int64_t id = add(kKorallen, ListKind::Enemy, zorro);
    std::vector<std::string> seen = look();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "lists " + LiveLists::listsData(service_.listVersions(kKorallen)));
    EXPECT_EQ(seen[1], alertData(id, "Reef_Enemy", AlertKind::NewEnemy, zorro));
    EXPECT_TRUE(look().empty()) << "told once";

    // A call for help is an alert; the same help status again, or a settled one, is not.
    const FleetEntry achtung = entry("Zorro", 3);
    change(kKorallen, ListKind::Enemy, id, achtung);
    seen = look();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], alertData(id, "Reef_Enemy", AlertKind::EnemyHelp, achtung));
    for (const FleetEntry& quiet : {achtung, entry("Zorro", 5)}) {
        change(kKorallen, ListKind::Enemy, id, quiet);
        EXPECT_EQ(look().size(), 1u) << quiet.Hilfe;
    }
    const FleetEntry paul = entry("Paul", 0);
    add(kKorallen, ListKind::Allied, paul);
    EXPECT_EQ(look().size(), 1u) << "a new allied entry is no alert";

    // Another alliance's writes are not this one's news; a followed one's are.
    add(kHaie, ListKind::Enemy, entry("Fremd", 0));
    EXPECT_TRUE(look().empty());
    live_.follow(kHaie);
    add(kHaie, ListKind::Enemy, entry("Fremd", 0));
    EXPECT_EQ(look(kHaie).size(), 2u);

    // Followed twice, let go of twice.
    live_.follow(kKorallen);
    live_.unfollow(kKorallen);
    add(kKorallen, ListKind::Allied, paul);
    EXPECT_EQ(look().size(), 1u);
    live_.unfollow(kKorallen);
    add(kKorallen, ListKind::Allied, paul);
    EXPECT_TRUE(look().empty());
}

TEST_F(LiveListsTest, AnEntryThatExpiresChangesTheLists) {
    add(kKorallen, ListKind::Allied, entry("Erste", 0));
    utc_ += 600;
    add(kKorallen, ListKind::Allied, entry("Zweite", 0));
    live_.follow(kKorallen);
    const std::int64_t firstGoes = utc_ - 600 + kExpiry + 1;
    utc_ = firstGoes - 1;
    EXPECT_TRUE(look().empty()) << "the first entry still counts";
    utc_ = firstGoes;
    EXPECT_EQ(look().size(), 1u) << "gone: the page must show it no more";
    EXPECT_TRUE(look().empty());
    utc_ += 599;
    EXPECT_TRUE(look().empty());
    utc_ += 1;
    EXPECT_EQ(look().size(), 1u) << "the second one";
    utc_ += 10 * kExpiry;
    EXPECT_TRUE(look().empty()) << "an empty list expires no more";
}

TEST_F(LiveListsTest, AnEventIsOneLineOfDataHoweverItsTextRuns) {
    const std::string text =
        eventText(LiveEvent{"alert", "{\"text\":" + jsonString("a\nb\r\nc") + "}"});
    EXPECT_EQ(text, "event: alert\ndata: {\"text\":\"a\\u000ab\\u000d\\u000ac\"}\n\n");
    const nlohmann::json versions =
        nlohmann::json::parse(LiveLists::listsData({std::optional<std::int64_t>(3), std::nullopt}));
    EXPECT_EQ(versions["versions"]["Reef_Frend"], 3);
    EXPECT_TRUE(versions["versions"]["Reef_Enemy"].is_null());
}

} // namespace
