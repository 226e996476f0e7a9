#include "adapter/ui/PageLayout.h"

#include <QFontMetrics>

namespace adapter::ui {

QLabel* MakeValueLabel(const QString& objectName, const QString& text, const QString& widest,
                       Qt::Alignment alignment) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(alignment);
    const QFontMetrics metrics(label->font());
    label->setMinimumWidth(metrics.horizontalAdvance(widest) + metrics.averageCharWidth() * 2);
    return label;
}

QFormLayout* MakeFormLayout() {
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setFormAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    return form;
}

}  // namespace adapter::ui
