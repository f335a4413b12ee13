#pragma once

#include <QPixmap>
#include <QSize>

#include "core/catalogue.h"

namespace vexora::ui {

// Size of a group picture of the first wizard page.
inline constexpr int kGroupPictureWidth = 103;
inline constexpr int kGroupPictureHeight = 49;

// The picture of a category group: a licence-card look with the group's letters and a
// vehicle pictogram; the highlighted one (group of the current category) is filled in
// the window's blue with white letters, so the choice shows at a glance.
QPixmap groupPicture(CategoryGroup group, bool highlighted);

// The eight pictures of ImageList1, in the order AB normal, AB highlighted, AM normal, ...
// CQC highlighted.
QPixmap imageListPicture(int index);

// Backgrounds of the three wizard pages (Image3, Image2, Image1), drawn at the page's size.
QPixmap categoryPageBackground(QSize size);  // page 1
QPixmap topicPageBackground(QSize size);     // page 2, over the blue panel
QPixmap printPageBackground(QSize size);     // page 3

}  // namespace vexora::ui
