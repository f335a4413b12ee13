#include "report/template_model.h"

#include <algorithm>
#include <cmath>

#include "report/model_access.h"
#include "report/report_error.h"

namespace vexora::report {
namespace {

const char* kindName(ComponentKind kind) {
    switch (kind) {
        case ComponentKind::Text:
            return "testo";
        case ComponentKind::Image:
            return "immagine";
        case ComponentKind::Rectangle:
            return "rettangolo";
        case ComponentKind::Line:
            return "linea";
        case ComponentKind::Group:
            return "gruppo";
        case ComponentKind::FontMaster:
            return "font master";
    }
    return "?";
}

double checkedLength(double value, const Component& c, const char* property) {
    if (!std::isfinite(value)) {
        throw ReportError(QStringLiteral("Valore non valido per %1 del componente %2")
                              .arg(QLatin1String(property), c.Name()));
    }
    return value;
}

void requireName(const QString& name, const char* what) {
    if (!isValidName(name)) {
        throw ReportError(QStringLiteral("Nome di %1 non valido: \"%2\"")
                              .arg(QLatin1String(what), name.left(limits::kMaxNameLength + 1)));
    }
}

// Names used by component and its members, for the duplicate check of Add.
void collectNames(const Component& c, std::vector<const QString*>& out) {
    out.push_back(&c.Name());
    for (const Component& child : c.Children())
        collectNames(child, out);
}

bool sameImage(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a.size() != b.size())
        return false;
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

bool sameColor(const QColor& a, const QColor& b) {
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    return a.rgba() == b.rgba();
}

}  // namespace

QColor colorFromWindowsRgb(std::uint32_t value) {
    return QColor(int(value & 0xFFu), int((value >> 8) & 0xFFu), int((value >> 16) & 0xFFu));
}

std::uint32_t windowsRgbFromColor(const QColor& color) {
    const QRgb rgb = color.rgb();
    return std::uint32_t(qRed(rgb)) | (std::uint32_t(qGreen(rgb)) << 8) |
           (std::uint32_t(qBlue(rgb)) << 16);
}

bool isValidName(const QString& name) {
    if (name.isEmpty() || name.size() > limits::kMaxNameLength)
        return false;
    for (QChar ch : name) {
        const char16_t u = ch.unicode();
        const bool ok =
            (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_';
        if (!ok)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- Component

Component::Component(ComponentKind kind, const QString& name) : kind_(kind), name_(name) {
    requireName(name, "componente");
}

Component Component::MakeText(const QString& name, double left, double top, double width,
                              double height, const QString& text) {
    Component c(ComponentKind::Text, name);
    c.SetLeft(left);
    c.SetTop(top);
    c.SetWidth(width);
    c.SetHeight(height);
    c.text_ = text;
    return c;
}

Component Component::MakeImage(const QString& name, double left, double top, double width,
                               double height) {
    Component c(ComponentKind::Image, name);
    c.SetLeft(left);
    c.SetTop(top);
    c.SetWidth(width);
    c.SetHeight(height);
    return c;
}

Component Component::MakeRectangle(const QString& name, double left, double top, double width,
                                   double height) {
    Component c(ComponentKind::Rectangle, name);
    c.SetLeft(left);
    c.SetTop(top);
    c.SetWidth(width);
    c.SetHeight(height);
    return c;
}

Component Component::MakeLine(const QString& name, double x1, double y1, double x2, double y2) {
    Component c(ComponentKind::Line, name);
    c.SetLeft(x1);
    c.SetTop(y1);
    c.SetWidth(x2 - x1);
    c.SetHeight(y2 - y1);
    return c;
}

Component Component::MakeGroup(const QString& name) {
    return Component(ComponentKind::Group, name);
}

Component Component::MakeFontMaster(const QString& name, const ReportFont& font) {
    Component c(ComponentKind::FontMaster, name);
    c.font_ = font;
    return c;
}

void Component::requireKind(bool ok, const char* property) const {
    if (!ok) {
        throw ReportError(QStringLiteral("Il componente %1 (%2) non ha la proprietà %3")
                              .arg(name_, QLatin1String(kindName(kind_)), QLatin1String(property)));
    }
}

bool Component::hasGeometry() const {
    return kind_ != ComponentKind::Group && kind_ != ComponentKind::FontMaster;
}

void Component::SetLeft(double inches) {
    requireKind(hasGeometry(), "Left");
    left_ = checkedLength(inches, *this, "Left");
}

void Component::SetTop(double inches) {
    requireKind(hasGeometry(), "Top");
    top_ = checkedLength(inches, *this, "Top");
}

void Component::SetAnchor(AnchorEdge edge) {
    requireKind(hasGeometry(), "Anchor");
    anchor_ = edge;
}

void Component::SetWidth(double inches) {
    requireKind(hasGeometry(), "Width");
    const double width = checkedLength(inches, *this, "Width");
    if (anchor_ == AnchorEdge::Right)
        left_ += width_ - width;
    width_ = width;
}

void Component::SetHeight(double inches) {
    requireKind(hasGeometry(), "Height");
    height_ = checkedLength(inches, *this, "Height");
}

void Component::SetText(const QString& text) {
    requireKind(kind_ == ComponentKind::Text, "Text");
    text_ = text;
}

void Component::SetFont(const ReportFont& font) {
    requireKind(kind_ == ComponentKind::Text || kind_ == ComponentKind::FontMaster, "Font");
    font_ = font;
}

void Component::SetFontColor(const QColor& color) {
    requireKind(kind_ == ComponentKind::Text || kind_ == ComponentKind::FontMaster, "Font.Color");
    font_.color = color;
}

void Component::SetFontMirror(const Component* master) {
    requireKind(kind_ == ComponentKind::Text, "FontMirror");
    fontMirror_ =
        (master && master->Kind() == ComponentKind::FontMaster) ? master->Name() : QString();
}

void Component::SetFontMirrorName(const QString& masterName) {
    requireKind(kind_ == ComponentKind::Text, "FontMirror");
    if (!masterName.isEmpty())
        requireName(masterName, "font master");
    fontMirror_ = masterName;
}

void Component::SetForeColor(const QColor& color) {
    requireKind(kind_ == ComponentKind::Text, "ForeColor");
    foreColor_ = color;
}

void Component::SetAlignment(TextAlign align) {
    requireKind(kind_ == ComponentKind::Text, "Alignment");
    align_ = align;
}

void Component::SetVerticalAlignment(VerticalAlign align) {
    requireKind(kind_ == ComponentKind::Text, "VerticalAlignment");
    valign_ = align;
}

void Component::SetWordWrap(bool wrap) {
    requireKind(kind_ == ComponentKind::Text, "WordWrap");
    wordWrap_ = wrap;
}

void Component::SetImage(const QImage& image) {
    requireKind(kind_ == ComponentKind::Image, "Image");
    image_ = image;
}

void Component::SetFit(ImageFit fit) {
    requireKind(kind_ == ComponentKind::Image, "Fit");
    fit_ = fit;
}

void Component::SetFillColor(const QColor& color) {
    requireKind(kind_ == ComponentKind::Rectangle, "FillColor");
    fill_ = color;
}

void Component::SetLineColor(const QColor& color) {
    requireKind(kind_ == ComponentKind::Rectangle || kind_ == ComponentKind::Line, "LineColor");
    lineColor_ = color;
}

void Component::SetLineWidth(double points) {
    requireKind(kind_ == ComponentKind::Rectangle || kind_ == ComponentKind::Line, "LineWidth");
    if (!std::isfinite(points) || points < 0) {
        throw ReportError(
            QStringLiteral("Valore non valido per LineWidth del componente %1").arg(name_));
    }
    lineWidth_ = points;
}

Component& Component::AddChild(Component child) {
    requireKind(kind_ == ComponentKind::Group, "Children");
    std::vector<const QString*> names;
    collectNames(child, names);
    for (const QString* n : names) {
        if (Find(*n)) {
            throw ReportError(QStringLiteral("Nome di componente duplicato: %1").arg(*n));
        }
    }
    children_.push_back(std::move(child));
    return children_.back();
}

Component* Component::Find(const QString& name) {
    return const_cast<Component*>(std::as_const(*this).Find(name));
}

const Component* Component::Find(const QString& name) const {
    if (name_ == name)
        return this;
    for (const Component& child : children_) {
        if (const Component* found = child.Find(name))
            return found;
    }
    return nullptr;
}

bool Component::operator==(const Component& o) const {
    return kind_ == o.kind_ && name_ == o.name_ && left_ == o.left_ && top_ == o.top_ &&
           width_ == o.width_ && height_ == o.height_ && anchor_ == o.anchor_ &&
           visible_ == o.visible_ && text_ == o.text_ && font_.family == o.font_.family &&
           font_.pointSize == o.font_.pointSize && font_.bold == o.font_.bold &&
           font_.italic == o.font_.italic && font_.underline == o.font_.underline &&
           sameColor(font_.color, o.font_.color) && fontMirror_ == o.fontMirror_ &&
           sameColor(foreColor_, o.foreColor_) && align_ == o.align_ && valign_ == o.valign_ &&
           wordWrap_ == o.wordWrap_ && sameImage(image_, o.image_) && fit_ == o.fit_ &&
           sameColor(fill_, o.fill_) && sameColor(lineColor_, o.lineColor_) &&
           lineWidth_ == o.lineWidth_ && children_ == o.children_;
}

// ---------------------------------------------------------------- Page

Page::Page(const QString& name) : name_(name) {
    requireName(name, "pagina");
}

void Page::SetGotoMode(int mode) {
    if (mode < 0 || mode > limits::kMaxGotoMode) {
        throw ReportError(
            QStringLiteral("GotoMode %1 non valido per la pagina %2").arg(mode).arg(name_));
    }
    gotoMode_ = mode;
}

Component& Page::Add(Component component) {
    std::vector<const QString*> names;
    collectNames(component, names);
    for (const QString* n : names) {
        if (FindComponent(*n)) {
            throw ReportError(
                QStringLiteral("Nome di componente duplicato nella pagina %1: %2").arg(name_, *n));
        }
    }
    components_.push_back(std::move(component));
    return components_.back();
}

Component* Page::FindComponent(const QString& name) {
    return const_cast<Component*>(std::as_const(*this).FindComponent(name));
}

const Component* Page::FindComponent(const QString& name) const {
    for (const Component& c : components_) {
        if (const Component* found = c.Find(name))
            return found;
    }
    return nullptr;
}

bool Page::operator==(const Page& o) const {
    return name_ == o.name_ && gotoMode_ == o.gotoMode_ && components_ == o.components_;
}

// ---------------------------------------------------------------- Report

Report::Report(const QString& name) : name_(name) {
    requireName(name, "report");
}

void Report::SetCopies(int copies) {
    if (copies < 0 || copies > limits::kMaxCopies) {
        throw ReportError(QStringLiteral("Numero di copie %1 non valido per il report %2")
                              .arg(copies)
                              .arg(name_));
    }
    copies_ = copies;
}

void Report::SetDuplex(bool twoSided) {
    duplex_ = twoSided ? DuplexSetting::On : DuplexSetting::Off;
}

Page& Report::AddPage(const QString& name) {
    if (FindPage(name)) {
        throw ReportError(
            QStringLiteral("Nome di pagina duplicato nel report %1: %2").arg(name_, name));
    }
    pages_.emplace_back(name);
    return pages_.back();
}

Page* Report::FindPage(const QString& name) {
    return const_cast<Page*>(std::as_const(*this).FindPage(name));
}

const Page* Report::FindPage(const QString& name) const {
    for (const Page& p : pages_) {
        if (p.Name() == name)
            return &p;
    }
    return nullptr;
}

Component* Report::FindComponent(const QString& name) {
    return const_cast<Component*>(std::as_const(*this).FindComponent(name));
}

const Component* Report::FindComponent(const QString& name) const {
    for (const Page& p : pages_) {
        if (const Component* c = p.FindComponent(name))
            return c;
    }
    return nullptr;
}

const Component* Report::FindFontMaster(const Page& page, const QString& name) const {
    const Component* found = page.FindComponent(name);
    if (!found)
        found = FindComponent(name);
    return (found && found->Kind() == ComponentKind::FontMaster) ? found : nullptr;
}

bool Report::operator==(const Report& o) const {
    return name_ == o.name_ && copies_ == o.copies_ && duplex_ == o.duplex_ && pages_ == o.pages_;
}

// ---------------------------------------------------------------- ReportTemplate

Report& ReportTemplate::AddReport(const QString& name) {
    if (FindReport(name)) {
        throw ReportError(QStringLiteral("Nome di report duplicato: %1").arg(name));
    }
    reports_.emplace_back(name);
    return reports_.back();
}

Report* ReportTemplate::FindReport(const QString& name) {
    return const_cast<Report*>(std::as_const(*this).FindReport(name));
}

const Report* ReportTemplate::FindReport(const QString& name) const {
    for (const Report& r : reports_) {
        if (r.Name() == name)
            return &r;
    }
    return nullptr;
}

Page* ReportTemplate::FindPage(const QString& reportDotPage) {
    return const_cast<Page*>(std::as_const(*this).FindPage(reportDotPage));
}

const Page* ReportTemplate::FindPage(const QString& reportDotPage) const {
    const qsizetype dot = reportDotPage.indexOf(u'.');
    if (dot < 0)
        return nullptr;
    const Report* report = FindReport(reportDotPage.left(dot));
    return report ? report->FindPage(reportDotPage.mid(dot + 1)) : nullptr;
}

void ReportTemplate::SetParam(const QString& name, const QString& value) {
    const auto it = paramIndex_.constFind(name);
    if (it != paramIndex_.constEnd()) {
        params_[std::size_t(*it)].second = value;
        return;
    }
    requireName(name, "parametro");
    paramIndex_.insert(name, qsizetype(params_.size()));
    params_.emplace_back(name, value);
}

const QString* ReportTemplate::Param(const QString& name) const {
    const auto it = paramIndex_.constFind(name);
    return it == paramIndex_.constEnd() ? nullptr : &params_[std::size_t(*it)].second;
}

QString ReportTemplate::Expand(const QString& text) const {
    return expandParams(text, [this](const QString& name) { return Param(name); });
}

QString expandParams(const QString& text,
                     const std::function<const QString*(const QString&)>& lookup) {
    if (!text.contains(u'{') && !text.contains(u'}'))
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text.at(i);
        if (ch == u'{' && i + 1 < n && text.at(i + 1) == u'{') {
            out += u'{';
            ++i;
            continue;
        }
        if (ch == u'}' && i + 1 < n && text.at(i + 1) == u'}') {
            out += u'}';
            ++i;
            continue;
        }
        if (ch == u'{') {
            // Names are short, so the closing brace is looked for nearby only: a long
            // text full of braces stays linear.
            qsizetype close = -1;
            const qsizetype end = std::min(n, i + 2 + limits::kMaxNameLength);
            for (qsizetype j = i + 1; j < end; ++j) {
                if (text.at(j) == u'}') {
                    close = j;
                    break;
                }
            }
            if (close > i + 1) {
                const QString name = text.mid(i + 1, close - i - 1);
                if (isValidName(name)) {
                    if (const QString* value = lookup(name))
                        out += *value;
                    i = close;
                    continue;
                }
            }
        }
        out += ch;
    }
    return out;
}

bool ReportTemplate::operator==(const ReportTemplate& o) const {
    return reports_ == o.reports_ && params_ == o.params_;
}

// ---------------------------------------------------------------- ModelAccess

Component detail::ModelAccess::makeComponent(ComponentKind kind, const QString& name) {
    return Component(kind, name);
}

void detail::ModelAccess::appendChild(Component& group, Component child) {
    group.children_.push_back(std::move(child));
}

void detail::ModelAccess::appendComponent(Page& page, Component component) {
    page.components_.push_back(std::move(component));
}

Page& detail::ModelAccess::appendPage(Report& report, const QString& name) {
    report.pages_.emplace_back(name);
    return report.pages_.back();
}

Report& detail::ModelAccess::appendReport(ReportTemplate& t, const QString& name) {
    t.reports_.emplace_back(name);
    return t.reports_.back();
}

void detail::ModelAccess::setParamUnchecked(ReportTemplate& t, const QString& name,
                                            const QString& value) {
    t.paramIndex_.insert(name, qsizetype(t.params_.size()));
    t.params_.emplace_back(name, value);
}

}  // namespace vexora::report
