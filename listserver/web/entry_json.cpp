#include "listserver/web/entry_json.h"

#include "text/cp1252.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace reef::listserver {

namespace {

using nlohmann::json;
using Fault = Rejection::Fault;

constexpr std::int32_t kTickSeconds = 1200;

enum class Form {
    Text,  // trimmed, inner blanks as "_", Windows-1252
    Count, // digits (the points may come grouped with ".")
    Code,  // a choice: help code or mission
    Time,  // seconds since midnight or "hh:mm", snapped to the tick
};

struct FieldRule {
    std::string_view name;
    std::string_view label;
    Form form;
};

constexpr std::array kFields = {
    FieldRule{"Hilfe", "Hilfe-/ Status", Form::Code},
    FieldRule{"Name", "Name", Form::Text},
    FieldRule{"Allianz", "Allianz", Form::Text},
    FieldRule{"Basis", "Basis", Form::Text},
    FieldRule{"Punkte", "Punkte", Form::Count},
    FieldRule{"Schiffe", "Schiffe", Form::Count},
    FieldRule{"Modus", "Auftrag", Form::Code},
    FieldRule{"ZielName", "Ziel Name", Form::Text},
    FieldRule{"ZielAllianz", "Ziel Allianz", Form::Text},
    FieldRule{"ZielBasis", "Ziel Basis", Form::Text},
    FieldRule{"ZielPunkte", "Ziel Punkte", Form::Count},
    FieldRule{"Von", "Eintragung getätigt von", Form::Text},
    FieldRule{"ZielZeit", "am Ziel", Form::Time},
    FieldRule{"BasisZeit", "Rückkehr", Form::Time},
};

// What /api/lists gives besides the fields: a client may send an entry back as it got it.
constexpr std::array<std::string_view, 2> kIgnored = {"id", "UpdateZeit"};

const FieldRule* ruleOf(std::string_view name) {
    for (const FieldRule& rule : kFields)
        if (rule.name == name)
            return &rule;
    return nullptr;
}

std::string labelled(std::string_view field) {
    return "„" + std::string(fieldLabel(field)) + "“";
}

EntryProblem problem(std::string_view field, std::string message) {
    return EntryProblem{422, std::string(field), std::move(message)};
}

// The dialogs send a text trimmed of its outer blanks, and every blank of a request goes as
// "_": the stored bytes are those.
std::optional<std::string> textValue(std::string_view field, const json& value,
                                     EntryProblem& refused) {
    if (value.is_null())
        return std::string();
    if (!value.is_string()) {
        refused = problem(field, labelled(field) + " muss ein Text sein.");
        return std::nullopt;
    }
    const std::string& utf8 = value.get_ref<const std::string&>();
    std::string bytes = text::utf8ToCp1252(utf8);
    // Nothing may be lost on the way: a character without a Windows-1252 form is refused
    // rather than stored as "?".
    if (text::cp1252ToUtf8(bytes) != utf8) {
        refused = problem(field, labelled(field) +
                                     " enthält Zeichen, die die Listen nicht speichern können "
                                     "(etwa Emojis).");
        return std::nullopt;
    }
    const std::size_t first = bytes.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    bytes = bytes.substr(first, bytes.find_last_not_of(' ') - first + 1);
    for (char& c : bytes)
        if (c == ' ')
            c = '_';
    return bytes;
}

std::optional<std::string> countValue(std::string_view field, const json& value,
                                      EntryProblem& refused) {
    if (value.is_null())
        return std::string();
    if (value.is_number_unsigned())
        return std::to_string(value.get<std::uint64_t>());
    if (value.is_string()) {
        // The points as the list shows them, "1.234.567", are the number 1234567.
        std::string digits;
        for (char c : value.get_ref<const std::string&>()) {
            if (c >= '0' && c <= '9')
                digits.push_back(c);
            else if (c != '.') {
                digits.clear();
                refused = problem(field, labelled(field) + " muss eine Zahl sein.");
                return std::nullopt;
            }
        }
        return digits;
    }
    refused = problem(field, labelled(field) + " muss eine Zahl sein.");
    return std::nullopt;
}

std::optional<std::string> codeValue(std::string_view field, const json& value,
                                     EntryProblem& refused) {
    if (value.is_number_unsigned())
        return std::to_string(value.get<std::uint64_t>());
    if (value.is_string() && !value.get_ref<const std::string&>().empty() &&
        value.get_ref<const std::string&>().find_first_not_of("0123456789") == std::string::npos)
        return value.get<std::string>();
    refused = problem(field, labelled(field) + " ist keine der Auswahlen.");
    return std::nullopt;
}

// "hh:mm" as the dialogs take it: one or two digits, ":", two digits.
std::optional<std::int32_t> clockText(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3)
        return std::nullopt;
    std::int32_t hours = 0;
    for (std::size_t i = 0; i < colon; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        hours = hours * 10 + (text[i] - '0');
    }
    const char tens = text[colon + 1];
    const char ones = text[colon + 2];
    if (tens < '0' || tens > '5' || ones < '0' || ones > '9' || hours > 23)
        return std::nullopt;
    return hours * 3600 + ((tens - '0') * 10 + (ones - '0')) * 60;
}

// Absent or null: not given (a missing return time is the service's to refuse).
std::optional<std::string> timeValue(std::string_view field, const json& value,
                                     EntryProblem& refused) {
    std::optional<std::int32_t> seconds;
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= kLastSecondOfDay)
        seconds = static_cast<std::int32_t>(value.get<std::uint64_t>());
    else if (value.is_string())
        seconds = clockText(value.get_ref<const std::string&>());
    if (!seconds) {
        refused = problem(field, labelled(field) +
                                     " ist keine Uhrzeit (Sekunden seit Mitternacht oder hh:mm).");
        return std::nullopt;
    }
    // The dialogs snap every time they accept to the tick before them.
    return std::to_string(*seconds / kTickSeconds * kTickSeconds);
}

std::optional<std::string> valueOf(const FieldRule& rule, const json& value,
                                   EntryProblem& refused) {
    switch (rule.form) {
    case Form::Text:
        return textValue(rule.name, value, refused);
    case Form::Count:
        return countValue(rule.name, value, refused);
    case Form::Code:
        return codeValue(rule.name, value, refused);
    case Form::Time:
        break;
    }
    return timeValue(rule.name, value, refused);
}

} // namespace

std::string_view fieldLabel(std::string_view field) {
    if (const FieldRule* rule = ruleOf(field))
        return rule->label;
    if (field == "list")
        return "Liste";
    return field;
}

std::variant<EntryBody, EntryProblem> readEntryBody(std::string_view text) {
    const json body = json::parse(text.begin(), text.end(), nullptr, false);
    if (body.is_discarded() || !body.is_object())
        return EntryProblem{400, "", "Die Anfrage ist kein JSON-Objekt."};
    EntryBody read;
    const auto list = body.find("list");
    const std::optional<ListKind> kind = list != body.end() && list->is_string()
                                             ? listKindOf(list->get_ref<const std::string&>())
                                             : std::nullopt;
    if (!kind)
        return problem("list", "„Liste“ muss Reef_Frend oder Reef_Enemy sein.");
    read.list = *kind;
    const auto entry = body.find("entry");
    if (entry == body.end() || !entry->is_object())
        return problem("entry", "Der Eintrag fehlt.");
    for (const auto& [name, value] : entry->items()) {
        if (std::find(kIgnored.begin(), kIgnored.end(), name) != kIgnored.end())
            continue;
        const FieldRule* rule = ruleOf(name);
        if (!rule)
            return problem(name, "Unbekanntes Feld „" + name + "“.");
        // The allied dialog has no such field, and the program never sends one there.
        if (rule->name == "Von" && read.list == ListKind::Allied)
            continue;
        // A time or a choice sent as null is left out: no impact time, or (in a change) the
        // help code kept as the program's dialog keeps it with nothing selected.
        if ((rule->form == Form::Time || rule->form == Form::Code) && value.is_null())
            continue;
        EntryProblem refused;
        std::optional<std::string> converted = valueOf(*rule, value, refused);
        if (!converted)
            return refused;
        read.values.emplace(std::string(rule->name), std::move(*converted));
    }
    // Required in the dialogs, though the program's requests may leave it out.
    const auto ships = read.values.find("Schiffe");
    if (ships == read.values.end() || ships->second.empty())
        return problem("Schiffe", "Bitte " + labelled("Schiffe") + " ausfüllen.");
    return read;
}

EntryProblem problemOf(const Rejection& rejection) {
    const std::string& field = rejection.field;
    const std::string name = labelled(field);
    switch (rejection.fault) {
    case Fault::Missing:
        return problem(field, "Bitte " + name + " ausfüllen.");
    case Fault::TooLong:
        return problem(field, name + " ist länger als 100 Zeichen.");
    case Fault::Marker:
    case Fault::Control:
        return problem(field, name + " enthält Zeichen, die die Listen nicht speichern können.");
    case Fault::NotNumber:
        return problem(field, name + " muss eine Zahl sein.");
    case Fault::OutOfRange:
        return problem(field, ruleOf(field) && ruleOf(field)->form == Form::Time
                                  ? name + " ist keine Uhrzeit."
                                  : name + " ist keine der Auswahlen.");
    case Fault::Other:
        break;
    }
    return problem(field, "Der Eintrag wurde nicht angenommen.");
}

} // namespace reef::listserver
