#include "views/FilterBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "filter/DisplayFilter.h"

namespace views {

FilterBar::FilterBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* caption = new QLabel(tr("Filter:"), this);
    m_field = new QComboBox(this);
    m_field->setEditable(true);
    m_field->setInsertPolicy(QComboBox::NoInsert);
    m_field->setMaxCount(kHistoryLength);
    m_field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_field->lineEdit()->setPlaceholderText(tr("Display filter, e.g. msg == \"SETUP\" and called contains \"555\""));
    m_field->lineEdit()->setClearButtonEnabled(true);
    caption->setBuddy(m_field);
    m_apply = new QPushButton(tr("Apply"), this);
    m_clear = new QPushButton(tr("Clear"), this);
    m_count = new QLabel(this);
    m_count->setMinimumWidth(m_count->fontMetrics().horizontalAdvance(QStringLiteral("0000000 of 0000000 records")));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(caption);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_apply);
    layout->addWidget(m_clear);
    layout->addWidget(m_count);

    connect(m_field, &QComboBox::editTextChanged, this, [this](const QString& text) { Check(text); });
    connect(m_field->lineEdit(), &QLineEdit::returnPressed, this, [this] { Apply(); });
    connect(m_apply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(m_clear, &QPushButton::clicked, this, [this] { Clear(); });
    Check({});
}

QString FilterBar::Text() const { return m_field->currentText(); }

void FilterBar::SetText(const QString& text) { m_field->setEditText(text); }

void FilterBar::Check(const QString& text) {
    filter::FilterError error;
    QLineEdit* edit = m_field->lineEdit();
    if (text.trimmed().isEmpty()) {
        m_state = 0;
        edit->setStyleSheet({});
        edit->setToolTip({});
        return;
    }
    const bool parses = filter::DisplayFilter::Parse(text.toStdString(), &error).has_value();
    m_state = parses ? 1 : -1;
    // Light backgrounds with dark text read on light and dark themes alike.
    edit->setStyleSheet(parses ? QStringLiteral("QLineEdit { background: #c8f2c8; color: #102010; }")
                               : QStringLiteral("QLineEdit { background: #f6c6c6; color: #301010; }"));
    edit->setToolTip(parses ? QString() : QString::fromStdString(error.Text()));
}

void FilterBar::Apply() {
    const QString text = Text();
    filter::FilterError error;
    if (!text.trimmed().isEmpty() && !filter::DisplayFilter::Parse(text.toStdString(), &error)) {
        Revert();
        const QString shown = m_shown.trimmed().isEmpty() ? tr("every record") : m_shown;
        emit Refused(tr("Not applied: %1; the list shows %2").arg(QString::fromStdString(error.Text()), shown));
        return;
    }
    emit Applied(text);
}

void FilterBar::Confirm(const QString& text) {
    m_shown = text.trimmed().isEmpty() ? QString() : text;
    if (!m_shown.isEmpty()) Remember(m_shown);
}

void FilterBar::Revert() { m_field->setEditText(m_shown); }

void FilterBar::Clear() {
    m_field->setEditText({});
    emit Applied({});
}

void FilterBar::Remember(const QString& text) {
    // Newest first, each expression once.
    const int known = m_field->findText(text);
    if (known >= 0) m_field->removeItem(known);
    m_field->insertItem(0, text);
    m_field->setEditText(text);
}

void FilterBar::SetCounts(int shown, int total, bool filtered) {
    m_count->setText(filtered ? tr("%1 of %2 records").arg(shown).arg(total) : tr("%1 records").arg(total));
}

QString FilterBar::CountText() const { return m_count->text(); }

}  // namespace views
