#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace vexora::report {

// Every page is A4 portrait; lengths are inches.
inline constexpr double kPageWidthInch = 210.0 / 25.4;
inline constexpr double kPageHeightInch = 297.0 / 25.4;

// Bounds that the template file and the model keep; a file outside them is refused.
namespace limits {
inline constexpr int kMaxNameLength = 100;
inline constexpr int kMaxReports = 1000;
inline constexpr int kMaxPagesPerReport = 100;
inline constexpr int kMaxComponentsPerPage = 20000;
inline constexpr int kMaxParams = 100000;
inline constexpr int kMaxGroupDepth = 16;
inline constexpr int kMaxCopies = 999;
inline constexpr int kMaxGotoMode = 2;
inline constexpr double kMaxCoordinateInch = 100.0;  // |left|, |top|, width, height
inline constexpr double kMaxFontPoints = 500.0;
inline constexpr double kMaxLineWidthPoints = 72.0;
inline constexpr int kMaxImageSide = 4096;  // pixels of an embedded picture
}  // namespace limits

enum class ComponentKind { Text, Image, Rectangle, Line, Group, FontMaster };
enum class TextAlign { Left, Center, Right, Justify };
enum class VerticalAlign { Top, Center, Bottom };
// Which edge stays in place when the width changes.
enum class AnchorEdge { Left, Right };
enum class ImageFit { Stretch, KeepAspect };
// A report's own duplex setting; Default follows the output controller.
enum class DuplexSetting { Default, Off, On };

// Windows RGB value (0x00BBGGRR; 255 is red) to a colour, and back.
QColor colorFromWindowsRgb(std::uint32_t value);
std::uint32_t windowsRgbFromColor(const QColor& color);

// True for a usable element or parameter name: 1 to 100 ASCII letters, digits or '_'.
bool isValidName(const QString& name);

// Face, size, style and colour of a text.
struct ReportFont {
    QString family = QStringLiteral("DejaVu Sans");
    double pointSize = 10.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QColor color = QColor(0, 0, 0);

    bool operator==(const ReportFont&) const = default;
};

namespace detail {
struct ModelAccess;
}

// A named element of a page. Coordinates are page coordinates in inches, also for
// the members of a group (a group only gathers components to show or hide them
// together; it has no geometry, nor has a font master). Setting a property that the
// component's kind does not have throws ReportError.
class Component {
public:
    static Component MakeText(const QString& name, double left, double top, double width,
                              double height, const QString& text = {});
    static Component MakeImage(const QString& name, double left, double top, double width,
                               double height);
    static Component MakeRectangle(const QString& name, double left, double top, double width,
                                   double height);
    // A line from (x1, y1) to (x2, y2).
    static Component MakeLine(const QString& name, double x1, double y1, double x2, double y2);
    static Component MakeGroup(const QString& name);
    static Component MakeFontMaster(const QString& name, const ReportFont& font);

    ComponentKind Kind() const { return kind_; }
    const QString& Name() const { return name_; }

    double Left() const { return left_; }
    void SetLeft(double inches);
    double Top() const { return top_; }
    void SetTop(double inches);
    double Width() const { return width_; }
    // Keeps the left edge, or the right edge for a component anchored to its right
    // edge (its left edge then moves by the change in width).
    void SetWidth(double inches);
    double Height() const { return height_; }
    void SetHeight(double inches);
    AnchorEdge Anchor() const { return anchor_; }
    void SetAnchor(AnchorEdge edge);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

    // Text: literal text in which "{Name}" shows parameter Name when the report runs.
    const QString& Text() const { return text_; }
    void SetText(const QString& text);
    // Own font of a text, or the font a font master carries.
    const ReportFont& Font() const { return font_; }
    void SetFont(const ReportFont& font);
    QColor FontColor() const { return font_.color; }
    void SetFontColor(const QColor& color);
    // Name of the linked font master; empty when the text uses its own font.
    const QString& FontMirror() const { return fontMirror_; }
    // Links the text to master; a null pointer or a component that is not a font
    // master removes the link.
    void SetFontMirror(const Component* master);
    void SetFontMirrorName(const QString& masterName);
    // Colour the text is drawn in when it has no font master; invalid means the
    // colour of its own font.
    QColor ForeColor() const { return foreColor_; }
    void SetForeColor(const QColor& color);
    TextAlign Alignment() const { return align_; }
    void SetAlignment(TextAlign align);
    VerticalAlign VerticalAlignment() const { return valign_; }
    void SetVerticalAlignment(VerticalAlign align);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap);

    // Image: the picture (a null image draws nothing) and how it fills the box.
    const QImage& Image() const { return image_; }
    void SetImage(const QImage& image);
    ImageFit Fit() const { return fit_; }
    void SetFit(ImageFit fit);

    // Rectangle and line: fill (invalid = none, rectangles only), stroke colour and
    // stroke width in points (0 = no stroke).
    QColor FillColor() const { return fill_; }
    void SetFillColor(const QColor& color);
    QColor LineColor() const { return lineColor_; }
    void SetLineColor(const QColor& color);
    double LineWidth() const { return lineWidth_; }
    void SetLineWidth(double points);

    // Group members, in drawing order.
    const std::vector<Component>& Children() const { return children_; }
    // Adds a member to a group; throws when a name in it is already used in the group.
    Component& AddChild(Component child);

    // This component or a member nested at any depth with that name.
    Component* Find(const QString& name);
    const Component* Find(const QString& name) const;

    bool operator==(const Component& other) const;

private:
    friend struct detail::ModelAccess;
    Component(ComponentKind kind, const QString& name);
    void requireKind(bool ok, const char* property) const;
    bool hasGeometry() const;

    ComponentKind kind_;
    QString name_;
    double left_ = 0;
    double top_ = 0;
    double width_ = 0;
    double height_ = 0;
    AnchorEdge anchor_ = AnchorEdge::Left;
    bool visible_ = true;
    // Text and font master.
    QString text_;
    ReportFont font_;
    QString fontMirror_;
    QColor foreColor_;
    TextAlign align_ = TextAlign::Left;
    VerticalAlign valign_ = VerticalAlign::Top;
    bool wordWrap_ = true;
    // Image.
    QImage image_;
    ImageFit fit_ = ImageFit::Stretch;
    // Rectangle and line.
    QColor fill_;
    QColor lineColor_ = QColor(0, 0, 0);
    double lineWidth_ = 0.5;
    // Group.
    std::vector<Component> children_;
};

// A named page of a report. Pages print in report order, each once.
class Page {
public:
    explicit Page(const QString& name);

    const QString& Name() const { return name_; }
    // Page-sequence mode (0..2). Pages of this format define no page jumps, so every
    // mode prints the pages in report order; the value is kept for the program.
    int GotoMode() const { return gotoMode_; }
    void SetGotoMode(int mode);

    // Top-level components in drawing order.
    const std::vector<Component>& Components() const { return components_; }
    // Adds a component; throws when one of its names is already used on the page.
    Component& Add(Component component);
    // A component anywhere on the page, nested groups included; nullptr when absent.
    Component* FindComponent(const QString& name);
    const Component* FindComponent(const QString& name) const;

    bool operator==(const Page& other) const;

private:
    friend struct detail::ModelAccess;
    QString name_;
    int gotoMode_ = 0;
    std::vector<Component> components_;
};

// A named printable document of one or more pages.
class Report {
public:
    explicit Report(const QString& name);

    const QString& Name() const { return name_; }
    // Copies to print; 0 means the output controller's copies.
    int Copies() const { return copies_; }
    void SetCopies(int copies);
    // Two-sided printing on or off; until set, the output controller decides.
    bool Duplex() const { return duplex_ == DuplexSetting::On; }
    void SetDuplex(bool twoSided);
    DuplexSetting DuplexMode() const { return duplex_; }
    void SetDuplexMode(DuplexSetting mode) { duplex_ = mode; }

    const std::vector<Page>& Pages() const { return pages_; }
    // Appends a page; throws when the name is taken.
    Page& AddPage(const QString& name);
    Page* FindPage(const QString& name);
    const Page* FindPage(const QString& name) const;
    // A component on any page, the first page holding it winning.
    Component* FindComponent(const QString& name);
    const Component* FindComponent(const QString& name) const;
    // The font master a text on page uses: searched on that page first, then on the
    // report's pages in order. nullptr when absent or not a font master.
    const Component* FindFontMaster(const Page& page, const QString& name) const;

    bool operator==(const Report& other) const;

private:
    friend struct detail::ModelAccess;
    QString name_;
    int copies_ = 0;
    DuplexSetting duplex_ = DuplexSetting::Default;
    std::vector<Page> pages_;
};

// One template: named reports and named project parameters. A plain value: copying
// it gives an independent template (pictures and texts are shared until changed).
class ReportTemplate {
public:
    const std::vector<Report>& Reports() const { return reports_; }
    // Appends a report; throws when the name is taken.
    Report& AddReport(const QString& name);
    Report* FindReport(const QString& name);
    const Report* FindReport(const QString& name) const;
    // "Report.Page" to the page; nullptr when either is absent.
    Page* FindPage(const QString& reportDotPage);
    const Page* FindPage(const QString& reportDotPage) const;

    // Parameters in creation order.
    const std::vector<std::pair<QString, QString>>& Params() const { return params_; }
    // Sets a parameter, creating it when missing; throws on an invalid name.
    void SetParam(const QString& name, const QString& value);
    // The value, or nullptr when there is no such parameter.
    const QString* Param(const QString& name) const;
    // Replaces each "{Name}" by parameter Name's value (empty for an unknown
    // parameter); "{{" and "}}" give single braces; other braces stay as written.
    // Values are inserted as they are, never expanded again.
    QString Expand(const QString& text) const;

    bool operator==(const ReportTemplate& other) const;

private:
    friend struct detail::ModelAccess;
    std::vector<Report> reports_;
    std::vector<std::pair<QString, QString>> params_;
    QHash<QString, qsizetype> paramIndex_;
};

// ReportTemplate::Expand with the values lookup gives (nullptr: unknown, empty).
QString expandParams(const QString& text,
                     const std::function<const QString*(const QString&)>& lookup);

}  // namespace vexora::report
