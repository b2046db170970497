// The requests of a new and a changed entry: keys, orders, value forms and sending rules.

#include "exchange/entry_request.h"

#include <gtest/gtest.h>

namespace {

using reef::fleetlists::EntrySubmission;
using reef::fleetlists::FleetListKind;
using namespace reef::exchange;

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
    e.ZielPunkte = "1234k";
    e.BasisZeit = "13:47";
    e.Von = "Bert";
    e.password = "geheim wort";
    e.editCopy.Name = "Paul";
    e.editCopy.BasisZeit = 3600;
    return e;
}

TEST(DigitsOnly, KeepsTheDigitsInOrder) {
    EXPECT_EQ(digitsOnly(" -9 a8.7k"), "987");
    EXPECT_EQ(digitsOnly("k"), "");
}

TEST(NewEntryRequest, LeavesOptionalKeysOutAndPutsModusAfterSchiffe) {
    EXPECT_EQ(buildNewEntryRequest(entry(), {"lists.example", 80}),
              "GET http://lists.example/Reef-Update.php?Info1=geheim%20wort&Info2=Reef_Frend"
              "&Info3=New&Hilfe=1&Name=Klaus_Peter&Basis=1:2:3&Punkte=1234567&Schiffe=500"
              "&Modus=2&ZielName=Otto&ZielBasis=4:5:6&ZielPunkte=1234&BasisZeit=49200"
              " HTTP/1.0\r\n\r\n");
}

TEST(ChangeRequest, SendsEveryKeyAndFindsTheEntryByTheEditCopy) {
    EntrySubmission e = entry(FleetListKind::Enemy);
    e.Name = "Paulchen";
    e.Punkte = "viele";
    EXPECT_EQ(buildChangeRequest(e, {"lists.example", 8080}),
              "GET http://lists.example:8080/Reef-Update.php?Info1=geheim%20wort"
              "&Info2=Reef_Enemy&Info3=Change&Hilfe=1&Name=Paulchen&Allianz=&Basis=1:2:3"
              "&Punkte=&Modus=2&Schiffe=500&ZielName=Otto&ZielAllianz=&ZielBasis=4:5:6"
              "&ZielPunkte=1234&BasisZeit=49200&Von=Bert&IDW=4&BasisZeitW=3600"
              " HTTP/1.0\r\n\r\n");
}

// The part of a request from the key to the next "&" or blank; "" when the key is absent.
std::string pair(const std::string& request, const std::string& key) {
    const std::size_t at = request.find("&" + key + "=");
    return at == std::string::npos ? ""
                                   : request.substr(at, request.find_first_of("& ", at + 1) - at);
}

struct ModeCase {
    const char* name;
    void (*change)(EntrySubmission&);
    std::string key;
    std::string inNew;
    std::string inChange;
};

struct EntryRequests : ::testing::TestWithParam<ModeCase> {};

TEST_P(EntryRequests, FollowTheRulesOfEachMode) {
    EntrySubmission e = entry();
    GetParam().change(e);
    EXPECT_EQ(pair(buildNewEntryRequest(e, {"h", 80}), GetParam().key), GetParam().inNew);
    EXPECT_EQ(pair(buildChangeRequest(e, {"h", 80}), GetParam().key), GetParam().inChange);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryRequests,
    ::testing::Values(
        ModeCase{"PointsWithoutDigits", [](EntrySubmission& e) { e.Punkte = "k"; }, "Punkte", "",
                 "&Punkte="},
        ModeCase{"NoTargetTime", [](EntrySubmission&) {}, "ZielZeit", "", ""},
        ModeCase{"TargetTime", [](EntrySubmission& e) { e.ZielZeit = "13:47"; }, "ZielZeit",
                 "&ZielZeit=49200", "&ZielZeit=49200"},
        ModeCase{"InvalidTargetTime", [](EntrySubmission& e) { e.ZielZeit = "25:00"; }, "ZielZeit",
                 "", "&ZielZeit=0"},
        ModeCase{"BlankTargetTime", [](EntrySubmission& e) { e.ZielZeit = "  "; }, "ZielZeit", "",
                 "&ZielZeit=0"},
        ModeCase{"PaddedTargetTime", [](EntrySubmission& e) { e.ZielZeit = " 10:25 "; }, "ZielZeit",
                 "&ZielZeit=37200", "&ZielZeit=37200"},
        ModeCase{"NoHelpCode", [](EntrySubmission& e) { e.helpSelection = -1; }, "Hilfe",
                 "&Hilfe=-1", ""},
        ModeCase{"EscapedName", [](EntrySubmission& e) { e.Name = "x&Von=F #1 %41+Bär"; }, "Name",
                 "&Name=x%26Von=F_%231_%2541%2BB%E4r", "&Name=x%26Von=F_%231_%2541%2BB%E4r"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
