// The browser page in headless Chromium against a real list server with entries: every cell,
// colour and countdown compared with the desktop program's own list view built from the same
// list at the same second, and screenshots at phone and desktop width.

#include "listserver/contract_fixture.h"
#include "listserver/web/browser_session.h"

#include "exchange/fleet_record.h"
#include "exchange/list_body_parser.h"
#include "fleetlists/catalogue.h"
#include "fleetlists/entry_time_field.h"
#include "fleetlists/help_description.h"
#include "fleetlists/list_view_fill.h"
#include "platform/headless/headless_platform.h"
#include "text/cp1252.h"
#include "text/date_text.h"
#include "wire/list_format.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace reef::listserver::testing;
using reef::fleetlists::FleetListKind;
using reef::platform::Color;

#ifndef REEF_SCREENSHOT_DIR
#error "REEF_SCREENSHOT_DIR must name the folder for the screenshots"
#endif

namespace {

// One cell as shown: its text (Windows-1252, like the program's), background and text colour
// as "rgb(r, g, b)", white and black standing for "no colour of its own".
struct ShownCell {
    std::string text;
    std::string background;
    std::string color;
    bool operator==(const ShownCell&) const = default;
};
using ShownRows = std::vector<std::vector<ShownCell>>;

std::ostream& operator<<(std::ostream& out, const ShownCell& cell) {
    return out << "[" << cell.text << " | " << cell.background << " | " << cell.color << "]";
}

std::string rgbText(Color color) {
    return "rgb(" + std::to_string(color.r) + ", " + std::to_string(color.g) + ", " +
           std::to_string(color.b) + ")";
}

const std::string kWhite = "rgb(255, 255, 255)";
const std::string kBlack = "rgb(0, 0, 0)";

// The program's list of a downloaded list body at that time of day, and its list view.
struct ProgramList {
    std::vector<reef::fleetlists::FleetEntry> entries;
    ShownRows shown;
};

ProgramList programList(FleetListKind kind, const std::string& body, std::int64_t localNow) {
    reef::exchange::ListBodyParser parser(kind, localNow);
    parser.append(body.substr(reef::wire::kListMarker.size()));
    EXPECT_TRUE(parser.takeEndMarker());
    parser.parseWholeRecords();
    std::vector<reef::fleetlists::FleetEntry> rows = parser.takeRows();
    reef::exchange::sortByReturnTicks(rows, localNow);

    reef::platform::headless::HeadlessPlatform ui(localNow);
    reef::platform::headless::HeadlessDriver driver(ui);
    auto window = ui.openWindow("Liste", 640, 230);
    auto listView = ui.createListView(window, {0, 0, 640, 153});
    const int columns = kind == FleetListKind::Enemy ? 17 : 16;
    for (int column = 0; column < columns; ++column)
        ui.addListColumn(listView, "Spalte " + std::to_string(column), 50);
    reef::fleetlists::fillListView(ui, listView, reef::fleetlists::buildFleetListTables(), kind,
                                   rows, localNow);
    ProgramList list{rows, {}};
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        std::vector<ShownCell>& cells = list.shown.emplace_back();
        for (int column = 0; column < columns; ++column) {
            auto background = driver.listCellBackground(listView, row, column);
            auto color = driver.listCellTextColor(listView, row, column);
            cells.push_back({ui.listCell(listView, row, column),
                             background ? rgbText(*background) : kWhite,
                             color ? rgbText(*color) : kBlack});
        }
    }
    return list;
}

// The rows of one list as the page shows them.
ShownRows pageRows(BrowserSession& browser, const std::string& identifier) {
    nlohmann::json rows = browser.evaluate(
        "[...document.querySelectorAll('#liste-" + identifier +
        " tbody tr')].filter(tr => !tr.querySelector('td.leer')).map(tr => [...tr.children]"
        ".map(td => { const s = getComputedStyle(td); "
        "return [td.textContent, s.backgroundColor, s.color]; }))");
    ShownRows shown;
    for (const auto& row : rows) {
        std::vector<ShownCell>& cells = shown.emplace_back();
        for (const auto& cell : row) {
            std::string background = cell[1].get<std::string>();
            if (background == "rgba(0, 0, 0, 0)")
                background = kWhite;
            cells.push_back({reef::text::utf8ToCp1252(cell[0].get<std::string>()), background,
                             cell[2].get<std::string>()});
        }
    }
    return shown;
}

std::string percent(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (std::isalnum(c) || c == ':' || c == '-' || c == '.') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Stands in for the browser's notifications before the page's script runs: each one the page
// raises is kept in window.raised, with its click handler, for the test to read and click.
const std::string kRecordNotifications = R"JS(
window.raised = [];
(function () {
  var Real = window.Notification;
  function Recorded(title, options) {
    // As phones do: notifications only through a service worker.
    if (window.onlyThroughWorker) {
      throw new TypeError("Illegal constructor");
    }
    var note = {title: title, body: options && options.body, onclick: null, closed: false,
                close: function () { note.closed = true; }};
    window.raised.push(note);
    return note;
  }
  Object.defineProperty(Recorded, "permission", {get: function () { return Real.permission; }});
  Recorded.requestPermission = function (done) { return Real.requestPermission(done); };
  window.Notification = Recorded;
})();
)JS";

// What a member does in the entry form: type into a field (focus, text, input event), leave
// it, pick an item of a list.
std::string typeInto(const std::string& field, const std::string& text) {
    return "(() => { const f = document.getElementById('feld-" + field +
           "'); f.focus(); f.value = " + nlohmann::json(text).dump() +
           "; f.dispatchEvent(new Event('input', {bubbles: true})); return true; })()";
}
std::string leave(const std::string& field) {
    return "(document.getElementById('feld-" + field + "').blur(), true)";
}
std::string pick(const std::string& field, int index) {
    return "(() => { const f = document.getElementById('feld-" + field +
           "'); f.selectedIndex = " + std::to_string(index) +
           "; f.dispatchEvent(new Event('change', {bubbles: true})); return true; })()";
}
std::string fieldValue(const std::string& field) {
    return "document.getElementById('feld-" + field + "').value";
}
const std::string kPageNow =
    "(() => { const d = new Date(); return d.getHours() * 3600 + d.getMinutes() * 60 + "
    "d.getSeconds(); })()";

class WebBrowserTest : public ListServerTest {
  protected:
    void SetUp() override {
        executable_ = chromiumExecutable();
        if (executable_.empty())
            GTEST_SKIP() << "Chromium is not installed (scripts/test.sh installs Debian's "
                            "chromium package for this stage)";
        ListServerTest::SetUp();
        std::filesystem::create_directories(REEF_SCREENSHOT_DIR);
        browser_ = std::make_unique<BrowserSession>(executable_, dir_.file("profile"));
        ASSERT_TRUE(browser_->started()) << browser_->failure();
        browser_->setViewport(1280, 800);
    }
    void TearDown() override { browser_.reset(); }

    std::string base() const { return "http://127.0.0.1:" + std::to_string(port()); }

    // A clock time `ticks` slots from the current one, on the tick grid.
    static std::string slotTime(int ticks) {
        const std::int64_t now = localWallNow() % 86400;
        const std::int64_t slot = now / 1200 * 1200;
        return std::to_string(((slot + ticks * 1200) % 86400 + 86400) % 86400);
    }

    // Types the password into the form and sends it, as a user would.
    void logIn(const std::string& password) { logIn(*browser_, password); }
    void logIn(BrowserSession& browser, const std::string& password) {
        browser.navigate(base() + "/");
        ASSERT_TRUE(browser.waitFor("document.getElementById('passwort')"));
        browser.evaluate(
            "document.getElementById('passwort').value = " + nlohmann::json(password).dump() +
            "; document.querySelector('form button').click(); true");
    }
    // Logs in and waits until the script has shown the lists; the time of day it used.
    std::int64_t openLists() {
        logIn(kPassword);
        EXPECT_TRUE(browser_->waitFor("document.body.getAttribute('data-gezeigt') !== null"));
        return std::stoll(
            browser_->evaluate("document.body.getAttribute('data-gezeigt')").get<std::string>());
    }

    void addEntries() {
        // Allied: every help code, missing values, times past, due, near and far, a tie.
        const std::vector<std::string> allied = {
            "&Hilfe=0&Name=Paul&Basis=7:7:7&Schiffe=20&Modus=1&ZielName=Otto&ZielBasis=8:8:8"
            "&BasisZeit=" +
                slotTime(10),
            "&Hilfe=3&Name=Zora&Allianz=Korallen&Basis=1:1:1&Punkte=1234567&Schiffe=300&Modus=2"
            "&ZielName=Feind&ZielAllianz=B%F6se&ZielBasis=2:2:2&ZielPunkte=999&ZielZeit=" +
                slotTime(0) + "&BasisZeit=" + slotTime(2),
            "&Hilfe=4&Name=Gr%FC%DFe&Basis=3:3:3&Schiffe=5&Modus=2&ZielName=X&ZielBasis=4:4:4"
            "&ZielZeit=" +
                slotTime(-3) + "&BasisZeit=" + slotTime(-2),
            "&Hilfe=1&Name=Ute&Allianz=n/a&Basis=5:5:5&Punkte=1000&Schiffe=1&Modus=0&ZielName=Y"
            "&ZielBasis=6:6:6&ZielZeit=" +
                slotTime(1) + "&BasisZeit=" + slotTime(1),
            "&Hilfe=2&Name=" + percent("<img src=x onerror=\"window.boom=1\">") +
                "&Basis=9:9:9&Schiffe=77&Modus=1&ZielName=Z&ZielBasis=1:2:3&ZielZeit=" +
                slotTime(5) + "&BasisZeit=" + slotTime(10),
        };
        for (const std::string& entry : allied)
            ASSERT_EQ(submit("Reef_Frend", "New", entry), "ready") << entry;
        // Enemy: who entered it differing from the target in case only, in Latin-1 case only,
        // or really; arrivals settle the help code.
        const std::vector<std::string> enemy = {
            "&Hilfe=3&Name=Angreifer&Allianz=Haie&Basis=1:2:3&Punkte=55&Schiffe=500&Modus=2"
            "&ZielName=Anna&ZielAllianz=Korallen&ZielBasis=4:5:6&BasisZeit=" +
                slotTime(20) + "&Von=ANNA&ZielZeit=" + slotTime(3),
            "&Hilfe=1&Name=B&Basis=1&Schiffe=2&Modus=2&ZielName=%C4rger&ZielBasis=2"
            "&BasisZeit=" +
                slotTime(4) + "&Von=%E4RGER",
            "&Hilfe=4&Name=C&Basis=1&Schiffe=3&Modus=1&ZielName=Otto&ZielBasis=2&BasisZeit=" +
                slotTime(6) + "&Von=Bert&ZielZeit=" + slotTime(0),
            "&Hilfe=2&Name=D%80&Basis=1&Schiffe=4&Modus=0&ZielName=E&ZielBasis=2&BasisZeit=" +
                slotTime(-1) + "&Von=F&ZielZeit=" + slotTime(-4),
        };
        for (const std::string& entry : enemy)
            ASSERT_EQ(submit("Reef_Enemy", "New", entry), "ready") << entry;
    }

    std::string executable_;
    std::unique_ptr<BrowserSession> browser_;
};

TEST_F(WebBrowserTest, ThePageShowsBothListsAsTheProgramsListViewDoes) {
    addEntries();
    const std::int64_t shownAt = openLists();
    const ShownRows alliedPage = pageRows(*browser_, "Reef_Frend");
    const ShownRows enemyPage = pageRows(*browser_, "Reef_Enemy");
    const std::string alliedBody = get(port(), target("Reef_Frend", "Update")).body;
    const std::string enemyBody = get(port(), target("Reef_Enemy", "Update")).body;

    const ProgramList allied = programList(FleetListKind::Allied, alliedBody, shownAt);
    const ProgramList enemy = programList(FleetListKind::Enemy, enemyBody, shownAt);
    ASSERT_EQ(allied.shown.size(), 5u);
    ASSERT_EQ(enemy.shown.size(), 4u);
    EXPECT_EQ(alliedPage, allied.shown);
    EXPECT_EQ(enemyPage, enemy.shown);

    // A click on a row explains its help cell as the program's description line does.
    const auto catalogue = reef::fleetlists::buildFleetListTables().help;
    for (const auto& [kind, identifier, list] :
         {std::tuple{FleetListKind::Allied, "Reef_Frend", &allied},
          std::tuple{FleetListKind::Enemy, "Reef_Enemy", &enemy}}) {
        const std::string hint =
            "document.getElementById('hinweis-" + std::string(identifier) + "').textContent";
        EXPECT_EQ(reef::text::utf8ToCp1252(browser_->evaluate(hint).get<std::string>()),
                  "Dr\xFC"
                  "cke auf einen Eintrag, um mehr \xFC"
                  "ber die Bedeutung der Spalte ''Hilfe'' zu erfahren.");
        for (std::size_t row = 0; row < list->entries.size(); ++row) {
            browser_->evaluate("document.querySelectorAll('#liste-" + std::string(identifier) +
                               " tbody tr')[" + std::to_string(row) + "].click(); true");
            const int code =
                reef::fleetlists::helpCodeOfName(catalogue, kind, list->shown[row][0].text);
            EXPECT_EQ(reef::text::utf8ToCp1252(browser_->evaluate(hint).get<std::string>()),
                      reef::fleetlists::helpDescription(catalogue, kind, code, list->entries[row]))
                << identifier << " row " << row;
        }
    }
    // The markup in a name stayed text.
    EXPECT_TRUE(browser_->evaluate("window.boom === undefined").get<bool>());
    EXPECT_TRUE(
        browser_->evaluate("document.querySelector('#liste-Reef_Frend img') === null").get<bool>());

    const nlohmann::json headers = browser_->evaluate(
        "['Reef_Frend', 'Reef_Enemy'].map(id => [...document.querySelectorAll('#liste-' + id + "
        "' thead th')].map(th => th.textContent))");
    const std::vector<std::string> expected = {"Hilfe-/ Status",
                                               "Name",
                                               "Allianz",
                                               "Basis",
                                               "Punkte",
                                               "Schiffe",
                                               "Auftrag",
                                               "Ziel Name",
                                               "Ziel Allianz",
                                               "Ziel Basis",
                                               "Ziel Punkte",
                                               "ETA bis Ziel",
                                               "Impakt Time",
                                               "ETA bis R\xC3\xBC"
                                               "ckkehr",
                                               "Uhrzeit R\xC3\xBC"
                                               "ckkehr",
                                               "Update Uhrzeit",
                                               "Eingetragen von"};
    EXPECT_EQ(headers[0].get<std::vector<std::string>>(),
              std::vector<std::string>(expected.begin(), expected.end() - 1));
    EXPECT_EQ(headers[1].get<std::vector<std::string>>(), expected);

    browser_->screenshot(1280, REEF_SCREENSHOT_DIR "/lists-1280.png");
    browser_->screenshot(360, REEF_SCREENSHOT_DIR "/lists-360.png");
    // At phone width each entry is one card with its help status in the list's order and
    // colour, and nothing runs off the side.
    EXPECT_TRUE(browser_->evaluate("document.documentElement.scrollWidth <= 360").get<bool>());
    for (const auto& [identifier, list] :
         {std::pair{"Reef_Frend", &allied}, std::pair{"Reef_Enemy", &enemy}}) {
        const nlohmann::json cards = browser_->evaluate(
            "[...document.querySelectorAll('#liste-" + std::string(identifier) +
            " .karte-hilfe')].map(b => [b.textContent, getComputedStyle(b).backgroundColor, "
            "b.getBoundingClientRect().width > 0])");
        ASSERT_EQ(cards.size(), list->shown.size()) << identifier;
        for (std::size_t row = 0; row < cards.size(); ++row) {
            const ShownCell& help = list->shown[row][0];
            EXPECT_EQ(reef::text::utf8ToCp1252(cards[row][0].get<std::string>()),
                      help.text.empty() ? "\x96" : help.text)
                << identifier << " card " << row;
            EXPECT_EQ(cards[row][1], help.background) << identifier << " card " << row;
            EXPECT_TRUE(cards[row][2].get<bool>()) << "shown at phone width";
        }
    }
    EXPECT_TRUE(
        browser_
            ->evaluate("document.querySelector('#liste-Reef_Enemy table').offsetParent === null")
            .get<bool>())
        << "the table gives way to the cards";
    for (const char* file : {"/lists-1280.png", "/lists-360.png"})
        EXPECT_GT(std::filesystem::file_size(std::string(REEF_SCREENSHOT_DIR) + file), 10000u)
            << file;
}

TEST_F(WebBrowserTest, AWrongPasswordShowsTheFormAgainWithAMessage) {
    logIn("NotTheRightOne");
    ASSERT_TRUE(browser_->waitFor("document.getElementById('meldung')"));
    EXPECT_EQ(browser_->evaluate("document.getElementById('meldung').textContent"),
              "Falsches Passwort.");
    EXPECT_EQ(browser_->evaluate("document.cookie"), "");
    browser_->screenshot(360, REEF_SCREENSHOT_DIR "/login-360.png");
}

TEST_F(WebBrowserTest, TheSessionCookieIsOutOfTheScriptsReachAndLogoutEndsIt) {
    openLists();
    EXPECT_EQ(browser_->evaluate("document.cookie"), "") << "HttpOnly";
    EXPECT_EQ(browser_->evaluate("fetch('/api/lists').then(a => a.status)"), 200);
    browser_->evaluate("document.querySelector('form[action=\"/logout\"] button').click(); true");
    ASSERT_TRUE(browser_->waitFor("document.getElementById('passwort')"));
    EXPECT_EQ(browser_->evaluate("fetch('/api/lists').then(a => a.status)"), 401);
}

// Where no event stream gets through (a proxy that buffers it, say), the page asks every minute.
TEST_F(WebBrowserTest, TheListsAreRefreshedEveryMinuteWithoutReloading) {
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Erster")), "ready");
    browser_->call("Network.enable");
    browser_->call("Network.setBlockedURLs", {{"urls", {"*/api/events"}}});
    // The page's minute is stepped rather than waited for: its intervals of a minute are kept
    // (they still run on the real clock too), so that the test can let one minute pass.
    browser_->call("Page.addScriptToEvaluateOnNewDocument", {{"source", R"JS(
window.minuteIntervals = [];
(function () {
  var real = window.setInterval;
  window.setInterval = function (callback, delay) {
    if (delay === 60000) {
      window.minuteIntervals.push(callback);
    }
    return real.apply(window, arguments);
  };
})();
)JS"}});
    openLists();
    browser_->evaluate("window.sameDocument = true");
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Zweiter")), "ready");
    auto rowCount = [this] {
        return browser_->evaluate("document.querySelectorAll('#liste-Reef_Frend tbody tr').length")
            .get<int>();
    };
    EXPECT_EQ(rowCount(), 1);
    ASSERT_EQ(browser_->evaluate("window.minuteIntervals.length").get<int>(), 1)
        << "the page keeps no interval of a minute";
    browser_->evaluate("window.minuteIntervals.forEach(function (f) { f(); })");
    EXPECT_TRUE(
        browser_->waitFor("document.querySelectorAll('#liste-Reef_Frend tbody tr').length === 2",
                          std::chrono::seconds(10)));
    EXPECT_TRUE(browser_->evaluate("window.sameDocument === true").get<bool>())
        << "the page was not reloaded";
}

// A member on the phone reports an attack through the form, a second member's page shows it
// within 2 s and the first one gets the notification; the entry is changed through the change
// form, and a value the server refuses is shown at its field.
TEST_F(WebBrowserTest, AMemberReportsAndChangesAttacksFromThePhone) {
    using reef::fleetlists::snappedTimeText;
    using reef::fleetlists::tickLabelText;
    BrowserSession& phone = *browser_;
    phone.call("Emulation.setFocusEmulationEnabled", {{"enabled", true}});
    phone.call("Page.addScriptToEvaluateOnNewDocument", {{"source", kRecordNotifications}});
    phone.setViewport(360, 800);
    openLists();
    // The other member watches the lists at a desk: their own browser, their own session.
    BrowserSession desk(executable_, dir_.file("profile-desk"));
    ASSERT_TRUE(desk.started()) << desk.failure();
    desk.setViewport(1280, 800);
    logIn(desk, kPassword);
    ASSERT_TRUE(desk.waitFor("document.body.getAttribute('data-gezeigt') !== null"));
    desk.evaluate("window.sameDocument = true");

    // Notifications: the button asks the browser; once allowed it gives way to a note.
    EXPECT_EQ(phone.evaluate("document.getElementById('benachrichtigungen').hidden"), false);
    EXPECT_EQ(phone.evaluate("document.getElementById('benachrichtigungen').textContent"),
              "Benachrichtigungen erlauben");
    phone.callBrowser("Browser.grantPermissions",
                      {{"origin", base()}, {"permissions", {"notifications"}}});
    phone.evaluate("document.getElementById('benachrichtigungen').click(); true");
    ASSERT_TRUE(phone.waitFor("document.getElementById('benachrichtigungen').hidden"));
    EXPECT_EQ(phone.evaluate("document.getElementById('benachrichtigungen-hinweis').textContent"),
              "Benachrichtigungen an");

    // The enemy form as the program's dialog has it.
    phone.evaluate("document.getElementById('neu-Reef_Enemy').click(); true");
    ASSERT_TRUE(phone.waitFor("document.getElementById('formular')"));
    EXPECT_EQ(phone.evaluate("document.getElementById('formular-titel').textContent"),
              "Gegnerische Flotten - neuer Eintrag");
    EXPECT_EQ(phone.evaluate("[...document.querySelectorAll('#formular legend')]"
                             ".map(l => l.textContent)"),
              nlohmann::json({"Daten der feindlichen Flotte", "Daten des Ziels",
                              "Ankunft der Flotte (Uhrzeit)", "Sonstige Daten"}));
    EXPECT_EQ(phone.evaluate("[...document.querySelectorAll('#formular label')]"
                             ".map(l => l.textContent)"),
              nlohmann::json({"Name*:", "Allianz:", "Basis*:", "Punkte:", "Schiffe*:", "Auftrag:",
                              "Name*:", "Allianz:", "Basis*:", "Punkte:", "am Ziel:",
                              "R\xC3\xBC"
                              "ckkehr*:",
                              "Eintragung get\xC3\xA4"
                              "tigt von*:",
                              "Hilfe-/ Status:"}));
    EXPECT_EQ(phone.evaluate("[...document.querySelectorAll('#formular input')]"
                             ".every(i => i.maxLength === 100)"),
              true);
    EXPECT_EQ(phone.evaluate("[...document.getElementById('feld-Hilfe').options]"
                             ".map(o => o.textContent)"),
              nlohmann::json({"OK", "Hilfe", "kann", "Achtung", "gedefft"}));
    EXPECT_EQ(phone.evaluate(fieldValue("Modus")), "2") << "a new entry attacks";
    EXPECT_EQ(phone.evaluate(fieldValue("Hilfe")), "0");
    EXPECT_EQ(phone.evaluate("document.querySelector('#formular .uebernehmen').disabled"), true);
    // "gedefft" and "Verteidigen" go together.
    phone.evaluate(pick("Hilfe", 4));
    EXPECT_EQ(phone.evaluate(fieldValue("Modus")), "1");
    phone.evaluate(pick("Hilfe", 3));
    EXPECT_EQ(phone.evaluate(fieldValue("Modus")), "2");
    phone.evaluate(pick("Modus", 1));
    EXPECT_EQ(phone.evaluate(fieldValue("Hilfe")), "4");
    phone.evaluate(pick("Modus", 2));
    EXPECT_EQ(phone.evaluate(fieldValue("Hilfe")), "0");

    // Leaving a time field snaps it to the tick and counts the ticks as the program's dialog
    // does, with the same clock.
    struct TimeCase {
        const char* field;
        const char* typed;
    };
    for (const TimeCase& c : {TimeCase{"BasisZeit", "10:25"}, TimeCase{"BasisZeit", "7.5"},
                              TimeCase{"BasisZeit", "23:59 Uhr"}, TimeCase{"BasisZeit", "1025"},
                              TimeCase{"BasisZeit", "24:00"}, TimeCase{"BasisZeit", "9:60"},
                              TimeCase{"BasisZeit", "abc"}, TimeCase{"BasisZeit", ""},
                              TimeCase{"ZielZeit", "13:47"}, TimeCase{"ZielZeit", "1:2"}}) {
        phone.evaluate(typeInto(c.field, c.typed));
        const nlohmann::json shown = phone.evaluate(
            "(" + leave(c.field) + ", [" + fieldValue(c.field) +
            ", document.getElementById('ticks-" + c.field + "').textContent, " + kPageNow + "])");
        EXPECT_EQ(shown[0], snappedTimeText(c.typed)) << c.field << " " << c.typed;
        EXPECT_EQ(shown[1], tickLabelText(c.typed, shown[2].get<std::int64_t>()))
            << c.field << " " << c.typed;
    }
    // An empty "am Ziel" stays empty and counts nothing.
    phone.evaluate(typeInto("ZielZeit", ""));
    EXPECT_EQ(phone.evaluate("(" + leave("ZielZeit") + ", [" + fieldValue("ZielZeit") +
                             ", document.getElementById('ticks-ZielZeit').textContent])"),
              nlohmann::json({"", ""}));

    // The attack, typed as a member would.
    const std::int64_t slot = localWallNow() % 86400 / 1200 * 1200;
    auto clock = [](std::int64_t seconds) {
        return reef::text::formatDate("%hh:%ii", static_cast<std::int32_t>(seconds % 86400));
    };
    const std::int64_t impact = (slot + 3 * 1200) % 86400;
    const std::int64_t back = (slot + 20 * 1200) % 86400;
    for (const auto& [field, text] :
         std::vector<std::pair<std::string, std::string>>{{"Name", " Hai "},
                                                          {"Allianz", "Haie"},
                                                          {"Basis", "1:2:3"},
                                                          {"Punkte", "1.234k"},
                                                          {"Schiffe", "500"},
                                                          {"ZielName", "Anna"},
                                                          {"ZielAllianz", "Korallen"},
                                                          {"ZielBasis", "4:5:6"},
                                                          {"ZielZeit", clock(impact + 7 * 60)},
                                                          {"BasisZeit", clock(back)},
                                                          {"Von", "Bert"}}) {
        EXPECT_EQ(phone.evaluate("document.querySelector('#formular .uebernehmen').disabled"), true)
            << "before " << field;
        phone.evaluate(typeInto(field, text));
        phone.evaluate(leave(field));
    }
    EXPECT_EQ(phone.evaluate(fieldValue("ZielZeit")), clock(impact)) << "snapped to the tick";
    EXPECT_EQ(phone.evaluate("document.querySelector('#formular .uebernehmen').disabled"), false);
    EXPECT_TRUE(phone.evaluate("document.documentElement.scrollWidth <= 360").get<bool>());
    phone.screenshot(360, REEF_SCREENSHOT_DIR "/form-360.png");

    phone.evaluate("document.querySelector('#formular .uebernehmen').click(); true");
    const auto sent = std::chrono::steady_clock::now();
    const std::string deskEnemyRows = "document.querySelectorAll('#liste-Reef_Enemy tbody "
                                      "tr[data-id]').length";
    EXPECT_TRUE(desk.waitFor(deskEnemyRows + " === 1", std::chrono::seconds(2)))
        << "the other page shows the new entry within 2 s";
    std::printf("the entry appeared on the other page %.2f s after the click\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count());
    ASSERT_TRUE(phone.waitFor("!document.getElementById('formular')"))
        << phone.evaluate("document.getElementById('formular-meldung').textContent");
    // The program reads what the form sent: trimmed, digits only, times on the tick.
    std::vector<std::vector<std::string>> stored = download("Reef_Enemy");
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0][Name], "Hai");
    EXPECT_EQ(stored[0][Allianz], "Haie");
    EXPECT_EQ(stored[0][Punkte], "1234");
    EXPECT_EQ(stored[0][Schiffe], "500");
    EXPECT_EQ(stored[0][Modus], "2");
    EXPECT_EQ(stored[0][Hilfe], "0");
    EXPECT_EQ(stored[0][ZielZeit], std::to_string(impact));
    EXPECT_EQ(stored[0][BasisZeit], std::to_string(back));
    EXPECT_EQ(stored[0][Von], "Bert");

    // Without the event stream the minute's poll would bring it.
    ASSERT_TRUE(desk.waitFor(deskEnemyRows + " === 1", std::chrono::seconds(75)));
    EXPECT_EQ(desk.evaluate("window.sameDocument"), true) << "without reloading";

    // The phone was told, with the chat alert's text; the desk, which allowed nothing, not.
    const bool told = phone.waitFor("window.raised.length === 1", std::chrono::seconds(5));
    EXPECT_TRUE(told) << "no notification";
    EXPECT_EQ(desk.evaluate("'raised' in window"), false);
    ASSERT_TRUE(phone.waitFor("document.querySelector('#liste-Reef_Enemy .karte') !== null"));
    if (told) {
        EXPECT_EQ(phone.evaluate("window.raised[0].title"), "Reef - Tools");
        EXPECT_EQ(phone.evaluate("window.raised[0].body"),
                  "Neue gegnerische Flotte: Hai \xE2\x86\x92 Anna");
        // A tap on it brings the entry forward, opened and marked.
        phone.evaluate("window.raised[0].onclick(); true");
        EXPECT_TRUE(phone.waitFor(
            "document.querySelector('#liste-Reef_Enemy .karte.hervorgehoben.offen') !== null"));
        EXPECT_EQ(phone.evaluate("window.raised[0].closed"), true);
    } else {
        phone.evaluate("document.querySelector('#liste-Reef_Enemy .karte-kopf').click(); true");
    }
    EXPECT_TRUE(phone.evaluate("document.documentElement.scrollWidth <= 360").get<bool>());
    // Every field of the opened card, named as the list's columns.
    EXPECT_EQ(phone.evaluate("[...document.querySelectorAll('#liste-Reef_Enemy .karte.offen "
                             "dd')].map(d => d.textContent).slice(0, 11)"),
              nlohmann::json({"OK", "Hai", "Haie", "1:2:3", "1.234", "500", "Angreifen", "Anna",
                              "Korallen", "4:5:6", "n/a"}));
    EXPECT_EQ(phone.evaluate("document.querySelector('#liste-Reef_Enemy .karte-ziel').textContent"),
              "greift Anna an");
    phone.screenshot(360, REEF_SCREENSHOT_DIR "/card-360.png");

    phone.evaluate("window.onlyThroughWorker = true");

    // The change form, opened from the card, holds the entry as the list shows it.
    phone.evaluate("document.querySelector('#liste-Reef_Enemy .karte-aendern').click(); true");
    ASSERT_TRUE(phone.waitFor("document.getElementById('formular')"));
    EXPECT_EQ(phone.evaluate("document.getElementById('formular-titel').textContent"),
              "Gegnerische Flotten - Eintrag \xC3\xA4"
              "ndern");
    EXPECT_EQ(phone.evaluate("['Name', 'Allianz', 'Basis', 'Punkte', 'Schiffe', 'Modus', "
                             "'ZielName', 'ZielAllianz', 'ZielBasis', 'ZielPunkte', 'ZielZeit', "
                             "'BasisZeit', 'Von', 'Hilfe'].map(f => document.getElementById("
                             "'feld-' + f).value)"),
              nlohmann::json({"Hai", "Haie", "1:2:3", "1.234", "500", "2", "Anna", "Korallen",
                              "4:5:6", "", clock(impact), clock(back), "Bert", "0"}));
    phone.evaluate(pick("Hilfe", 3));
    phone.evaluate(typeInto("Schiffe", "650"));
    phone.evaluate("document.querySelector('#formular .uebernehmen').click(); true");
    const std::string deskCell = "document.querySelector('#liste-Reef_Enemy tbody tr[data-id]')";
    EXPECT_TRUE(
        desk.waitFor(deskCell + ".children[5].textContent === '650'", std::chrono::seconds(2)));
    ASSERT_TRUE(
        desk.waitFor(deskCell + ".children[5].textContent === '650'", std::chrono::seconds(75)));
    EXPECT_EQ(desk.evaluate(deskCell + ".children[0].textContent"), "Achtung");
    stored = download("Reef_Enemy");
    ASSERT_EQ(stored.size(), 1u) << "changed in place";
    EXPECT_EQ(stored[0][Schiffe], "650");
    EXPECT_EQ(stored[0][Hilfe], "3");
    EXPECT_EQ(stored[0][ZielZeit], std::to_string(impact));
    // This time the browser takes notifications only from the page's service worker.
    std::string shownByWorker;
    for (int i = 0; i < 100 && shownByWorker.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        shownByWorker = phone
                            .evaluate("navigator.serviceWorker.getRegistration().then(r => r ? "
                                      "r.getNotifications() : []).then(ns => ns.map(n => n.body)"
                                      ".join('|'))")
                            .get<std::string>();
    }
    EXPECT_EQ(shownByWorker, "Gegnerische Flotten: Achtung bei Anna\nAnna weis noch nichts vom "
                             "Angriff und wird wohl seine Flotte verlieren. (Eingetragen von "
                             "Bert)");
    EXPECT_EQ(phone.evaluate("window.raised.length"), 1);
    // A click on the worker's notification opens the entry's card on the page again.
    ASSERT_TRUE(phone.waitFor("!document.getElementById('formular')"));
    phone.evaluate("document.querySelector('#liste-Reef_Enemy .karte-kopf').click(); true");
    ASSERT_TRUE(phone.waitFor("document.querySelector('#liste-Reef_Enemy .karte.offen') === null"));
    EXPECT_EQ(phone.evaluateInWorker(
                  "self.registration.getNotifications().then(shown => { self.dispatchEvent(new "
                  "NotificationEvent('notificationclick', {notification: shown[0]})); return "
                  "shown.length; })"),
              1);
    EXPECT_TRUE(phone.waitFor("document.querySelector('#liste-Reef_Enemy .karte.offen') !== null"));
    desk.screenshot(1280, REEF_SCREENSHOT_DIR "/lists-live-1280.png");

    // A value the server refuses is shown at its field; the form stays as typed.
    phone.evaluate("document.getElementById('neu-Reef_Frend').click(); true");
    ASSERT_TRUE(phone.waitFor("document.getElementById('formular')"));
    EXPECT_EQ(phone.evaluate(fieldValue("Name")), "Bert") << "the member's name, remembered";
    for (const auto& [field, text] :
         std::vector<std::pair<std::string, std::string>>{{"Basis", "9:9:9"},
                                                          {"Schiffe", "10"},
                                                          {"ZielName", "B\xC3\xB6"
                                                                       "se|>Flotte"},
                                                          {"ZielBasis", "1:1:1"},
                                                          {"BasisZeit", clock(back)}})
        phone.evaluate(typeInto(field, text));
    phone.evaluate("document.querySelector('#formular .uebernehmen').click(); true");
    ASSERT_TRUE(phone.waitFor("document.getElementById('fehler-ZielName').textContent !== ''"));
    EXPECT_EQ(phone.evaluate("document.getElementById('feld-ZielName').getAttribute("
                             "'aria-invalid')"),
              "true");
    EXPECT_NE(phone.evaluate("document.getElementById('formular-meldung').textContent"), "");
    EXPECT_EQ(phone.evaluate(fieldValue("ZielName")), "B\xC3\xB6"
                                                      "se|>Flotte");
    EXPECT_EQ(phone.evaluate("document.querySelector('#formular .uebernehmen').disabled"), false)
        << "to be corrected and sent again";
    EXPECT_TRUE(download("Reef_Frend").empty());
    phone.screenshot(360, REEF_SCREENSHOT_DIR "/form-refused-360.png");
    phone.setViewport(1280, 800);
    phone.screenshot(1280, REEF_SCREENSHOT_DIR "/form-1280.png");
    phone.evaluate("document.querySelector('#formular .abbrechen').click(); true");
    EXPECT_TRUE(phone.waitFor("!document.getElementById('formular')"));
    EXPECT_EQ(phone.evaluate("document.getElementById('status').textContent"),
              "Status: Abgebrochen");
}

// A form sent with the token of a session that is no longer the browser's gets a fresh token
// and goes once more. Past the write budget, which the page shares with the program's requests
// from the same address, the form stays as typed and says why.
TEST_F(WebBrowserTest, AnEntryWithAnOldTokenIsSentAgainAndOnePastTheBudgetKeepsTheForm) {
    startServer({"--writes-per-minute", "3"});
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Erster")), "ready");
    ASSERT_EQ(submit("Reef_Frend", "New", alliedEntry("Zweiter")), "ready");
    openLists();
    auto fillForm = [this](const std::string& name) {
        browser_->evaluate("document.getElementById('neu-Reef_Frend').click(); true");
        ASSERT_TRUE(browser_->waitFor("document.getElementById('formular')"));
        for (const auto& [field, text] :
             std::vector<std::pair<std::string, std::string>>{{"Name", name},
                                                              {"Basis", "1:1:1"},
                                                              {"Schiffe", "5"},
                                                              {"ZielName", "Otto"},
                                                              {"ZielBasis", "2:2:2"},
                                                              {"BasisZeit", "12:00"}})
            browser_->evaluate(typeInto(field, text));
    };
    fillForm("Dritter");
    // Another login in the same browser: the cookie now names a new session.
    ASSERT_EQ(browser_->evaluate("fetch('/login', {method: 'POST', redirect: 'manual', body: "
                                 "new URLSearchParams({passwort: " +
                                 nlohmann::json(kPassword).dump() + "})}).then(a => a.type)"),
              "opaqueredirect");
    browser_->evaluate("document.querySelector('#formular .uebernehmen').click(); true");
    ASSERT_TRUE(browser_->waitFor("!document.getElementById('formular')"))
        << browser_->evaluate("document.getElementById('formular-meldung').textContent");
    EXPECT_EQ(download("Reef_Frend").size(), 3u);
    EXPECT_NE(server_->log().find("web: new entry without the session's X-Reef-Csrf"),
              std::string::npos)
        << "the first try was refused";

    fillForm("Vierter");
    browser_->evaluate("document.querySelector('#formular .uebernehmen').click(); true");
    ASSERT_TRUE(browser_->waitFor("document.getElementById('formular-meldung').textContent"));
    EXPECT_EQ(reef::text::utf8ToCp1252(
                  browser_->evaluate("document.getElementById('formular-meldung').textContent")
                      .get<std::string>()),
              "Zu viele Eintr\xE4ge in kurzer Zeit. Bitte warte einen Moment und versuche es "
              "dann noch einmal.");
    EXPECT_EQ(browser_->evaluate(fieldValue("Name")), "Vierter");
    EXPECT_EQ(browser_->evaluate("document.querySelector('#formular .uebernehmen').disabled"),
              false);
    EXPECT_EQ(download("Reef_Frend").size(), 3u);
}

// Whatever comes back as the lists, the page shows nothing but text, throws nothing and keeps
// the entries that have the fields it reads.
TEST_F(WebBrowserTest, HostileListsAreShownAsTextOrLeftOut) {
    // The page's fetch of the lists answers with window.nextLists while it is set.
    browser_->call("Page.addScriptToEvaluateOnNewDocument", {{"source", R"JS(
window.failures = [];
window.addEventListener("error", function (e) { window.failures.push(String(e.message)); });
window.addEventListener("unhandledrejection", function (e) {
  window.failures.push(String(e.reason));
});
(function () {
  var real = window.fetch;
  window.fetch = function (path, options) {
    if (path === "/api/lists" && typeof window.nextLists === "string") {
      return Promise.resolve(new Response(window.nextLists,
          {status: 200, headers: {"Content-Type": "application/json"}}));
    }
    return real.call(window, path, options);
  };
})();
)JS"}});
    openLists();
    const nlohmann::json good = {
        {"id", 7},         {"Hilfe", 1},          {"Name", "Gut"},     {"Allianz", ""},
        {"Basis", "1"},    {"Punkte", "0"},       {"Schiffe", 3},      {"Modus", 2},
        {"ZielName", "Z"}, {"ZielAllianz", ""},   {"ZielBasis", "2"},  {"ZielPunkte", "12"},
        {"Von", ""},       {"ZielZeit", nullptr}, {"BasisZeit", 3600}, {"UpdateZeit", 0}};
    auto with = [&good](const std::string& field, nlohmann::json value) {
        nlohmann::json entry = good;
        entry["id"] = 8;
        entry[field] = std::move(value);
        return entry;
    };
    const std::string markup =
        "<img src=x onerror=\"window.boom=1\"><script>window.boom=2</script>";
    struct HostileCase {
        std::string body;
        int shown; // rows of the allied list afterwards; -1: the lists before stay
    };
    const auto lists = [](nlohmann::json allied) {
        return nlohmann::json{{"csrf", "x"}, {"lists", {{"Reef_Frend", allied}, {"Reef_Enemy", 7}}}}
            .dump();
    };
    const std::vector<HostileCase> cases = {
        {"nicht JSON", -1},
        {"[]", -1},
        {"{\"lists\": null}", -1},
        {lists(nlohmann::json::array({good, with("Name", markup)})), 2},
        {lists(nlohmann::json::array({good, with("Name", {{"a", 1}})})), 1},
        {lists(nlohmann::json::array({good, with("id", "8")})), 1},
        {lists(nlohmann::json::array({good, with("id", -3)})), 1},
        {lists(nlohmann::json::array({good, with("ZielZeit", "12:00")})), 1},
        {lists(nlohmann::json::array({good, with("Hilfe", 99)})), 2},
        {lists(nlohmann::json::array({good, with("Modus", -1)})), 2},
        {lists(nlohmann::json::array({good, with("BasisZeit", 1e12)})), 2},
        {lists(nlohmann::json::array({good, with("UpdateZeit", -5)})), 2},
        {lists(nlohmann::json::array({good, with("Punkte", markup)})), 2},
        {lists(nlohmann::json::array({good, with("Von", nullptr)})), 1},
        {lists(nlohmann::json::array({good, nullptr, 5, "x"})), 1},
        {lists({{"__proto__", good}}), 0},
    };
    const std::string rows =
        "document.querySelectorAll('#liste-Reef_Frend tbody tr[data-id]').length";
    for (const HostileCase& c : cases) {
        browser_->evaluate("window.nextLists = " + nlohmann::json(lists({good})).dump() +
                           "; document.getElementById('laden-Reef_Frend').click(); true");
        ASSERT_TRUE(browser_->waitFor(rows + " === 1"));
        browser_->evaluate("document.getElementById('status').textContent = ''; window.nextLists "
                           "= " +
                           nlohmann::json(c.body).dump() +
                           "; document.getElementById('laden-Reef_Frend').click(); true");
        ASSERT_TRUE(browser_->waitFor(
            "['Status: Fertig!', 'Status: Fehler!'].includes(document.getElementById('status')"
            ".textContent)"))
            << c.body;
        EXPECT_EQ(browser_->evaluate(rows), c.shown < 0 ? 1 : c.shown) << c.body;
        EXPECT_EQ(browser_->evaluate("document.querySelectorAll('.liste img, .liste script')"
                                     ".length"),
                  0)
            << c.body;
        // Every entry shown opens in the change form without a fault.
        browser_->evaluate("[...document.querySelectorAll('#liste-Reef_Frend .karte-aendern')]"
                           ".forEach(b => { b.click(); document.querySelector('#formular "
                           ".abbrechen').click(); }); true");
    }
    EXPECT_EQ(browser_->evaluate("window.failures"), nlohmann::json::array());
    EXPECT_EQ(browser_->evaluate("window.boom === undefined"), true);
}

} // namespace
