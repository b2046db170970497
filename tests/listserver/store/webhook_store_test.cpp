// The webhook of an alliance in the store (SQLite, or PostgreSQL as the environment says), and
// the SQLite schema step that brings it.

#include "listserver/store/sqlite_store.h"
#include "listserver/test_database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

using namespace reef::listserver;

namespace {

class WebhookStoreTest : public ::testing::Test {
  protected:
    WebhookStoreTest() {
        char pattern[] = "/tmp/reef-webhook-store-XXXXXX";
        path_ = std::string(::mkdtemp(pattern)) + "/lists.sqlite";
    }
    ~WebhookStoreTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(path_).parent_path(), ignored);
    }

    std::string path_;
    const Webhook discord_{"https://discord.com/api/webhooks/1/geheim", WebhookFormat::Discord,
                           "<@&42>"};
};

TEST_F(WebhookStoreTest, SetReplacedAndRemovedWithItsAllianceOrAlone) {
    const reef::listserver::testing::TestDatabase database(
        std::filesystem::path(path_).parent_path().string());
    const auto opened = database.open();
    ListStore& store = *opened;
    ASSERT_TRUE(store.addAlliance("Korallen", "hash-k"));
    const AllianceId id = store.alliances().at(0).id;
    EXPECT_EQ(store.webhook(id), std::nullopt);
    EXPECT_FALSE(store.setWebhook("Niemand", discord_));
    ASSERT_TRUE(store.setWebhook("Korallen", discord_));
    const auto stored = store.webhook(id);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(std::tie(stored->url, stored->format, stored->mention),
              std::tie(discord_.url, discord_.format, discord_.mention));
    ASSERT_TRUE(
        store.setWebhook("Korallen", Webhook{"https://c.example/x", WebhookFormat::Json, ""}));
    EXPECT_EQ(store.webhook(id)->format, WebhookFormat::Json) << "replaced, not added";
    ASSERT_TRUE(store.setWebhook("Korallen", std::nullopt));
    EXPECT_EQ(store.webhook(id), std::nullopt);
    ASSERT_TRUE(store.setWebhook("Korallen", discord_));
    ASSERT_TRUE(store.removeAlliance("Korallen"));
    EXPECT_EQ(store.webhook(id), std::nullopt) << "gone with its alliance";
}

TEST_F(WebhookStoreTest, ADatabaseOfThePreviousSchemaGainsTheWebhookTable) {
    {
        SqliteStore store(path_, SqliteStore::Create::IfMissing);
        ASSERT_TRUE(store.addAlliance("Korallen", "hash-k"));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(db, "DROP TABLE webhook; PRAGMA user_version = 3", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    SqliteStore store(path_, SqliteStore::Create::Never);
    ASSERT_TRUE(store.setWebhook("Korallen", discord_));
    EXPECT_EQ(store.webhook(store.alliances().at(0).id)->url, discord_.url);
}

} // namespace
