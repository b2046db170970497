#include "fleetlists/list_cache.h"

#include "fleetlists/cache_bytes.h"
#include "platform/files.h"

#include <optional>
#include <utility>

namespace reef::fleetlists {

namespace {

std::int64_t integerOrZero(CacheByteReader& reader, std::size_t size) {
    return reader.readInteger(size).value_or(0);
}

std::int32_t readInt32(CacheByteReader& reader) {
    return static_cast<std::int32_t>(integerOrZero(reader, 4));
}

FleetEntry readRecord(CacheByteReader& reader) {
    FleetEntry entry;
    entry.Hilfe = static_cast<std::int8_t>(integerOrZero(reader, 1));
    entry.Name = reader.readString();
    entry.Allianz = reader.readString();
    entry.Basis = reader.readString();
    entry.Punkte = integerOrZero(reader, 8);
    entry.Schiffe = readInt32(reader);
    entry.Modus = readInt32(reader);
    entry.ZielName = reader.readString();
    entry.ZielAllianz = reader.readString();
    entry.ZielBasis = reader.readString();
    entry.ZielPunkte = integerOrZero(reader, 8);
    entry.ZielZeit = readInt32(reader);
    entry.BasisZeit = readInt32(reader);
    entry.UpdateZeit = readInt32(reader);
    entry.Von = reader.readString();
    return entry;
}

void writeRecord(CacheByteWriter& writer, const FleetEntry& entry) {
    writer.appendInteger(entry.Hilfe, 1);
    writer.appendString(entry.Name);
    writer.appendString(entry.Allianz);
    writer.appendString(entry.Basis);
    writer.appendInteger(entry.Punkte, 8);
    writer.appendInteger(entry.Schiffe, 4);
    writer.appendInteger(entry.Modus, 4);
    writer.appendString(entry.ZielName);
    writer.appendString(entry.ZielAllianz);
    writer.appendString(entry.ZielBasis);
    writer.appendInteger(entry.ZielPunkte, 8);
    writer.appendInteger(entry.ZielZeit, 4);
    writer.appendInteger(entry.BasisZeit, 4);
    writer.appendInteger(entry.UpdateZeit, 4);
    writer.appendString(entry.Von);
}

} // namespace

std::string listCacheFileName(FleetListKind kind) {
    return kind == FleetListKind::Enemy ? "tblEnemy.dat" : "tblFrend.dat";
}

void decodeListCache(FleetListKind kind, std::string_view bytes, ListCacheData& state) {
    CacheByteReader reader(bytes);
    state.interval = readInt32(reader);
    std::string password = reader.readString();
    if (state.password.empty()) {
        state.password = std::move(password);
    }
    for (int column = 0; column < columnCount(kind); ++column) {
        const auto index = static_cast<std::size_t>(column);
        // No list view has a negative width; the backends would read one as a request to
        // size the column by its content, or refuse it.
        const std::optional<std::int64_t> width = reader.readInteger(2);
        state.widths[index] =
            width && *width >= 0 ? static_cast<std::int16_t>(*width) : kDefaultColumnWidths[index];
    }
    if (!state.rows.empty()) {
        return;
    }
    while (!reader.atEnd()) {
        state.rows.push_back(readRecord(reader));
    }
}

std::string encodeListCache(FleetListKind kind, const ListCacheData& data) {
    CacheByteWriter writer;
    writer.appendInteger(data.interval, 4);
    writer.appendString(data.password);
    for (int column = 0; column < columnCount(kind); ++column) {
        writer.appendInteger(data.widths[static_cast<std::size_t>(column)], 2);
    }
    for (const FleetEntry& entry : data.rows) {
        writeRecord(writer, entry);
    }
    return writer.bytes();
}

bool loadListCache(FleetListKind kind, const std::string& path, ListCacheData& state) {
    const std::optional<std::string> bytes = platform::readFileBytes(path);
    if (!bytes) {
        state.widths = kDefaultColumnWidths;
        return false;
    }
    decodeListCache(kind, *bytes, state);
    return true;
}

bool saveListCache(FleetListKind kind, const std::string& path, const ListCacheData& data) {
    return platform::replaceFileBytes(path, encodeListCache(kind, data));
}

} // namespace reef::fleetlists
