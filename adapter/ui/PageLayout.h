#pragma once
// Small layout helpers shared by the card windows' pages: a value label
// beside its caption, sized for the longest text it can hold, so values
// line up and the page does not jump when a text changes. User-interface
// thread only.

#include <QFormLayout>
#include <QLabel>
#include <QString>
#include <string_view>

namespace adapter::ui {

// The card's and the registry's texts are 8-bit characters, as the
// registry's 8-bit calls deliver them.
inline QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A read-only value: selectable (so a person can copy it into a report),
// at least wide enough for `widest`, named for tests and accessibility.
QLabel* MakeValueLabel(const QString& objectName, const QString& text, const QString& widest,
                       Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

// A form layout as the pages use it: captions left-aligned in their own
// column, values growing to the right.
QFormLayout* MakeFormLayout();

}  // namespace adapter::ui
