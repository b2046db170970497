// A "ready" means the entry is on disk: it survives the hardest stop of the server.

#include "listserver/contract_fixture.h"

#include <csignal>

using namespace reef::listserver::testing;

namespace {

using DurabilityTest = ListServerTest;

TEST_F(DurabilityTest, EveryReadySurvivesKill9AndRestart) {
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 5; ++i) {
            std::string name = "R" + std::to_string(round) + "N" + std::to_string(i);
            ASSERT_EQ(submit("Reef_Enemy", "New", enemyEntry(name)), "ready");
        }
        // A change answered "ready" is as durable as a new entry.
        ASSERT_EQ(
            submit("Reef_Enemy", "Change",
                   enemyEntry("R" + std::to_string(round) + "N0x") + "&IDW=4&BasisZeitW=49200"),
            "false")
            << "five entries of that key length and time: not clear which";
        std::string changedName = "R" + std::to_string(round) + "N4";
        ASSERT_EQ(submit("Reef_Enemy", "Change",
                         enemyEntry(changedName, "50400") + "&IDW=4&BasisZeitW=49200"),
                  "ready");

        server_->signal(SIGKILL);
        EXPECT_EQ(server_->wait(), 128 + SIGKILL);
        startServer();

        auto records = download("Reef_Enemy");
        ASSERT_EQ(records.size(), static_cast<std::size_t>(5 * (round + 1)));
        for (int r = 0; r <= round; ++r)
            for (int i = 0; i < 5; ++i) {
                std::string name = "R" + std::to_string(r) + "N" + std::to_string(i);
                bool found = false;
                for (const auto& record : records)
                    if (record[Name] == name)
                        found = found || i != 4 || record[BasisZeit] == "50400";
                EXPECT_TRUE(found) << name << " after restart " << round;
            }
    }
}

} // namespace
