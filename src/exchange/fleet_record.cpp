#include "exchange/fleet_record.h"

#include "fleetlists/arrival.h"
#include "fleetlists/ticks.h"
#include "text/integer_text.h"
#include "wire/list_format.h"

#include <functional>
#include <queue>
#include <string>

namespace reef::exchange {

namespace {

using fleetlists::FleetEntry;
using wire::fieldIndex;
using wire::WireField;

std::string oneLine(std::string_view value) {
    std::string text(value);
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return text;
}

} // namespace

std::string_view parseFleetRecord(fleetlists::FleetListKind kind, std::vector<FleetEntry>& list,
                                  std::string_view text, std::int64_t localNow) {
    const auto record = wire::scanRecord(text);
    if (!record) {
        return text;
    }
    const auto value = [&record](WireField field) { return record->values[fieldIndex(field)]; };
    FleetEntry& entry = list.emplace_back();
    entry.Hilfe = static_cast<std::int8_t>(text::intValue(value(WireField::Hilfe)));
    entry.Name = oneLine(value(WireField::Name));
    entry.Allianz = oneLine(value(WireField::Allianz));
    entry.Basis = oneLine(value(WireField::Basis));
    entry.Punkte = text::int64Value(value(WireField::Punkte));
    entry.Schiffe = text::intValue(value(WireField::Schiffe));
    entry.Modus = text::intValue(value(WireField::Modus));
    entry.ZielName = oneLine(value(WireField::ZielName));
    entry.ZielAllianz = oneLine(value(WireField::ZielAllianz));
    entry.ZielBasis = oneLine(value(WireField::ZielBasis));
    entry.ZielPunkte = text::int64Value(value(WireField::ZielPunkte));
    entry.Von = oneLine(value(WireField::Von));
    if (value(WireField::ZielZeit).empty()) {
        entry.ZielZeit = fleetlists::kNoTime;
    } else {
        entry.ZielZeit = text::intValue(value(WireField::ZielZeit));
        fleetlists::applyArrival(kind, entry, localNow);
    }
    entry.BasisZeit = text::intValue(value(WireField::BasisZeit));
    entry.UpdateZeit = text::intValue(value(WireField::UpdateZeit));
    return text.substr(record->length);
}

void sortByReturnTicks(std::vector<FleetEntry>& list, std::int64_t localNow) {
    // The selection sort, replayed with one min-heap of positions per tick count: at each
    // position the smallest count left is found in its bucket, and the entry it displaces
    // (the one at the current position, the first of its own bucket) takes its place.
    std::vector<int> keys(list.size());
    using Positions =
        std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<std::size_t>>;
    std::vector<Positions> buckets(fleetlists::kReturnOrderKeys);
    for (std::size_t j = 0; j < list.size(); ++j) {
        keys[j] = fleetlists::returnOrderKey(list[j].BasisZeit, localNow);
        buckets[static_cast<std::size_t>(keys[j])].push(j);
    }
    std::size_t smallest = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        while (buckets[smallest].empty()) {
            ++smallest;
        }
        const std::size_t best = buckets[smallest].top();
        buckets[smallest].pop();
        if (best == i) {
            continue;
        }
        Positions& displaced = buckets[static_cast<std::size_t>(keys[i])];
        displaced.pop(); // position i, the lowest one left
        displaced.push(best);
        std::swap(list[i], list[best]);
        std::swap(keys[i], keys[best]);
    }
}

} // namespace reef::exchange
