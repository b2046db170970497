// The requests of a new and a changed entry: keys, orders, value forms and sending rules.

#include "server/entry_request.h"

#include <gtest/gtest.h>

namespace {

using reef::fleetlists::DialogMode;
using reef::fleetlists::EntrySubmission;
using reef::fleetlists::FleetListKind;
using reef::server::buildChangeRequest;
using reef::server::buildNewEntryRequest;
using reef::server::digitsOnly;
using reef::server::ListServerAddress;

const ListServerAddress kServer{"lists.example", 80};

EntrySubmission entry(FleetListKind kind = FleetListKind::Allied) {
    EntrySubmission e;
    e.kind = kind;
    e.helpSelection = 1;
    e.missionSelection = 2;
    e.Name = " Klaus Peter ";
    e.Basis = "1:2:3";
    e.Punkte = "1.234.567";
    e.Schiffe = "500";
    e.ZielName = "Otto";
    e.ZielBasis = "4:5:6";
    e.BasisZeit = "13:47";
    e.Von = "Bert";
    e.password = "geheim wort";
    e.editCopy.Name = "Paul";
    e.editCopy.BasisZeit = 3600;
    return e;
}

// The query part of a request: between the operation and " HTTP/1.0".
std::string query(const std::string& request, std::string_view operation) {
    const std::size_t start = request.find(operation) + operation.size();
    return request.substr(start, request.find(" HTTP/1.0\r\n\r\n") - start);
}

std::string newQuery(const EntrySubmission& e) {
    return query(buildNewEntryRequest(e, kServer), "Info3=New");
}
std::string changeQuery(const EntrySubmission& e) {
    return query(buildChangeRequest(e, kServer), "Info3=Change");
}

TEST(DigitsOnly, KeepsTheDigitsInOrder) {
    EXPECT_EQ(digitsOnly("1.234.567"), "1234567");
    EXPECT_EQ(digitsOnly("1234k"), "1234");
    EXPECT_EQ(digitsOnly("k"), "");
    EXPECT_EQ(digitsOnly(" -9 a8"), "98");
}

TEST(NewEntryRequest, WholeRequestWithOptionalKeysLeftOut) {
    EXPECT_EQ(buildNewEntryRequest(entry(), kServer),
              "GET http://lists.example/Reef-Update.php?Info1=geheim%20wort&Info2=Reef_Frend"
              "&Info3=New&Hilfe=1&Name=Klaus_Peter&Basis=1:2:3&Punkte=1234567&Schiffe=500"
              "&Modus=2&ZielName=Otto&ZielBasis=4:5:6&BasisZeit=49200 HTTP/1.0\r\n\r\n");
}

TEST(ChangeRequest, WholeRequestWithEveryKeyAndTheEditCopysKey) {
    EntrySubmission e = entry(FleetListKind::Enemy);
    e.mode = DialogMode::Change;
    e.Name = "Paulchen";
    EXPECT_EQ(buildChangeRequest(e, {"lists.example", 8080}),
              "GET http://lists.example:8080/Reef-Update.php?Info1=geheim%20wort"
              "&Info2=Reef_Enemy&Info3=Change&Hilfe=1&Name=Paulchen&Allianz=&Basis=1:2:3"
              "&Punkte=1234567&Modus=2&Schiffe=500&ZielName=Otto&ZielAllianz=&ZielBasis=4:5:6"
              "&ZielPunkte=&BasisZeit=49200&Von=Bert&IDW=4&BasisZeitW=3600 HTTP/1.0\r\n\r\n");
}

TEST(EntryRequests, PointsWithoutDigits) {
    EntrySubmission e = entry();
    e.Punkte = "viele";
    EXPECT_EQ(newQuery(e).find("&Punkte="), std::string::npos);
    EXPECT_NE(changeQuery(e).find("&Punkte=&"), std::string::npos);
}

TEST(EntryRequests, PointsWithALetterAtTheEnd) {
    EntrySubmission e = entry();
    e.ZielPunkte = "1234k";
    EXPECT_NE(newQuery(e).find("&ZielPunkte=1234&"), std::string::npos);
}

struct TargetTimeCase {
    std::string text;
    std::string inNew;    // what the new-entry request carries
    std::string inChange; // what the change carries
};

class TargetTime : public ::testing::TestWithParam<TargetTimeCase> {};

TEST_P(TargetTime, SentByTheRulesOfEachMode) {
    EntrySubmission e = entry();
    e.ZielZeit = GetParam().text;
    const auto tail = [](const std::string& q) {
        const std::size_t at = q.find("&ZielZeit=");
        return at == std::string::npos ? std::string() : q.substr(at, q.find('&', at + 1) - at);
    };
    EXPECT_EQ(tail(newQuery(e)), GetParam().inNew);
    EXPECT_EQ(tail(changeQuery(e)), GetParam().inChange);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TargetTime,
    ::testing::Values(TargetTimeCase{"", "", ""},
                      TargetTimeCase{"13:47", "&ZielZeit=49200", "&ZielZeit=49200"},
                      TargetTimeCase{"25:00", "", "&ZielZeit=0"},
                      TargetTimeCase{"  ", "", "&ZielZeit=0"},
                      TargetTimeCase{" 10:25 ", "&ZielZeit=37200", "&ZielZeit=37200"}));

TEST(EntryRequests, HelpCodeLeftOutOfAChangeWhenNoneIsSelected) {
    EntrySubmission e = entry();
    e.helpSelection = -1;
    EXPECT_EQ(newQuery(e).substr(0, 10), "&Hilfe=-1&");
    EXPECT_EQ(changeQuery(e).substr(0, 6), "&Name=");
}

TEST(EntryRequests, EscapesWhatWouldSplitOrAlterAValue) {
    EntrySubmission e = entry();
    e.Name = "x&Von=Fake #1 %41+Bär";
    EXPECT_NE(newQuery(e).find("&Name=x%26Von=Fake_%231_%2541%2BB%E4r&"), std::string::npos);
}

} // namespace
