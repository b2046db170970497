#pragma once
// The three fixed German help texts, written into the working directory on request and opened
// in the system's text editor.

#include <string_view>

namespace reef::platform {
class Platform;
}

namespace reef::help {

enum class HelpDocument {
    Readme,         // "Readme.txt": all tools
    AlliedStatuses, // "HilfeFrend.txt": help statuses of the allied list
    EnemyStatuses,  // "HilfeEnemy.txt": help statuses of the enemy list
};

// The file name in the working directory.
std::string_view helpDocumentFileName(HelpDocument document);

// The document's bytes: CP1252, CR LF line ends, no line end after the last line.
std::string_view helpDocumentText(HelpDocument document);

// Writes the file whole and opens it in the text editor. A file that cannot be written is
// skipped silently, and then no editor starts.
void writeHelpDocument(reef::platform::Platform& platform, HelpDocument document);

} // namespace reef::help
