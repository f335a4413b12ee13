#include "report/template_file.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSet>
#include <QStringList>

// pugixml rather than QXmlStreamReader: it is the project's XML library already, its
// DOM keeps the strict per-element checks short, and its parse result gives the byte
// offset of a fault, which becomes the line number in the error message.
#include <pugixml.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <sstream>

#include "core/file_util.h"
#include "core/strict_xml.h"
#include "report/model_access.h"
#include "report/report_error.h"

namespace vexora::report {
namespace {

constexpr const char* kRootName = "vexora-report-template";
constexpr const char* kFormatVersion = "1";
// Whole template: components and decoded picture bytes. Far above what a real
// template uses, low enough that a hostile file cannot make the reader exhaust memory.
constexpr int kMaxComponentsTotal = 200000;
constexpr qint64 kMaxImageBytesTotal = 64LL * 1024 * 1024;

// ---------------------------------------------------------------- shared checks

// Range checks shared by the reader and the validator; nullptr when the value is fine.
const char* checkCoordinate(double v) {
    return std::isfinite(v) && std::fabs(v) <= limits::kMaxCoordinateInch ? nullptr
                                                                          : "fuori intervallo";
}

const char* checkExtent(double v, bool mayBeNegative) {
    if (!std::isfinite(v) || std::fabs(v) > limits::kMaxCoordinateInch)
        return "fuori intervallo";
    if (!mayBeNegative && v < 0)
        return "negativo";
    return nullptr;
}

const char* checkFontSize(double v) {
    return std::isfinite(v) && v > 0 && v <= limits::kMaxFontPoints ? nullptr : "fuori intervallo";
}

const char* checkLineWidth(double v) {
    return std::isfinite(v) && v >= 0 && v <= limits::kMaxLineWidthPoints ? nullptr
                                                                          : "fuori intervallo";
}

bool hasFont(ComponentKind k) {
    return k == ComponentKind::Text || k == ComponentKind::FontMaster;
}
bool hasGeometry(ComponentKind k) {
    return k != ComponentKind::Group && k != ComponentKind::FontMaster;
}
bool hasStroke(ComponentKind k) {
    return k == ComponentKind::Rectangle || k == ComponentKind::Line;
}

const char* elementName(ComponentKind kind) {
    switch (kind) {
        case ComponentKind::Text:
            return "text";
        case ComponentKind::Image:
            return "image";
        case ComponentKind::Rectangle:
            return "rect";
        case ComponentKind::Line:
            return "line";
        case ComponentKind::Group:
            return "group";
        case ComponentKind::FontMaster:
            return "fontmaster";
    }
    return "?";
}

std::optional<ComponentKind> kindOfElement(const char* name) {
    static constexpr std::array<std::pair<const char*, ComponentKind>, 6> kinds{{
        {"text", ComponentKind::Text},
        {"image", ComponentKind::Image},
        {"rect", ComponentKind::Rectangle},
        {"line", ComponentKind::Line},
        {"group", ComponentKind::Group},
        {"fontmaster", ComponentKind::FontMaster},
    }};
    for (const auto& [n, k] : kinds) {
        if (std::strcmp(n, name) == 0)
            return k;
    }
    return std::nullopt;
}

template <typename E>
struct EnumName {
    const char* text;
    E value;
};

constexpr std::array<EnumName<TextAlign>, 4> kAligns{{{"left", TextAlign::Left},
                                                      {"center", TextAlign::Center},
                                                      {"right", TextAlign::Right},
                                                      {"justify", TextAlign::Justify}}};
constexpr std::array<EnumName<VerticalAlign>, 3> kVAligns{{{"top", VerticalAlign::Top},
                                                           {"center", VerticalAlign::Center},
                                                           {"bottom", VerticalAlign::Bottom}}};
constexpr std::array<EnumName<AnchorEdge>, 2> kAnchors{
    {{"left", AnchorEdge::Left}, {"right", AnchorEdge::Right}}};
constexpr std::array<EnumName<ImageFit>, 2> kFits{
    {{"stretch", ImageFit::Stretch}, {"keep-aspect", ImageFit::KeepAspect}}};
constexpr std::array<EnumName<DuplexSetting>, 3> kDuplex{
    {{"default", DuplexSetting::Default}, {"off", DuplexSetting::Off}, {"on", DuplexSetting::On}}};

template <typename E, std::size_t N>
const char* enumText(const std::array<EnumName<E>, N>& table, E value) {
    for (const auto& e : table) {
        if (e.value == value)
            return e.text;
    }
    return table[0].text;
}

// Position of the first byte that breaks UTF-8, or npos.
std::size_t firstInvalidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned cp = 0;
        unsigned minCp = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F, minCp = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F, minCp = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07, minCp = 0x10000;
        } else {
            return i;
        }
        if (i + len > n)
            return i;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < minCp || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += len;
    }
    return std::string_view::npos;
}

// ---------------------------------------------------------------- reader

class Reader {
public:
    Reader(std::string_view bytes, const QString& fileName) : bytes_(bytes), file_(fileName) {}

    ReportTemplate run() {
        if (const std::size_t bad = firstInvalidUtf8(bytes_); bad != std::string_view::npos) {
            failAt(bad, QStringLiteral("il file non è testo UTF-8 valido"));
        }
        // Line ends stay as written (no parse_eol), so texts keep their CR characters.
        const unsigned flags = (pugi::parse_default & ~pugi::parse_eol) | pugi::parse_declaration |
                               pugi::parse_ws_pcdata_single;
        const pugi::xml_parse_result parsed =
            doc_.load_buffer(bytes_.data(), bytes_.size(), flags, pugi::encoding_utf8);
        if (parsed.status == pugi::status_no_document_element) {
            failAt(0, QStringLiteral("non è un documento XML (manca l'elemento radice)"));
        }
        if (!parsed) {
            const std::size_t at = std::size_t(std::max<std::ptrdiff_t>(parsed.offset, 0));
            failAt(at, QStringLiteral("XML non valido alla posizione %1 (%2)")
                           .arg(at)
                           .arg(QLatin1String(parsed.description())));
        }
        // pugixml lets many faults pass (undeclared entities, repeated attributes, a second
        // root, ...): a conforming parser judges the whole document before it is read.
        if (const auto fault = findXmlFault(bytes_)) {
            failAt(fault->offset, QStringLiteral("XML non valido alla posizione %1 (%2)")
                                      .arg(fault->offset)
                                      .arg(QString::fromStdString(fault->description)));
        }
        for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling()) {
            if (n.type() == pugi::node_declaration) {
                const pugi::xml_attribute enc = n.attribute("encoding");
                if (enc && QByteArray(enc.value()).toUpper() != "UTF-8") {
                    fail(n, QStringLiteral("codifica \"%1\" non supportata, serve UTF-8")
                                .arg(QString::fromUtf8(enc.value())));
                }
            }
        }
        const pugi::xml_node root = doc_.document_element();
        if (!root)
            failAt(0, QStringLiteral("manca l'elemento radice"));
        if (std::strcmp(root.name(), kRootName) != 0) {
            fail(root, QStringLiteral("elemento radice <%1> inatteso, serve <%2>")
                           .arg(QString::fromUtf8(root.name()), QLatin1String(kRootName)));
        }
        checkAttributes(root, {"version"});
        const pugi::xml_attribute version = root.attribute("version");
        if (!version)
            fail(root, QStringLiteral("manca l'attributo version"));
        if (std::strcmp(version.value(), kFormatVersion) != 0) {
            fail(root, QStringLiteral("versione del formato \"%1\" non supportata (serve %2)")
                           .arg(QString::fromUtf8(version.value()), QLatin1String(kFormatVersion)));
        }

        ReportTemplate t;
        QSet<QString> reportNames;
        for (pugi::xml_node n = root.first_child(); n; n = n.next_sibling()) {
            if (skipNonElement(n, root))
                continue;
            if (std::strcmp(n.name(), "param") == 0) {
                readParam(t, n);
            } else if (std::strcmp(n.name(), "report") == 0) {
                readReport(t, n, reportNames);
            } else {
                unexpected(n, root);
            }
        }
        return t;
    }

private:
    [[noreturn]] void failAt(std::size_t offset, const QString& what) const {
        const std::size_t end = std::min(offset, bytes_.size());
        long line = 1;
        for (std::size_t i = 0; i < end; ++i) {
            if (bytes_[i] == '\n')
                ++line;
        }
        throw ReportError(QStringLiteral("Template \"%1\" non valido, riga %2: %3")
                              .arg(file_)
                              .arg(line)
                              .arg(what));
    }

    [[noreturn]] void fail(pugi::xml_node n, const QString& what) const {
        failAt(std::size_t(std::max<std::ptrdiff_t>(n.offset_debug(), 0)), what);
    }

    [[noreturn]] void unexpected(pugi::xml_node n, pugi::xml_node parent) const {
        fail(n, QStringLiteral("elemento <%1> inatteso dentro <%2>")
                    .arg(QString::fromUtf8(n.name()), QString::fromUtf8(parent.name())));
    }

    // Comments and blank text between elements are skipped; other text is an error.
    bool skipNonElement(pugi::xml_node n, pugi::xml_node parent) const {
        switch (n.type()) {
            case pugi::node_element:
                return false;
            case pugi::node_comment:
            case pugi::node_pi:
                return true;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                if (QByteArray(n.value()).trimmed().isEmpty())
                    return true;
                fail(parent, QStringLiteral("testo inatteso dentro <%1>")
                                 .arg(QString::fromUtf8(parent.name())));
            default:
                fail(parent, QStringLiteral("contenuto inatteso dentro <%1>")
                                 .arg(QString::fromUtf8(parent.name())));
        }
    }

    void checkAttributes(pugi::xml_node n, std::initializer_list<const char*> allowed) const {
        int count = 0;
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
            if (++count > 64)
                fail(n, QStringLiteral("troppi attributi"));
            bool known = false;
            for (const char* name : allowed)
                known = known || std::strcmp(name, a.name()) == 0;
            if (!known) {
                fail(n, QStringLiteral("attributo \"%1\" sconosciuto in <%2>")
                            .arg(QString::fromUtf8(a.name()), QString::fromUtf8(n.name())));
            }
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute()) {
                if (std::strcmp(a.name(), b.name()) == 0) {
                    fail(n, QStringLiteral("attributo \"%1\" ripetuto in <%2>")
                                .arg(QString::fromUtf8(a.name()), QString::fromUtf8(n.name())));
                }
            }
        }
    }

    QString requiredName(pugi::xml_node n) const {
        const pugi::xml_attribute a = n.attribute("name");
        if (!a)
            fail(n,
                 QStringLiteral("manca l'attributo name in <%1>").arg(QString::fromUtf8(n.name())));
        const QString name = QString::fromUtf8(a.value());
        if (!isValidName(name)) {
            fail(n, QStringLiteral("nome \"%1\" non valido in <%2> (lettere, cifre e _, al "
                                   "massimo %3 caratteri)")
                        .arg(name.left(limits::kMaxNameLength + 1), QString::fromUtf8(n.name()))
                        .arg(limits::kMaxNameLength));
        }
        return name;
    }

    double number(pugi::xml_node n, const char* attr, double fallback,
                  bool required = false) const {
        const pugi::xml_attribute a = n.attribute(attr);
        if (!a) {
            if (required)
                fail(n, QStringLiteral("manca l'attributo %1").arg(QLatin1String(attr)));
            return fallback;
        }
        const char* s = a.value();
        const char* end = s + std::strlen(s);
        double v = 0;
        const auto [ptr, ec] = std::from_chars(s, end, v);
        if (ec != std::errc() || ptr != end || s == end || !std::isfinite(v)) {
            fail(n, QStringLiteral("valore \"%1\" non numerico per %2")
                        .arg(QString::fromUtf8(s).left(40), QLatin1String(attr)));
        }
        return v;
    }

    int integer(pugi::xml_node n, const char* attr, int fallback, int min, int max) const {
        const pugi::xml_attribute a = n.attribute(attr);
        if (!a)
            return fallback;
        const char* s = a.value();
        const char* end = s + std::strlen(s);
        int v = 0;
        const auto [ptr, ec] = std::from_chars(s, end, v);
        if (ec != std::errc() || ptr != end || s == end || v < min || v > max) {
            fail(n, QStringLiteral("valore \"%1\" non valido per %2 (da %3 a %4)")
                        .arg(QString::fromUtf8(s).left(40), QLatin1String(attr))
                        .arg(min)
                        .arg(max));
        }
        return v;
    }

    void inRange(pugi::xml_node n, const char* attr, const char* problem) const {
        if (problem) {
            fail(n, QStringLiteral("valore di %1 %2 (%3)")
                        .arg(QLatin1String(attr), QLatin1String(problem),
                             QString::fromUtf8(n.attribute(attr).value()).left(40)));
        }
    }

    bool boolean(pugi::xml_node n, const char* attr, bool fallback) const {
        const pugi::xml_attribute a = n.attribute(attr);
        if (!a)
            return fallback;
        if (std::strcmp(a.value(), "true") == 0)
            return true;
        if (std::strcmp(a.value(), "false") == 0)
            return false;
        fail(n, QStringLiteral("%1 deve essere true o false").arg(QLatin1String(attr)));
    }

    // "#RRGGBB", or "none" where allowed (an invalid colour).
    QColor color(pugi::xml_node n, const char* attr, const QColor& fallback, bool allowNone) const {
        const pugi::xml_attribute a = n.attribute(attr);
        if (!a)
            return fallback;
        const std::string_view v = a.value();
        if (allowNone && v == "none")
            return QColor();
        bool ok = v.size() == 7 && v[0] == '#';
        unsigned rgb = 0;
        for (std::size_t i = 1; ok && i < v.size(); ++i) {
            const char c = v[i];
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            ok = d >= 0;
            rgb = (rgb << 4) | unsigned(d);
        }
        if (!ok) {
            fail(n, QStringLiteral("colore \"%1\" non valido per %2 (serve #RRGGBB%3)")
                        .arg(QString::fromUtf8(a.value()).left(40), QLatin1String(attr),
                             allowNone ? QStringLiteral(" o none") : QString()));
        }
        return QColor(QRgb(rgb));
    }

    template <typename E, std::size_t N>
    E choice(pugi::xml_node n, const char* attr, E fallback,
             const std::array<EnumName<E>, N>& table) const {
        const pugi::xml_attribute a = n.attribute(attr);
        if (!a)
            return fallback;
        QStringList allowed;
        for (const auto& e : table) {
            if (std::strcmp(e.text, a.value()) == 0)
                return e.value;
            allowed << QLatin1String(e.text);
        }
        fail(n, QStringLiteral("valore \"%1\" non valido per %2 (ammessi: %3)")
                    .arg(QString::fromUtf8(a.value()).left(40), QLatin1String(attr),
                         allowed.join(QStringLiteral(", "))));
    }

    // Text content of an element that may hold only text.
    QString textContent(pugi::xml_node n) const {
        QByteArray bytes;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
                bytes += c.value();
            } else if (c.type() == pugi::node_element) {
                fail(c, QStringLiteral("elemento <%1> inatteso dentro <%2>")
                            .arg(QString::fromUtf8(c.name()), QString::fromUtf8(n.name())));
            }
        }
        return QString::fromUtf8(bytes);
    }

    void readParam(ReportTemplate& t, pugi::xml_node n) {
        checkAttributes(n, {"name"});
        const QString name = requiredName(n);
        if (t.Param(name))
            fail(n, QStringLiteral("parametro %1 ripetuto").arg(name));
        if (int(t.Params().size()) >= limits::kMaxParams) {
            fail(n, QStringLiteral("troppi parametri (al massimo %1)").arg(limits::kMaxParams));
        }
        detail::ModelAccess::setParamUnchecked(t, name, textContent(n));
    }

    void readReport(ReportTemplate& t, pugi::xml_node n, QSet<QString>& reportNames) {
        checkAttributes(n, {"name", "copies", "duplex"});
        const QString name = requiredName(n);
        if (reportNames.contains(name))
            fail(n, QStringLiteral("report %1 ripetuto").arg(name));
        if (int(t.Reports().size()) >= limits::kMaxReports) {
            fail(n, QStringLiteral("troppi report (al massimo %1)").arg(limits::kMaxReports));
        }
        reportNames.insert(name);
        Report& report = detail::ModelAccess::appendReport(t, name);
        report.SetCopies(integer(n, "copies", 0, 0, limits::kMaxCopies));
        report.SetDuplexMode(choice(n, "duplex", DuplexSetting::Default, kDuplex));
        QSet<QString> pageNames;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (skipNonElement(c, n))
                continue;
            if (std::strcmp(c.name(), "page") != 0)
                unexpected(c, n);
            checkAttributes(c, {"name", "gotomode"});
            const QString pageName = requiredName(c);
            if (pageNames.contains(pageName)) {
                fail(c, QStringLiteral("pagina %1 ripetuta nel report %2").arg(pageName, name));
            }
            if (int(report.Pages().size()) >= limits::kMaxPagesPerReport) {
                fail(c, QStringLiteral("troppe pagine nel report %1 (al massimo %2)")
                            .arg(name)
                            .arg(limits::kMaxPagesPerReport));
            }
            pageNames.insert(pageName);
            Page& page = detail::ModelAccess::appendPage(report, pageName);
            page.SetGotoMode(integer(c, "gotomode", 0, 0, limits::kMaxGotoMode));
            QSet<QString> componentNames;
            int pageCount = 0;
            for (pugi::xml_node e = c.first_child(); e; e = e.next_sibling()) {
                if (skipNonElement(e, c))
                    continue;
                detail::ModelAccess::appendComponent(
                    page, readComponent(e, c, componentNames, pageCount, 1));
            }
        }
        if (report.Pages().empty())
            fail(n, QStringLiteral("il report %1 non ha pagine").arg(name));
    }

    Component readComponent(pugi::xml_node n, pugi::xml_node parent, QSet<QString>& names,
                            int& pageCount, int depth) {
        const std::optional<ComponentKind> kind = kindOfElement(n.name());
        if (!kind)
            unexpected(n, parent);
        switch (*kind) {
            case ComponentKind::Text:
                checkAttributes(n, {"name", "left", "top", "width", "height", "anchor", "visible",
                                    "font", "size", "bold", "italic", "underline", "color",
                                    "forecolor", "fontmirror", "align", "valign", "wrap"});
                break;
            case ComponentKind::Image:
                checkAttributes(
                    n, {"name", "left", "top", "width", "height", "anchor", "visible", "fit"});
                break;
            case ComponentKind::Rectangle:
                checkAttributes(n, {"name", "left", "top", "width", "height", "anchor", "visible",
                                    "fill", "linecolor", "linewidth"});
                break;
            case ComponentKind::Line:
                checkAttributes(n, {"name", "left", "top", "width", "height", "anchor", "visible",
                                    "linecolor", "linewidth"});
                break;
            case ComponentKind::Group:
                checkAttributes(n, {"name", "visible"});
                break;
            case ComponentKind::FontMaster:
                checkAttributes(
                    n, {"name", "visible", "font", "size", "bold", "italic", "underline", "color"});
                break;
        }
        const QString name = requiredName(n);
        if (depth > limits::kMaxGroupDepth) {
            fail(n, QStringLiteral("gruppi annidati troppo in profondità (al massimo %1 livelli)")
                        .arg(limits::kMaxGroupDepth));
        }
        if (names.contains(name))
            fail(n, QStringLiteral("componente %1 ripetuto").arg(name));
        if (++pageCount > limits::kMaxComponentsPerPage) {
            fail(n, QStringLiteral("troppi componenti nella pagina (al massimo %1)")
                        .arg(limits::kMaxComponentsPerPage));
        }
        if (++totalComponents_ > kMaxComponentsTotal) {
            fail(n, QStringLiteral("troppi componenti nel template (al massimo %1)")
                        .arg(kMaxComponentsTotal));
        }
        names.insert(name);
        Component c = detail::ModelAccess::makeComponent(*kind, name);
        c.SetVisible(boolean(n, "visible", true));

        if (hasGeometry(*kind)) {
            const double left = number(n, "left", 0, true);
            const double top = number(n, "top", 0, true);
            const double width = number(n, "width", 0, true);
            const double height = number(n, "height", 0, true);
            const bool line = *kind == ComponentKind::Line;
            inRange(n, "left", checkCoordinate(left));
            inRange(n, "top", checkCoordinate(top));
            inRange(n, "width", checkExtent(width, line));
            inRange(n, "height", checkExtent(height, line));
            c.SetLeft(left);
            c.SetTop(top);
            c.SetWidth(width);
            c.SetHeight(height);
            c.SetAnchor(choice(n, "anchor", AnchorEdge::Left, kAnchors));
        }
        if (hasFont(*kind)) {
            ReportFont font;
            if (const pugi::xml_attribute f = n.attribute("font")) {
                font.family = QString::fromUtf8(f.value());
                if (font.family.trimmed().isEmpty() || font.family.size() > 200) {
                    fail(n, QStringLiteral("nome di font non valido"));
                }
            }
            font.pointSize = number(n, "size", font.pointSize);
            inRange(n, "size", checkFontSize(font.pointSize));
            font.bold = boolean(n, "bold", false);
            font.italic = boolean(n, "italic", false);
            font.underline = boolean(n, "underline", false);
            font.color = color(n, "color", font.color, false);
            c.SetFont(font);
        }
        if (hasStroke(*kind)) {
            c.SetLineColor(color(n, "linecolor", c.LineColor(), false));
            const double width = number(n, "linewidth", c.LineWidth());
            inRange(n, "linewidth", checkLineWidth(width));
            c.SetLineWidth(width);
        }
        switch (*kind) {
            case ComponentKind::Text:
                if (const pugi::xml_attribute m = n.attribute("fontmirror")) {
                    const QString master = QString::fromUtf8(m.value());
                    if (!isValidName(master)) {
                        fail(n, QStringLiteral("fontmirror \"%1\" non è un nome valido")
                                    .arg(master.left(limits::kMaxNameLength + 1)));
                    }
                    c.SetFontMirrorName(master);
                }
                c.SetForeColor(color(n, "forecolor", QColor(), true));
                c.SetAlignment(choice(n, "align", TextAlign::Left, kAligns));
                c.SetVerticalAlignment(choice(n, "valign", VerticalAlign::Top, kVAligns));
                c.SetWordWrap(boolean(n, "wrap", true));
                c.SetText(textContent(n));
                break;
            case ComponentKind::Image:
                c.SetFit(choice(n, "fit", ImageFit::Stretch, kFits));
                c.SetImage(readImage(n));
                break;
            case ComponentKind::Rectangle:
                c.SetFillColor(color(n, "fill", QColor(), true));
                break;
            case ComponentKind::Group:
                for (pugi::xml_node e = n.first_child(); e; e = e.next_sibling()) {
                    if (skipNonElement(e, n))
                        continue;
                    detail::ModelAccess::appendChild(
                        c, readComponent(e, n, names, pageCount, depth + 1));
                }
                break;
            case ComponentKind::FontMaster:
            case ComponentKind::Line:
                break;
        }
        if (*kind != ComponentKind::Text && *kind != ComponentKind::Image &&
            *kind != ComponentKind::Group) {
            for (pugi::xml_node e = n.first_child(); e; e = e.next_sibling()) {
                if (!skipNonElement(e, n))
                    unexpected(e, n);
            }
        }
        return c;
    }

    // Content of <image>: a PNG picture in base64 (blanks and line breaks allowed).
    QImage readImage(pugi::xml_node n) {
        QByteArray base64 = textContent(n).toLatin1();
        base64.replace(' ', "").replace('\n', "").replace('\r', "").replace('\t', "");
        if (base64.isEmpty())
            return QImage();
        const auto decoded =
            QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            fail(n, QStringLiteral("immagine non in base64 valido"));
        QByteArray png = *decoded;
        QBuffer buffer(&png);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "png");
        reader.setDecideFormatFromContent(false);
        const QSize size = reader.size();
        if (!size.isValid() || size.isEmpty())
            fail(n, QStringLiteral("immagine PNG non leggibile"));
        if (size.width() > limits::kMaxImageSide || size.height() > limits::kMaxImageSide) {
            fail(n, QStringLiteral("immagine di %1×%2 pixel troppo grande (al massimo %3 per lato)")
                        .arg(size.width())
                        .arg(size.height())
                        .arg(limits::kMaxImageSide));
        }
        imageBytes_ += qint64(size.width()) * size.height() * 4;
        if (imageBytes_ > kMaxImageBytesTotal) {
            fail(n, QStringLiteral("immagini troppo grandi nel complesso"));
        }
        QImage image = reader.read();
        if (image.isNull()) {
            fail(n, QStringLiteral("immagine PNG non leggibile (%1)").arg(reader.errorString()));
        }
        return image;
    }

    std::string_view bytes_;
    QString file_;
    pugi::xml_document doc_;
    int totalComponents_ = 0;
    qint64 imageBytes_ = 0;
};

// ---------------------------------------------------------------- validator

class Validator {
public:
    void run(const ReportTemplate& t) {
        if (int(t.Params().size()) > limits::kMaxParams)
            fail(QStringLiteral("troppi parametri"));
        QSet<QString> params;
        for (const auto& [name, value] : t.Params()) {
            requireName(name, "parametro");
            if (params.contains(name))
                fail(QStringLiteral("parametro %1 ripetuto").arg(name));
            params.insert(name);
        }
        if (int(t.Reports().size()) > limits::kMaxReports)
            fail(QStringLiteral("troppi report"));
        QSet<QString> reports;
        for (const Report& r : t.Reports()) {
            requireName(r.Name(), "report");
            if (reports.contains(r.Name())) {
                fail(QStringLiteral("report %1 ripetuto").arg(r.Name()));
            }
            reports.insert(r.Name());
            if (r.Pages().empty())
                fail(QStringLiteral("il report %1 non ha pagine").arg(r.Name()));
            if (int(r.Pages().size()) > limits::kMaxPagesPerReport) {
                fail(QStringLiteral("troppe pagine nel report %1").arg(r.Name()));
            }
            QSet<QString> pages;
            for (const Page& p : r.Pages()) {
                requireName(p.Name(), "pagina");
                if (pages.contains(p.Name())) {
                    fail(
                        QStringLiteral("pagina %1 ripetuta nel report %2").arg(p.Name(), r.Name()));
                }
                pages.insert(p.Name());
                QSet<QString> names;
                int count = 0;
                for (const Component& c : p.Components())
                    check(c, names, count, 1);
            }
        }
    }

private:
    [[noreturn]] static void fail(const QString& what) {
        throw ReportError(QStringLiteral("Template non valido: %1").arg(what));
    }

    static void requireName(const QString& name, const char* what) {
        if (!isValidName(name)) {
            fail(QStringLiteral("nome di %1 non valido: \"%2\"")
                     .arg(QLatin1String(what), name.left(limits::kMaxNameLength + 1)));
        }
    }

    static void inRange(const Component& c, const char* property, const char* problem) {
        if (problem) {
            fail(QStringLiteral("%1 del componente %2 %3")
                     .arg(QLatin1String(property), c.Name(), QLatin1String(problem)));
        }
    }

    void check(const Component& c, QSet<QString>& names, int& count, int depth) {
        requireName(c.Name(), "componente");
        if (names.contains(c.Name()))
            fail(QStringLiteral("componente %1 ripetuto").arg(c.Name()));
        names.insert(c.Name());
        if (++count > limits::kMaxComponentsPerPage)
            fail(QStringLiteral("troppi componenti"));
        if (++total_ > kMaxComponentsTotal)
            fail(QStringLiteral("troppi componenti"));
        if (hasGeometry(c.Kind())) {
            const bool line = c.Kind() == ComponentKind::Line;
            inRange(c, "left", checkCoordinate(c.Left()));
            inRange(c, "top", checkCoordinate(c.Top()));
            inRange(c, "width", checkExtent(c.Width(), line));
            inRange(c, "height", checkExtent(c.Height(), line));
        }
        if (hasFont(c.Kind())) {
            inRange(c, "size", checkFontSize(c.Font().pointSize));
            if (c.Font().family.trimmed().isEmpty() || c.Font().family.size() > 200) {
                fail(QStringLiteral("nome di font non valido nel componente %1").arg(c.Name()));
            }
        }
        if (hasStroke(c.Kind()))
            inRange(c, "linewidth", checkLineWidth(c.LineWidth()));
        if (!c.FontMirror().isEmpty())
            requireName(c.FontMirror(), "font master");
        if (!c.Image().isNull()) {
            if (c.Image().width() > limits::kMaxImageSide ||
                c.Image().height() > limits::kMaxImageSide) {
                fail(QStringLiteral("immagine del componente %1 troppo grande").arg(c.Name()));
            }
            imageBytes_ += qint64(c.Image().width()) * c.Image().height() * 4;
            if (imageBytes_ > kMaxImageBytesTotal) {
                fail(QStringLiteral("immagini troppo grandi nel complesso"));
            }
        }
        if (depth > limits::kMaxGroupDepth) {
            fail(QStringLiteral("gruppi annidati troppo in profondità (%1)").arg(c.Name()));
        }
        if (c.Kind() == ComponentKind::Group) {
            for (const Component& child : c.Children())
                check(child, names, count, depth + 1);
        }
    }

    int total_ = 0;
    qint64 imageBytes_ = 0;
};

// ---------------------------------------------------------------- writer

std::string numberText(double v) {
    std::array<char, 64> buf{};
    const auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return ec == std::errc() ? std::string(buf.data(), ptr) : std::string("0");
}

std::string colorText(const QColor& c) {
    if (!c.isValid())
        return "none";
    return c.name(QColor::HexRgb).toUpper().toStdString();
}

void setAttr(pugi::xml_node n, const char* name, const char* value) {
    n.append_attribute(name).set_value(value);
}

void setAttr(pugi::xml_node n, const char* name, const std::string& value) {
    setAttr(n, name, value.c_str());
}

void setAttr(pugi::xml_node n, const char* name, const QString& value) {
    setAttr(n, name, value.toStdString());
}

void setText(pugi::xml_node n, const QString& text) {
    if (!text.isEmpty())
        n.append_child(pugi::node_pcdata).set_value(text.toStdString().c_str());
}

void writeImage(pugi::xml_node n, const QImage& image) {
    if (image.isNull())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        throw ReportError(
            QStringLiteral("Impossibile codificare l'immagine del componente %1: %2")
                .arg(QString::fromUtf8(n.attribute("name").value()), writer.errorString()));
    }
    const QByteArray base64 = png.toBase64();
    std::string text = "\n";
    for (qsizetype i = 0; i < base64.size(); i += 76) {
        text.append(base64.constData() + i,
                    std::size_t(std::min<qsizetype>(76, base64.size() - i)));
        text += '\n';
    }
    n.append_child(pugi::node_pcdata).set_value(text.c_str());
}

void writeComponent(pugi::xml_node parent, const Component& c) {
    pugi::xml_node n = parent.append_child(elementName(c.Kind()));
    setAttr(n, "name", c.Name());
    if (hasGeometry(c.Kind())) {
        setAttr(n, "left", numberText(c.Left()));
        setAttr(n, "top", numberText(c.Top()));
        setAttr(n, "width", numberText(c.Width()));
        setAttr(n, "height", numberText(c.Height()));
        if (c.Anchor() != AnchorEdge::Left)
            setAttr(n, "anchor", enumText(kAnchors, c.Anchor()));
    }
    if (!c.Visible())
        setAttr(n, "visible", "false");
    if (hasFont(c.Kind())) {
        const ReportFont& f = c.Font();
        setAttr(n, "font", f.family);
        setAttr(n, "size", numberText(f.pointSize));
        if (f.bold)
            setAttr(n, "bold", "true");
        if (f.italic)
            setAttr(n, "italic", "true");
        if (f.underline)
            setAttr(n, "underline", "true");
        if (f.color.rgb() != QColor(0, 0, 0).rgb())
            setAttr(n, "color", colorText(f.color));
    }
    if (hasStroke(c.Kind())) {
        if (c.Kind() == ComponentKind::Rectangle && c.FillColor().isValid()) {
            setAttr(n, "fill", colorText(c.FillColor()));
        }
        setAttr(n, "linecolor", colorText(c.LineColor()));
        setAttr(n, "linewidth", numberText(c.LineWidth()));
    }
    switch (c.Kind()) {
        case ComponentKind::Text:
            if (!c.FontMirror().isEmpty())
                setAttr(n, "fontmirror", c.FontMirror());
            if (c.ForeColor().isValid())
                setAttr(n, "forecolor", colorText(c.ForeColor()));
            if (c.Alignment() != TextAlign::Left)
                setAttr(n, "align", enumText(kAligns, c.Alignment()));
            if (c.VerticalAlignment() != VerticalAlign::Top) {
                setAttr(n, "valign", enumText(kVAligns, c.VerticalAlignment()));
            }
            if (!c.WordWrap())
                setAttr(n, "wrap", "false");
            setText(n, c.Text());
            break;
        case ComponentKind::Image:
            if (c.Fit() != ImageFit::Stretch)
                setAttr(n, "fit", enumText(kFits, c.Fit()));
            writeImage(n, c.Image());
            break;
        case ComponentKind::Group:
            for (const Component& child : c.Children())
                writeComponent(n, child);
            break;
        default:
            break;
    }
}

}  // namespace

ReportTemplate parseTemplate(std::string_view bytes, const QString& fileName) {
    return Reader(bytes, fileName).run();
}

ReportTemplate readTemplateFile(const QString& path) {
    std::string error;
    const std::optional<std::string> bytes =
        readWholeFile(QFile::encodeName(path).toStdString(), kMaxTemplateFileBytes, &error);
    if (!bytes) {
        throw ReportError(QStringLiteral("Impossibile leggere il template \"%1\": %2")
                              .arg(path, QString::fromStdString(error)));
    }
    return parseTemplate(*bytes, path);
}

void validateTemplate(const ReportTemplate& t) {
    Validator().run(t);
}

std::string serializeTemplate(const ReportTemplate& t) {
    validateTemplate(t);
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version").set_value("1.0");
    decl.append_attribute("encoding").set_value("UTF-8");
    pugi::xml_node root = doc.append_child(kRootName);
    root.append_attribute("version").set_value(kFormatVersion);
    for (const auto& [name, value] : t.Params()) {
        pugi::xml_node p = root.append_child("param");
        setAttr(p, "name", name);
        setText(p, value);
    }
    for (const Report& r : t.Reports()) {
        pugi::xml_node rn = root.append_child("report");
        setAttr(rn, "name", r.Name());
        if (r.Copies() != 0)
            setAttr(rn, "copies", std::to_string(r.Copies()));
        if (r.DuplexMode() != DuplexSetting::Default) {
            setAttr(rn, "duplex", enumText(kDuplex, r.DuplexMode()));
        }
        for (const Page& p : r.Pages()) {
            pugi::xml_node pn = rn.append_child("page");
            setAttr(pn, "name", p.Name());
            if (p.GotoMode() != 0)
                setAttr(pn, "gotomode", std::to_string(p.GotoMode()));
            for (const Component& c : p.Components())
                writeComponent(pn, c);
        }
    }
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

void writeTemplateFile(const ReportTemplate& t, const QString& path) {
    const std::string text = serializeTemplate(t);
    std::string error;
    if (!writeFileAtomically(QFile::encodeName(path).toStdString(), text, &error)) {
        throw ReportError(QStringLiteral("Impossibile scrivere il template \"%1\": %2")
                              .arg(path, QString::fromStdString(error)));
    }
}

}  // namespace vexora::report
