#include "listserver/core/entry.h"

#include "wire/list_format.h"

#include <charconv>
#include <limits>

namespace reef::listserver {

std::optional<ListKind> listKindOf(std::string_view identifier) {
    if (identifier == "Reef_Frend")
        return ListKind::Allied;
    if (identifier == "Reef_Enemy")
        return ListKind::Enemy;
    return std::nullopt;
}

FleetEntry EntryPatch::appliedTo(FleetEntry entry) const {
    auto take = [](auto& field, const auto& value) {
        if (value)
            field = *value;
    };
    take(entry.Hilfe, Hilfe);
    take(entry.Name, Name);
    take(entry.Allianz, Allianz);
    take(entry.Basis, Basis);
    take(entry.Punkte, Punkte);
    take(entry.Schiffe, Schiffe);
    take(entry.Modus, Modus);
    take(entry.ZielName, ZielName);
    take(entry.ZielAllianz, ZielAllianz);
    take(entry.ZielBasis, ZielBasis);
    take(entry.ZielPunkte, ZielPunkte);
    take(entry.Von, Von);
    take(entry.ZielZeit, ZielZeit);
    take(entry.BasisZeit, BasisZeit);
    return entry;
}

FleetEntry EntryPatch::replacing(const FleetEntry& stored) const {
    FleetEntry entry = appliedTo(FleetEntry{});
    if (!Hilfe)
        entry.Hilfe = stored.Hilfe;
    return entry;
}

namespace {

// A value that would break the record framing of a download, or a line of the cache files
// the desktop program writes, is refused. The end marker is refused too: arriving at the end
// of a received block it would make the desktop program take a cut-off list as complete.
std::optional<Rejection> valueFault(std::string_view key, std::string_view value) {
    using Fault = Rejection::Fault;
    auto refused = [key](const char* what, Fault fault) {
        return Rejection{std::string(key) + " " + what, std::string(key), fault};
    };
    if (value.size() > kMaxValueBytes)
        return refused("longer than 100 bytes", Fault::TooLong);
    if (value.find("|>") != std::string_view::npos || value.find("<|") != std::string_view::npos)
        return refused("contains a field marker", Fault::Marker);
    if (value.find(wire::kEndMarker) != std::string_view::npos)
        return refused("contains the end marker", Fault::Marker);
    if (!wire::readsBackAsItself(value))
        return refused("would not read back as sent", Fault::Marker);
    // Control bytes break the cache files' lines (CR, LF), cut the text (NUL) or hide in the
    // list (DEL after a name looks like the name alone).
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7f)
            return refused("contains a control character", Fault::Control);
    return std::nullopt;
}

// Digits only: the desktop program sends every number without a sign (a choice left empty,
// -1, is refused as out of range anyway).
template <typename Int> std::optional<Int> strictInteger(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    Int value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

struct Reader {
    using Fault = Rejection::Fault;
    const QueryValues& query;
    std::optional<Rejection> fault;

    const std::string* raw(std::string_view key) {
        auto it = query.find(key);
        if (it == query.end())
            return nullptr;
        if (!fault) {
            fault = valueFault(key, it->second);
            if (fault)
                return nullptr;
        }
        return &it->second;
    }

    void fail(std::string_view key, const std::string& what, Fault kind) {
        if (!fault)
            fault = Rejection{std::string(key) + " " + what, std::string(key), kind};
    }

    std::optional<std::string> text(std::string_view key, bool required) {
        const std::string* value = raw(key);
        if (required && (!value || value->empty())) {
            fail(key, "missing", Fault::Missing);
            return std::nullopt;
        }
        if (!value)
            return std::nullopt;
        return *value;
    }

    // A count that the desktop program sends as its digits, empty when none were typed.
    template <typename Int> std::optional<Int> count(std::string_view key) {
        const std::string* value = raw(key);
        if (!value)
            return std::nullopt;
        if (value->empty())
            return Int{0};
        auto number = strictInteger<Int>(*value);
        if (!number)
            fail(key, "not a number", Fault::NotNumber);
        return number;
    }

    std::optional<int> code(std::string_view key, int highest) {
        const std::string* value = raw(key);
        if (!value)
            return std::nullopt;
        auto number = strictInteger<int>(*value);
        if (!number || *number < 0 || *number > highest) {
            fail(key, "outside 0.." + std::to_string(highest), Fault::OutOfRange);
            return std::nullopt;
        }
        return number;
    }

    std::optional<std::int32_t> clockTime(std::string_view key, bool required) {
        const std::string* value = raw(key);
        if (!value || value->empty()) {
            if (required)
                fail(key, "missing", Fault::Missing);
            return std::nullopt;
        }
        auto number = strictInteger<std::int32_t>(*value);
        if (!number || *number < 0 || *number > kLastSecondOfDay) {
            fail(key, "outside 0..86399", Fault::OutOfRange);
            return std::nullopt;
        }
        return number;
    }
};

} // namespace

std::variant<EntryPatch, Rejection> readEntryPatch(const QueryValues& query, ListKind kind) {
    Reader in{query, std::nullopt};
    EntryPatch patch;
    patch.Hilfe = in.code("Hilfe", 5);
    patch.Name = in.text("Name", true);
    patch.Allianz = in.text("Allianz", false);
    patch.Basis = in.text("Basis", true);
    patch.Punkte = in.count<std::int64_t>("Punkte");
    patch.Schiffe = in.count<std::int32_t>("Schiffe");
    patch.Modus = in.code("Modus", 2);
    patch.ZielName = in.text("ZielName", true);
    patch.ZielAllianz = in.text("ZielAllianz", false);
    patch.ZielBasis = in.text("ZielBasis", true);
    patch.ZielPunkte = in.count<std::int64_t>("ZielPunkte");
    patch.Von = in.text("Von", kind == ListKind::Enemy);
    if (query.contains("ZielZeit"))
        patch.ZielZeit = in.clockTime("ZielZeit", false);
    patch.BasisZeit = in.clockTime("BasisZeit", true);
    if (in.fault)
        return *in.fault;
    return patch;
}

std::variant<ChangeKey, Rejection> readChangeKey(const QueryValues& query) {
    Reader in{query, std::nullopt};
    ChangeKey key;
    const std::string* idw = in.raw("IDW");
    const std::string* basisZeitW = in.raw("BasisZeitW");
    if (in.fault)
        return *in.fault;
    if (!idw || !basisZeitW)
        return Rejection{"IDW or BasisZeitW missing", "IDW", Rejection::Fault::Missing};
    auto length = strictInteger<std::int64_t>(*idw);
    auto time = strictInteger<std::int32_t>(*basisZeitW);
    if (!length || *length < 0)
        return Rejection{"IDW not a length", "IDW", Rejection::Fault::NotNumber};
    if (!time || *time < 0 || *time > kLastSecondOfDay)
        return Rejection{"BasisZeitW outside 0..86399", "BasisZeitW", Rejection::Fault::OutOfRange};
    key.nameLength = *length;
    key.basisZeit = *time;
    return key;
}

std::optional<std::size_t> pickEntryToChange(const std::vector<FleetEntry>& candidates,
                                             std::string_view newName) {
    if (candidates.size() == 1)
        return 0;
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].Name != newName)
            continue;
        if (found)
            return std::nullopt;
        found = i;
    }
    return found;
}

namespace {

// The decimal text of a number, kept in place while a record is written.
class Decimal {
  public:
    explicit Decimal(std::int64_t value) {
        auto [end, error] = std::to_chars(digits_, digits_ + sizeof digits_, value);
        (void)error; // 24 bytes hold every 64-bit value
        size_ = static_cast<std::size_t>(end - digits_);
    }
    std::string_view text() const { return {digits_, size_}; }

  private:
    char digits_[24];
    std::size_t size_ = 0;
};

} // namespace

void appendRecord(std::string& body, const FleetEntry& entry) {
    const Decimal hilfe(entry.Hilfe), punkte(entry.Punkte), schiffe(entry.Schiffe),
        modus(entry.Modus), zielPunkte(entry.ZielPunkte), zielZeit(entry.ZielZeit.value_or(0)),
        basisZeit(entry.BasisZeit), updateZeit(entry.UpdateZeit);
    wire::appendRecord(body, {hilfe.text(), entry.Name, entry.Allianz, entry.Basis, punkte.text(),
                              schiffe.text(), modus.text(), entry.ZielName, entry.ZielAllianz,
                              entry.ZielBasis, zielPunkte.text(), entry.Von,
                              entry.ZielZeit ? zielZeit.text() : std::string_view(),
                              basisZeit.text(), updateZeit.text()});
}

std::string listBody(const std::vector<FleetEntry>& entries) {
    std::string body;
    body.reserve(wire::kListMarker.size() + wire::kEndMarker.size() + entries.size() * 160);
    body += wire::kListMarker;
    for (const FleetEntry& entry : entries)
        appendRecord(body, entry);
    body += wire::kEndMarker;
    return body;
}

} // namespace reef::listserver
