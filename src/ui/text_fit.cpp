#include "ui/text_fit.h"

#include <QStringList>

namespace vexora::ui {
namespace {

// Where the path of a line starts: the word holding its first separator, after a
// quote when there is one. -1 when the line names no path.
qsizetype pathStart(const QString& text) {
    qsizetype sep = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'/' || text[i] == u'\\') {
            sep = i;
            break;
        }
    }
    if (sep < 0)
        return -1;
    qsizetype start = sep;
    while (start > 0 && text[start - 1] != u' ' && text[start - 1] != u'"')
        --start;
    return start;
}

}  // namespace

QString fitLine(const QString& text, const QFontMetrics& metrics, int width) {
    if (width <= 0 || metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype start = pathStart(text);
    if (start >= 0) {
        const QString head = text.left(start);
        const int headWidth = metrics.horizontalAdvance(head);
        // The head stays whole while it leaves room for a readable part of the path.
        if (headWidth < width * 2 / 3)
            return head + metrics.elidedText(text.mid(start), Qt::ElideMiddle, width - headWidth);
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

void setFittedText(QLabel* label, const QString& text) {
    const QFontMetrics metrics(label->font());
    const QMargins m = label->contentsMargins();
    const int width = label->width() - m.left() - m.right() - 2 * label->margin() - 14;
    QStringList lines = text.split(u'\n');
    bool cut = false;
    for (QString& line : lines) {
        const QString fitted = fitLine(line, metrics, width);
        cut = cut || fitted != line;
        line = fitted;
    }
    label->setText(lines.join(u'\n'));
    label->setToolTip(cut ? text : QString());
}

}  // namespace vexora::ui
