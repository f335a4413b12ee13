#include "report/pdf_fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QRawFont>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vexora::report {
namespace {

std::uint16_t u16(const QByteArray& b, qsizetype at) {
    return std::uint16_t((std::uint8_t(b[at]) << 8) | std::uint8_t(b[at + 1]));
}

std::uint32_t u32(const QByteArray& b, qsizetype at) {
    return (std::uint32_t(u16(b, at)) << 16) | u16(b, at + 2);
}

void put16(QByteArray& b, std::uint16_t v) {
    b.append(char(v >> 8));
    b.append(char(v & 0xff));
}

void put32(QByteArray& b, std::uint32_t v) {
    put16(b, std::uint16_t(v >> 16));
    put16(b, std::uint16_t(v & 0xffff));
}

void set16(QByteArray& b, qsizetype at, std::uint16_t v) {
    b[at] = char(v >> 8);
    b[at + 1] = char(v & 0xff);
}

void set32(QByteArray& b, qsizetype at, std::uint32_t v) {
    set16(b, at, std::uint16_t(v >> 16));
    set16(b, at + 2, std::uint16_t(v & 0xffff));
}

void pad4(QByteArray& b) {
    while (b.size() % 4 != 0)
        b.append('\0');
}

std::uint32_t checksum(const QByteArray& data) {
    QByteArray padded = data;
    pad4(padded);
    std::uint32_t sum = 0;
    for (qsizetype i = 0; i < padded.size(); i += 4)
        sum += u32(padded, i);
    return sum;
}

// One glyph without its instructions; nothing when its data does not hold together.
std::optional<QByteArray> glyphWithoutInstructions(const QByteArray& g) {
    if (g.isEmpty())
        return g;
    if (g.size() < 10)
        return std::nullopt;
    const auto contours = std::int16_t(u16(g, 0));
    if (contours >= 0) {
        const qsizetype lengthAt = 10 + 2 * qsizetype(contours);
        if (lengthAt + 2 > g.size())
            return std::nullopt;
        const qsizetype rest = lengthAt + 2 + u16(g, lengthAt);
        if (rest > g.size())
            return std::nullopt;
        QByteArray out = g.left(lengthAt);
        put16(out, 0);
        out.append(g.mid(rest));
        return out;
    }
    // Composite: components up to the last one, whose instructions flag is cleared.
    constexpr std::uint16_t kWords = 0x0001, kScale = 0x0008, kMore = 0x0020, kXYScale = 0x0040,
                            kTwoByTwo = 0x0080, kInstructions = 0x0100;
    QByteArray out = g;
    qsizetype at = 10;
    for (;;) {
        if (at + 4 > g.size())
            return std::nullopt;
        const std::uint16_t flags = u16(g, at);
        qsizetype next = at + 4 + ((flags & kWords) ? 4 : 2);
        if (flags & kScale)
            next += 2;
        else if (flags & kXYScale)
            next += 4;
        else if (flags & kTwoByTwo)
            next += 8;
        if (next > g.size())
            return std::nullopt;
        if (!(flags & kMore)) {
            set16(out, at, std::uint16_t(flags & ~kInstructions));
            out.truncate(next);
            return out;
        }
        at = next;
    }
}

// The name table with the family names (IDs 1, 16 and 21) replaced.
std::optional<QByteArray> renamed(const QByteArray& name, const QString& family) {
    if (name.size() < 6)
        return std::nullopt;
    const std::uint16_t count = u16(name, 2);
    const std::uint16_t storage = u16(name, 4);
    if (6 + qsizetype(count) * 12 > name.size() || storage > name.size())
        return std::nullopt;
    QByteArray utf16;
    for (const QChar c : family)
        put16(utf16, c.unicode());
    const QByteArray latin = family.toLatin1();
    QByteArray records;
    QByteArray strings;
    for (int i = 0; i < count; ++i) {
        const qsizetype r = 6 + qsizetype(i) * 12;
        const std::uint16_t platform = u16(name, r);
        const std::uint16_t id = u16(name, r + 6);
        QByteArray text;
        if (id == 1 || id == 16 || id == 21) {
            text = platform == 1 ? latin : utf16;
        } else {
            const qsizetype from = qsizetype(storage) + u16(name, r + 10);
            const qsizetype length = u16(name, r + 8);
            if (from + length > name.size())
                return std::nullopt;
            text = name.mid(from, length);
        }
        if (strings.size() + text.size() > 0xffff)
            return std::nullopt;
        records.append(name.mid(r, 8));
        put16(records, std::uint16_t(text.size()));
        put16(records, std::uint16_t(strings.size()));
        strings.append(text);
    }
    QByteArray out;
    put16(out, 0);
    put16(out, count);
    put16(out, std::uint16_t(6 + records.size()));
    out.append(records);
    out.append(strings);
    return out;
}

// Tables a font may have; the hinting ones (fpgm, prep, cvt, hdmx, LTSH, VDMX) and the
// signature, which no longer matches, are left out.
constexpr const char* kTables[] = {"BASE", "GDEF", "GPOS", "GSUB", "JSTF", "MATH", "OS/2",
                                   "PCLT", "STAT", "avar", "cmap", "fvar", "gasp", "glyf",
                                   "gvar", "head", "hhea", "hmtx", "kern", "loca", "maxp",
                                   "meta", "name", "post", "vhea", "vmtx"};

}  // namespace

std::optional<QByteArray> unhintedTrueType(const std::function<QByteArray(const char*)>& table,
                                           const QString& family) {
    std::map<std::string, QByteArray> tables;
    for (const char* tag : kTables) {
        QByteArray data = table(tag);
        if (!data.isEmpty())
            tables.emplace(tag, std::move(data));
    }
    for (const char* needed : {"glyf", "loca", "head", "maxp", "name", "cmap", "hmtx", "hhea"}) {
        if (!tables.count(needed))
            return std::nullopt;
    }
    // Variable fonts interpret glyph outlines through gvar deltas; left as they are.
    if (tables.count("gvar"))
        return std::nullopt;
    QByteArray& head = tables["head"];
    const QByteArray& maxp = tables["maxp"];
    const QByteArray& loca = tables["loca"];
    const QByteArray& glyf = tables["glyf"];
    if (head.size() < 54 || maxp.size() < 6)
        return std::nullopt;
    const int glyphs = u16(maxp, 4);
    const bool longOffsets = u16(head, 50) != 0;
    if (loca.size() < qsizetype(glyphs + 1) * (longOffsets ? 4 : 2))
        return std::nullopt;
    const auto offset = [&](int i) -> qsizetype {
        return longOffsets ? qsizetype(u32(loca, qsizetype(i) * 4))
                           : qsizetype(u16(loca, qsizetype(i) * 2)) * 2;
    };
    QByteArray newGlyf;
    QByteArray newLoca;
    newGlyf.reserve(glyf.size());
    for (int i = 0; i < glyphs; ++i) {
        const qsizetype from = offset(i);
        const qsizetype to = offset(i + 1);
        if (from > to || to > glyf.size())
            return std::nullopt;
        const auto g = glyphWithoutInstructions(glyf.mid(from, to - from));
        if (!g)
            return std::nullopt;
        put32(newLoca, std::uint32_t(newGlyf.size()));
        newGlyf.append(*g);
        pad4(newGlyf);
    }
    put32(newLoca, std::uint32_t(newGlyf.size()));
    const auto name = renamed(tables["name"], family);
    if (!name)
        return std::nullopt;
    tables["glyf"] = newGlyf;
    tables["loca"] = newLoca;
    tables["name"] = *name;
    set16(head, 50, 1);  // long loca offsets
    set32(head, 8, 0);   // checkSumAdjustment, set below

    // The file: offset table, table records in tag order, tables on 4-byte boundaries.
    const auto count = std::uint16_t(tables.size());
    std::uint16_t power = 1;
    std::uint16_t log2 = 0;
    while (power * 2 <= count) {
        power = std::uint16_t(power * 2);
        ++log2;
    }
    QByteArray font;
    put32(font, 0x00010000);
    put16(font, count);
    put16(font, std::uint16_t(power * 16));
    put16(font, log2);
    put16(font, std::uint16_t(count * 16 - power * 16));
    std::uint32_t at = 12 + std::uint32_t(count) * 16;
    QByteArray body;
    qsizetype headAt = 0;
    for (const auto& [tag, data] : tables) {
        font.append(tag.data(), 4);
        put32(font, checksum(data));
        put32(font, at + std::uint32_t(body.size()));
        put32(font, std::uint32_t(data.size()));
        if (tag == "head")
            headAt = qsizetype(at) + body.size();
        body.append(data);
        pad4(body);
    }
    font.append(body);
    set32(font, headAt + 8, 0xB1B0AFBAu - checksum(font));
    return font;
}

void PdfFonts::prepare(const ReportTemplate& t) {
    QSet<QString> families;
    const std::function<void(const Component&)> collect = [&](const Component& c) {
        if (c.Kind() == ComponentKind::Text || c.Kind() == ComponentKind::FontMaster)
            families.insert(c.Font().family);
        for (const Component& child : c.Children())
            collect(child);
    };
    for (const Report& r : t.Reports()) {
        for (const Page& p : r.Pages()) {
            for (const Component& c : p.Components())
                collect(c);
        }
    }
    for (const QString& family : families) {
        if (!tried_.contains(family))
            prepareFamily(family);
    }
}

void PdfFonts::prepareFamily(const QString& family) {
    tried_.insert(family);
    const QString copy = QStringLiteral("Vexora PDF ") + family;
    // The faces the family resolves to (a substitute's, when the system has none of
    // that name); a style the family lacks resolves to another face and is drawn by
    // Qt from it in both families alike.
    QSet<QString> faces;
    std::vector<int> registered;
    for (const bool bold : {false, true}) {
        for (const bool italic : {false, true}) {
            QFont font(family);
            font.setBold(bold);
            font.setItalic(italic);
            const QRawFont raw = QRawFont::fromFont(font);
            if (!raw.isValid())
                continue;
            const QString face = raw.familyName() + u'/' + raw.styleName();
            if (faces.contains(face))
                continue;
            faces.insert(face);
            const auto data =
                unhintedTrueType([&raw](const char* tag) { return raw.fontTable(tag); }, copy);
            const int id = data ? QFontDatabase::addApplicationFontFromData(*data) : -1;
            if (id < 0 || !QFontDatabase::applicationFontFamilies(id).contains(copy)) {
                // All faces or none: a family missing a face would be drawn differently.
                if (id >= 0)
                    QFontDatabase::removeApplicationFont(id);
                for (int r : registered)
                    QFontDatabase::removeApplicationFont(r);
                return;
            }
            registered.push_back(id);
        }
    }
    if (!registered.empty())
        map_.insert(family, copy);
}

}  // namespace vexora::report
