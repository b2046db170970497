// The webhook of an alliance in the SQLite store, and the schema step that brings it.

#include "listserver/sqlite_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

using namespace reef::listserver;

namespace {

class WebhookStoreTest : public ::testing::Test {
  protected:
    WebhookStoreTest() {
        char pattern[] = "/tmp/reef-webhook-store-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        path_ = (folder_ / "lists.sqlite").string();
    }
    ~WebhookStoreTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    void sql(const char* statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, &message), SQLITE_OK)
            << (message ? message : "");
        sqlite3_free(message);
        sqlite3_close(db);
    }
    AllianceId idOf(SqliteStore& store, const std::string& name) {
        for (const Alliance& each : store.alliances())
            if (each.name == name)
                return each.id;
        return 0;
    }

    std::filesystem::path folder_;
    std::string path_;
    const Webhook discord_{"https://discord.com/api/webhooks/1/geheim", WebhookFormat::Discord,
                           "<@&42>"};
};

TEST_F(WebhookStoreTest, AnAllianceHasNoWebhookUntilOneIsSetAndNoneAfterItIsRemoved) {
    SqliteStore store(path_, SqliteStore::Create::IfMissing);
    ASSERT_TRUE(store.addAlliance("Korallen", "hash-k"));
    const AllianceId id = idOf(store, "Korallen");
    EXPECT_EQ(store.webhook(id), std::nullopt);
    ASSERT_TRUE(store.setWebhook("Korallen", discord_));
    auto stored = store.webhook(id);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->url, discord_.url);
    EXPECT_EQ(stored->format, WebhookFormat::Discord);
    EXPECT_EQ(stored->mention, "<@&42>");
    ASSERT_TRUE(
        store.setWebhook("Korallen", Webhook{"https://chat.example/x", WebhookFormat::Json, ""}));
    EXPECT_EQ(store.webhook(id)->format, WebhookFormat::Json) << "replaced, not added";
    ASSERT_TRUE(store.setWebhook("Korallen", std::nullopt));
    EXPECT_EQ(store.webhook(id), std::nullopt);
}

TEST_F(WebhookStoreTest, AnUnknownAllianceGetsNoWebhook) {
    SqliteStore store(path_, SqliteStore::Create::IfMissing);
    EXPECT_FALSE(store.setWebhook("Niemand", discord_));
    EXPECT_FALSE(store.setWebhook("Niemand", std::nullopt));
}

TEST_F(WebhookStoreTest, RemovingTheAllianceRemovesItsWebhook) {
    AllianceId id = 0;
    {
        SqliteStore store(path_, SqliteStore::Create::IfMissing);
        ASSERT_TRUE(store.addAlliance("Korallen", "hash-k"));
        id = idOf(store, "Korallen");
        ASSERT_TRUE(store.setWebhook("Korallen", discord_));
        ASSERT_TRUE(store.removeAlliance("Korallen"));
        EXPECT_EQ(store.webhook(id), std::nullopt);
    }
    sql("SELECT 1"); // the file is still a database
    SqliteStore reopened(path_, SqliteStore::Create::Never);
    EXPECT_EQ(reopened.webhook(id), std::nullopt);
}

TEST_F(WebhookStoreTest, ADatabaseOfThePreviousSchemaGainsTheWebhookTable) {
    {
        SqliteStore store(path_, SqliteStore::Create::IfMissing);
        ASSERT_TRUE(store.addAlliance("Korallen", "hash-k"));
    }
    // As the version before webhooks left it.
    sql("DROP TABLE webhook; PRAGMA user_version = 2;");
    SqliteStore store(path_, SqliteStore::Create::Never);
    EXPECT_EQ(SqliteStore::schemaVersion(), 3);
    ASSERT_TRUE(store.setWebhook("Korallen", discord_));
    EXPECT_EQ(store.webhook(idOf(store, "Korallen"))->url, discord_.url);
    EXPECT_EQ(store.alliances().size(), 1u) << "the alliance survived the step";
}

} // namespace
