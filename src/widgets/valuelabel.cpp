#include "widgets/valuelabel.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace {

const char valueLabelProperty[] = "morvaneValueLabel";

// A label read as the value it shows, with the text interface screen readers ask for.
class ValueLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ValueLabelAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name:
        case QAccessible::Value:
            return value();
        case QAccessible::Description:
            return widget()->accessibleDescription();
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The text interface: read-only, no selection, no cursor.
    void selection(int, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        const QString shown = value();
        if (startOffset < 0 || endOffset < startOffset || endOffset > shown.size())
            return {};
        return shown.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(value().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QString value() const { return static_cast<const QLabel*>(widget())->text(); }
};

QAccessibleInterface* valueLabelFactory(const QString&, QObject* object)
{
    auto* label = qobject_cast<QLabel*>(object);
    if (label && label->property(valueLabelProperty).toBool())
        return new ValueLabelAccessible(label);
    return nullptr;
}

} // namespace

namespace accessibility {

void markValueLabel(QLabel* label, const QString& caption)
{
    static const bool installed = [] {
        QAccessible::installFactory(valueLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);
    label->setProperty(valueLabelProperty, true);
    // A name set by hand would replace the value for assistive technology.
    label->setAccessibleName(QString());
    label->setAccessibleDescription(caption);
    // An interface made before the label was marked is dropped, to be made again as a value.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(label);
    if (made && !made->textInterface())
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace accessibility
