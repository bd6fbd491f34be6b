#include "AccessibleInterfaces.h"

#include "DigitsField.h"
#include "LinkLabel.h"
#include "SvgPicture.h"

#include <QAccessibleWidget>
#include <QTabBar>
#include <QTabWidget>

namespace vellamor {

namespace {

class AccessibleLink final : public QAccessibleWidget
{
public:
    explicit AccessibleLink(LinkLabel *link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        // The caption, unless a name was given (a plain widget would borrow
        // the title of the group around it).
        if (t == QAccessible::Name)
            return link()->accessibleName().isEmpty() ? link()->text() : link()->accessibleName();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (link()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            link()->activate();
        else
            QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString &action) const override
    {
        if (action == pressAction())
            return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    LinkLabel *link() const { return static_cast<LinkLabel *>(widget()); }
};

class AccessiblePicture final : public QAccessibleWidget
{
public:
    explicit AccessiblePicture(SvgPicture *picture) : QAccessibleWidget(picture, QAccessible::Graphic) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        // A picture nobody named is decoration: assistive technology skips it.
        if (widget()->accessibleName().isEmpty())
            s.invisible = true;
        return s;
    }
};

// A digits field reads as what was typed: an untouched address field is
// empty, not the "..." of its fixed dots. Otherwise it is a plain line edit.
class AccessibleDigitsField final : public QAccessibleWidget,
                                    public QAccessibleTextInterface,
                                    public QAccessibleEditableTextInterface
{
public:
    explicit AccessibleDigitsField(DigitsField *field) : QAccessibleWidget(field, QAccessible::EditableText) {}

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.selectableText = true;
        s.readOnly = field()->isReadOnly();
        s.editable = !field()->isReadOnly();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? field()->typed() : QAccessibleWidget::text(t);
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && field()->hasSelectedText()) {
            *startOffset = clamped(field()->selectionStart());
            *endOffset = clamped(field()->selectionStart() + int(field()->selectedText().size()));
        }
    }
    int selectionCount() const override { return field()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { field()->deselect(); }
    void setSelection(int, int startOffset, int endOffset) override
    {
        field()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return clamped(field()->cursorPosition()); }
    void setCursorPosition(int position) override { field()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return startOffset > endOffset ? QString() : field()->typed().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(field()->typed().size()); }
    QRect characterRect(int offset) const override
    {
        const QFontMetrics metrics = field()->fontMetrics();
        const QString shown = field()->displayText();
        const QRect inside = field()->contentsRect();
        const int x = inside.left() + metrics.horizontalAdvance(shown.left(qMax(0, offset)));
        const int width = offset >= 0 && offset < shown.size() ? metrics.horizontalAdvance(shown.at(offset)) : 1;
        const QRect local(x, inside.top() + (inside.height() - metrics.height()) / 2, width, metrics.height());
        return {field()->mapToGlobal(local.topLeft()), local.size()};
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return clamped(field()->cursorPositionAt(field()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int) override { field()->setCursorPosition(startIndex); }
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    void deleteText(int startOffset, int endOffset) override
    {
        field()->setSelection(startOffset, endOffset - startOffset);
        field()->del();
    }
    void insertText(int offset, const QString &inserted) override
    {
        field()->setCursorPosition(offset);
        field()->insert(inserted);
    }
    void replaceText(int startOffset, int endOffset, const QString &replacement) override
    {
        field()->setSelection(startOffset, endOffset - startOffset);
        field()->insert(replacement);
    }

private:
    DigitsField *field() const { return static_cast<DigitsField *>(widget()); }
    int clamped(int offset) const { return qBound(0, offset, characterCount()); }
};

// A notebook whose tab bar is hidden is turned by something else (the page
// tree beside it): its tabs and their scroll buttons are not there for
// anyone, so assistive technology does not meet them either.
class AccessibleNotebook final : public QAccessibleWidget
{
public:
    explicit AccessibleNotebook(QTabWidget *notebook) : QAccessibleWidget(notebook, QAccessible::Client) {}

    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QObject *> children = shown();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children.at(index))
                                                     : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(shown().indexOf(child->object())) : -1;
    }

private:
    QList<QObject *> shown() const
    {
        auto *notebook = static_cast<QTabWidget *>(widget());
        QList<QObject *> children;
        for (int i = 0; i < QAccessibleWidget::childCount(); ++i) {
            QAccessibleInterface *child = QAccessibleWidget::child(i);
            if (child && !(child->object() == notebook->tabBar() && notebook->tabBar()->isHidden()))
                children.append(child->object());
        }
        return children;
    }
};

QAccessibleInterface *panelWidgetsFactory(const QString &className, QObject *object)
{
    if (auto *link = qobject_cast<LinkLabel *>(object))
        return new AccessibleLink(link);
    if (auto *picture = qobject_cast<SvgPicture *>(object))
        return new AccessiblePicture(picture);
    if (auto *field = qobject_cast<DigitsField *>(object))
        return new AccessibleDigitsField(field);
    if (auto *notebook = qobject_cast<QTabWidget *>(object); notebook && className == QLatin1StringView("QTabWidget"))
        return new AccessibleNotebook(notebook);
    // A window of the panel's own (the log) is a window, not a pane with no name.
    if (auto *widget = qobject_cast<QWidget *>(object);
        widget && widget->isWindow() && className == QLatin1StringView("QWidget"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(panelWidgetsFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace vellamor
