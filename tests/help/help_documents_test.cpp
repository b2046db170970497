#include "help/help_documents.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace reef::help {
namespace {

const HelpDocument kAllDocuments[] = {HelpDocument::Readme, HelpDocument::AlliedStatuses,
                                      HelpDocument::EnemyStatuses};

std::string repeated(std::string_view piece, int times, std::string_view separator = {}) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        if (i > 0) {
            text += separator;
        }
        text += piece;
    }
    return text;
}

const std::string kRuleA = " " + repeated("-:", 30) + "-";
const std::string kRuleB = " " + repeated("{|}", 15, "-");

std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        lines.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return lines;
        }
        start = end + 2;
    }
}

std::vector<std::string> bodyLines(HelpDocument document) {
    std::vector<std::string> lines = linesOf(helpDocumentText(document));
    lines.erase(lines.begin(), lines.begin() + 17);
    return lines;
}

// One letter per line after the header: H heading, B body, E empty, R rule A.
std::string shapeOf(const std::vector<std::string>& lines) {
    std::string shape;
    for (const std::string& line : lines) {
        if (line.empty()) {
            shape += 'E';
        } else if (line == kRuleA) {
            shape += 'R';
        } else if (line.rfind("- ", 0) == 0) {
            shape += 'H';
        } else {
            shape += 'B';
        }
    }
    return shape;
}

std::vector<std::string> headingsOf(const std::vector<std::string>& lines) {
    std::vector<std::string> headings;
    for (const std::string& line : lines) {
        if (line.rfind("- ", 0) == 0) {
            headings.push_back(line);
        }
    }
    return headings;
}

std::string expectedSubtitle(HelpDocument document) {
    switch (document) {
    case HelpDocument::Readme:
        return "      \t\tHilfe/ Erkl\xE4rung zu allen Funktion";
    case HelpDocument::AlliedStatuses:
        return "      Bedeutung der Hilfestaten bei der Verb\xFCndetenliste";
    case HelpDocument::EnemyStatuses:
        return "      Bedeutung der Hilfestaten bei der Gegnerliste";
    }
    return {};
}

TEST(HelpDocuments, FileNames) {
    EXPECT_EQ(helpDocumentFileName(HelpDocument::Readme), "Readme.txt");
    EXPECT_EQ(helpDocumentFileName(HelpDocument::AlliedStatuses), "HilfeFrend.txt");
    EXPECT_EQ(helpDocumentFileName(HelpDocument::EnemyStatuses), "HilfeEnemy.txt");
}

TEST(HelpDocuments, HeaderBlockIsExact) {
    for (HelpDocument document : kAllDocuments) {
        SCOPED_TRACE(std::string(helpDocumentFileName(document)));
        const std::vector<std::string> lines = linesOf(helpDocumentText(document));
        ASSERT_GT(lines.size(), 17u);
        const std::vector<std::string> header(lines.begin(), lines.begin() + 17);
        const std::vector<std::string> expected = {
            kRuleA,
            "",
            "           Korallin:",
            "                        Toolsammlung",
            "",
            kRuleB,
            "",
            "",
            header[8], // the notice line, checked below
            "",
            "",
            kRuleB,
            "",
            expectedSubtitle(document),
            "",
            kRuleA,
            "",
        };
        EXPECT_EQ(header, expected);
        const std::string& notice = header[8];
        const std::string version = "\t\tVersion: 0.2.3.5";
        ASSERT_GT(notice.size(), 4 + version.size());
        EXPECT_EQ(notice.substr(0, 4), "    ");
        EXPECT_NE(notice[4], ' ');
        EXPECT_EQ(notice.substr(notice.size() - version.size()), version);
        EXPECT_EQ(notice.find('\t'), notice.size() - version.size());
    }
}

TEST(HelpDocuments, AllShareOneHeaderExceptTheSubtitle) {
    std::vector<std::string> readme = linesOf(helpDocumentText(HelpDocument::Readme));
    std::vector<std::string> allied = linesOf(helpDocumentText(HelpDocument::AlliedStatuses));
    std::vector<std::string> enemy = linesOf(helpDocumentText(HelpDocument::EnemyStatuses));
    for (std::size_t i = 0; i < 17; ++i) {
        if (i == 13) {
            continue;
        }
        EXPECT_EQ(readme[i], allied[i]) << "line " << i + 1;
        EXPECT_EQ(readme[i], enemy[i]) << "line " << i + 1;
    }
}

TEST(HelpDocuments, LinesEndWithCrLfAndTheLastHasNoLineEnd) {
    for (HelpDocument document : kAllDocuments) {
        SCOPED_TRACE(std::string(helpDocumentFileName(document)));
        const std::string_view text = helpDocumentText(document);
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.back(), '\n');
        EXPECT_NE(text.back(), '\r');
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "lone CR at " << i;
            } else if (text[i] == '\n') {
                ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "lone LF at " << i;
            }
        }
        EXPECT_EQ(text.find('\0'), std::string_view::npos);
    }
}

TEST(HelpDocuments, TextIsWindows1252) {
    for (HelpDocument document : kAllDocuments) {
        SCOPED_TRACE(std::string(helpDocumentFileName(document)));
        const std::string_view text = helpDocumentText(document);
        // UTF-8 umlauts would start with 0xC3; the German text needs none of these letters.
        EXPECT_EQ(text.find('\xC3'), std::string_view::npos);
    }
    EXPECT_NE(helpDocumentText(HelpDocument::Readme).find("Flottenverh\xE4ltnis"),
              std::string_view::npos);
}

TEST(HelpDocuments, ReadmeSectionsInOrder) {
    const std::vector<std::string> lines = bodyLines(HelpDocument::Readme);
    EXPECT_EQ(headingsOf(lines), (std::vector<std::string>{
                                     "- \"ETA-Plan\"",
                                     "- \"Flottenverh\xE4ltnis\"",
                                     "- \"Attgrenze\"",
                                     "- \"Gegnerische/ Verb\xFCndete Flotte\"",
                                     "- Proxy",
                                     "- Abschlie\xDF"
                                     "endes",
                                 }));
}

TEST(HelpDocuments, ReadmeBlankLineStructure) {
    const std::string shape = shapeOf(bodyLines(HelpDocument::Readme));
    // Sections 1 to 3 followed by two empty lines; the fleet list section of five
    // paragraphs; one empty line, rule, one empty line; Proxy and two empty lines; the last
    // section ends the document.
    EXPECT_TRUE(std::regex_match(shape, std::regex("HB+EEHB+EEHB+EEHBEBEBEBEBEREHB+EEHB+")))
        << shape;
    EXPECT_EQ(linesOf(helpDocumentText(HelpDocument::Readme)).size(), 17u + shape.size());
    EXPECT_EQ(linesOf(helpDocumentText(HelpDocument::Readme)).size(), 50u);
}

TEST(HelpDocuments, AlliedStatusSectionsAreTheCatalogueNames) {
    const std::vector<std::string> lines = bodyLines(HelpDocument::AlliedStatuses);
    EXPECT_EQ(headingsOf(lines), (std::vector<std::string>{"- \"OK\"", "- \"Hilfe\"", "- \"Deff\"",
                                                           "- \"Ziel\"", "- \"Abbruch\""}));
    EXPECT_EQ(shapeOf(lines), "HBEEHBEHBEHBEHB");
    EXPECT_EQ(linesOf(helpDocumentText(HelpDocument::AlliedStatuses)).size(), 32u);
}

TEST(HelpDocuments, EnemyStatusSectionsAreTheCatalogueNames) {
    const std::vector<std::string> lines = bodyLines(HelpDocument::EnemyStatuses);
    EXPECT_EQ(headingsOf(lines), (std::vector<std::string>{"- \"OK\"", "- \"Hilfe\"", "- \"kann\"",
                                                           "- \"Achtung\"", "- \"gedefft\""}));
    EXPECT_EQ(shapeOf(lines), "HBEEHBEHBEHBEHB");
    EXPECT_EQ(linesOf(helpDocumentText(HelpDocument::EnemyStatuses)).size(), 32u);
}

TEST(HelpDocuments, BodyLinesAreWholeParagraphsWithoutStrayBlanks) {
    for (HelpDocument document : kAllDocuments) {
        SCOPED_TRACE(std::string(helpDocumentFileName(document)));
        for (const std::string& line : bodyLines(document)) {
            if (line.empty() || line == kRuleA) {
                continue;
            }
            EXPECT_NE(line.front(), ' ') << line;
            EXPECT_NE(line.back(), ' ') << line;
            EXPECT_EQ(line.find('\t'), std::string::npos) << line;
            EXPECT_EQ(line.find("  "), std::string::npos) << line;
        }
    }
}

} // namespace
} // namespace reef::help
