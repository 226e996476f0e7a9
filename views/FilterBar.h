#pragma once
// FilterBar: the display filter field above the record list: an editable
// text with the expressions applied before (newest first), Apply and Clear,
// and the count of the records shown. The field is green while its text
// parses, red while it does not (its tool tip then says why), plain when
// empty. Owned by its CTraceChildFrame; user-interface thread only.

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace views {

class FilterBar final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHistoryLength = 20;

    explicit FilterBar(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    // How the field looks now: 0 plain (empty), 1 parses, -1 does not.
    int State() const { return m_state; }
    // "N of M records" while a filter is applied, "M records" otherwise.
    void SetCounts(int shown, int total, bool filtered);
    QString CountText() const;
    QComboBox* Field() const { return m_field; }

    // Applies what the field holds (Enter does the same). An expression that
    // does not parse is refused and the field returns to the one the list
    // shows.
    void Apply();
    // The list shows `text` now (Applied went through), or still shows what
    // it showed (the pass was cancelled): the field says which.
    void Confirm(const QString& text);
    void Revert();
    // The expression the list shows ("" for every record).
    const QString& Shown() const { return m_shown; }
    // Empties the field and applies the empty filter.
    void Clear();

signals:
    // The text to apply; it parses (blank text: every record).
    void Applied(const QString& text);
    // An expression that does not parse was applied: it, what is wrong with
    // it, and what the list goes on showing.
    void Refused(const QString& message);

private:
    void Check(const QString& text);
    void Remember(const QString& text);

    QComboBox* m_field = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_clear = nullptr;
    QLabel* m_count = nullptr;
    int m_state = 0;
    QString m_shown;
};

}  // namespace views
