// The texts of the browser page: Windows-1252 in UTF-8, escaping, form and cookie values.

#include "listserver/web/web_site.h"
#include "listserver/web/web_text.h"
#include "text/cp1252.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace reef::listserver;

namespace {

TEST(WebText, EveryWindows1252ByteBecomesTheSameCharacterAsInTheProgram) {
    // Through the page's own path, the lists as JSON: every byte a member can send reads back,
    // by the desktop program's reader of UTF-8, as that very byte.
    FleetEntry every;
    for (int byte = 1; byte < 256; ++byte)
        every.Name.push_back(static_cast<char>(byte));
    FleetEntry sample;
    sample.Name = "\x80 Gr\xFC\xDF"
                  "e";
    const nlohmann::json lists =
        nlohmann::json::parse(listsJson({{every, sample}, std::nullopt, {7, 9}}, {}));
    EXPECT_EQ(lists["lists"]["Reef_Frend"][1]["id"], 9);
    const std::string shown = lists["lists"]["Reef_Frend"][0]["Name"];
    EXPECT_EQ(reef::text::utf8ToCp1252(shown), every.Name);
    EXPECT_EQ(lists["lists"]["Reef_Frend"][1]["Name"], "\xE2\x82\xAC Gr\xC3\xBC\xC3\x9F"
                                                       "e");
}

TEST(WebText, HtmlEscapeLeavesNoMarkup) {
    const std::pair<const char*, const char*> cases[] = {
        {"Anna", "Anna"},
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a & b", "a &amp; b"},
        {"\"x\" 'y'", "&quot;x&quot; &#39;y&#39;"},
        {"&amp;", "&amp;amp;"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(htmlEscape(in), out) << in;
}

TEST(WebText, JsonStringEscapesQuotesControlsAndMarkup) {
    const std::pair<std::string, std::string> cases[] = {
        {"Anna", "\"Anna\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"back\\slash", "\"back\\\\slash\""},
        {"</script>", "\"\\u003c/script\\u003e\""},
        {"a&b", "\"a\\u0026b\""},
        {std::string("tab\tnew\nnul") + '\0', "\"tab\\u0009new\\u000anul\\u0000\""},
        {"\x7f", "\"\\u007f\""},
        {"\xC3\xA4", "\"\xC3\xA4\""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(jsonString(in), out) << in;
}

TEST(WebText, FormFieldDecodesPlusAndPercentAndTakesTheFirst) {
    struct Case {
        const char* body;
        const char* value;
        bool found;
    };
    const Case cases[] = {
        {"passwort=geheim", "geheim", true},
        {"a=1&passwort=mit+Leer%20zeichen%26%3D", "mit Leer zeichen&=", true},
        {"passwort=eins&passwort=zwei", "eins", true},
        {"passwort", "", true},
        {"passwort=", "", true},
        {"pass%77ort=x", "x", true},
        {"kennwort=x", "", false},
        {"", "", false},
        {"passwort=%zz%4", "%zz%4", true},
    };
    for (const Case& c : cases) {
        bool found = !c.found;
        EXPECT_EQ(formField(c.body, "passwort", &found), c.value) << c.body;
        EXPECT_EQ(found, c.found) << c.body;
    }
}

TEST(WebText, CookieValueFindsTheNamedCookieOnly) {
    EXPECT_EQ(cookieValue("reef_sitzung=abc", "reef_sitzung"), "abc");
    EXPECT_EQ(cookieValue("x=1; reef_sitzung=abc; y=2", "reef_sitzung"), "abc");
    EXPECT_EQ(cookieValue("xreef_sitzung=abc", "reef_sitzung"), "");
    EXPECT_EQ(cookieValue("reef_sitzungx=abc", "reef_sitzung"), "");
    EXPECT_EQ(cookieValue("", "reef_sitzung"), "");
}

} // namespace
